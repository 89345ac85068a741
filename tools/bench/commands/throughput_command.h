// throughput: every byte through loopback plugs on many ports at once.
#pragma once

#include "bench_session.h"

namespace bench {

// throughput [adapters=A] [ports=P] [baud=B] [seconds=S]
void RunThroughput(Session& session, const Args& args);

}  // namespace bench
