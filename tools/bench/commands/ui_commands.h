// The `ui` commands: a UI automation tool's view of the program the bench
// started, and the `testprogram` that exercises the window system.
#pragma once

#include "bench_session.h"

namespace bench {

// ui windows|activate|dump|text|items|click|select|key|close|answer|stats ...
void RunUi(Session& session, const Args& args);
// testprogram start
void RunTestProgram(Session& session, const Args& args);

struct GuiProgram;
// After a program's start: runs the machine until it is quiet and the
// program waits for its user (or ended), as a parent's WaitForInputIdle
// does, at most 30 s of virtual time.
void StartedWhenIdle(Session& session, const GuiProgram& program);

// Prints what the window system reported since the last call (message
// boxes, windows opened and closed) and the programs that ended.
void ReportUiEvents(Session& session);

}  // namespace bench
