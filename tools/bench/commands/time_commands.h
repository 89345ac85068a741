// Commands about simulated time.
#pragma once

#include "bench_session.h"

namespace bench {

// wait DURATION
void RunWait(Session& session, const Args& args);

}  // namespace bench
