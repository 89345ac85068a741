// The bench in a terminal: the simulated PC in real time with one adapter
// (a loopback plug in its first port), the Assistant started and drawn as a
// desktop, the keyboard and mouse given to it, and a command line (`:`)
// for bench commands whose output shows in a pane. Closing the Assistant
// ends the bench.
#pragma once

#include "bench_session.h"

namespace bench {

// Returns the process exit status.
int RunTerminal(SessionOptions options);

}  // namespace bench
