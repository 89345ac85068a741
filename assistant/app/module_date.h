// How the module list shows a file's date: "mm/dd/yyyy hh:mm AM|PM" on a
// 12-hour clock whose midnight hour reads 00.
#pragma once

#include <windows.h>

#include <string>

namespace assistant {

std::string ModuleDateText(const SYSTEMTIME& local);

}  // namespace assistant
