// What the module list says about a file: its version text and its date.
// Every lookup that fails reads "?".
#pragma once

#include "common/win32_user.h"

#include <string>

namespace assistant {

// "mm/dd/yyyy hh:mm AM|PM" on a 12-hour clock whose midnight hour reads 00.
std::string ModuleDateText(const SYSTEMTIME& local);
// The FileVersion text of the file's version resource, for its last translation.
std::string ModuleVersionText(const std::string& path);
// The file's last-write time as local time.
std::string ModuleFileDateText(const std::string& path);

}  // namespace assistant
