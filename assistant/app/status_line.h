// A status log line: "hh:mm:ss -- text" at most 399 characters long.
#pragma once

#include "common/win32_user.h"

#include <string>

namespace assistant {

std::string StampedLine(const SYSTEMTIME& now, const std::string& text);

}  // namespace assistant
