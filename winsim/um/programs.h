// Programs of the simulated PC by name, and starting one as a new process,
// as a logged-on user starts it: its WinMain runs on a simulation thread of
// its own, in a process with its own handles, in the starting process's
// logon session.
#pragma once

#include <windows.h>

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "um/um_process.h"

namespace winsim::um {

using ProgramEntry = int(WINAPI*)(HINSTANCE instance, HINSTANCE previous, LPSTR commandLine, int showCommand);

// For the life of the Linux process; registering a name again replaces its
// entry. The program's module handle (its HINSTANCE, under which its
// resources are found) is the same for every start and is returned.
// imagePath is where its file lies on the simulated PC.
HMODULE RegisterProgram(std::string_view name, ProgramEntry entry, std::string imagePath);

// Starts the program as a new process; null for a name not registered.
// onEnd, when given, runs on the program's thread once the process ended
// (its exit code is the process's ExitCode()).
std::shared_ptr<Process> StartProgram(std::string_view name, std::string commandLine = "",
                                      std::function<void(Process&)> onEnd = {});

// Starts the program whose file lies at imagePath (compared without regard to
// case), as WinExec and ShellExecuteA start what a command line names; null
// when no program is registered there.
std::shared_ptr<Process> StartProgramAt(std::string_view imagePath, std::string commandLine);

// The command lines WinExec and ShellExecuteA started, oldest first, since
// the last call: what a user would have seen open (a browser, say).
std::vector<std::string> TakeStartedCommandLines();

}  // namespace winsim::um
