// pty COMn: the port bridged to a new Linux pseudo-terminal (real time only).
#pragma once

#include "bench_session.h"

namespace bench {

void RunPty(Session& session, const Args& args);

}  // namespace bench
