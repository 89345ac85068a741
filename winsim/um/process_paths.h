// File names as the calling process means them: from its current directory,
// and the folders where it looks for a program or module named bare.
#pragma once

#include <string>
#include <string_view>

namespace winsim::um {

// The full path the calling process means by a file name.
std::string ProcessFilePath(std::string_view text);

// The folder of the calling process's program file; empty for the machine's
// user, which has none.
std::string ProgramFolder();

}  // namespace winsim::um
