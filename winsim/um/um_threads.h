// Threads of processes: what CreateThread and a program's main thread share.
#pragma once

#include <windows.h>

#include <functional>
#include <memory>

#include "um/um_process.h"

namespace winsim::um {

// Runs a thread's body as a thread of the process: ExitThread ends it with
// its code, the mutexes it still owns are let go (abandoned), and the
// process is the calling thread's until the body is done.
DWORD RunProcessThread(const std::shared_ptr<Process>& process, DWORD threadId, const std::function<DWORD()>& body);

// At a machine's boot: ids handed out before are not kept.
void ForgetThreadIds();

}  // namespace winsim::um
