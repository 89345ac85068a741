// printf-style formatting into a std::string.
#pragma once

#include <string>

namespace assistant {

std::string Format(const char* format, ...) __attribute__((format(printf, 1, 2)));

}  // namespace assistant
