// Watching the adapters' message pipes.
#pragma once

#include "bench_session.h"

namespace bench {

// usbtrace on|off
void RunUsbTrace(Session& session, const Args& args);

}  // namespace bench
