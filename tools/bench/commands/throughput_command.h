// throughput: every byte through loopback plugs on many ports at once.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "bench_session.h"

namespace bench {

struct ThroughputOptions {
    unsigned adapters = 1;
    unsigned ports = 4;  // per adapter
    uint32_t baud = 921600;
    unsigned seconds = 10;
};

// What a measurement watching the streams may hook in.
struct ThroughputHooks {
    // Once every port streams, with the ports' COM names.
    std::function<void(const std::vector<std::string>& coms)> started;
    // After every millisecond of virtual time while the lines stream and drain.
    std::function<void()> everyMillisecond;
};

// The run behind `throughput`: its result line.
std::string StreamThroughLoopbacks(Session& session, const ThroughputOptions& options, const ThroughputHooks& hooks);

// throughput [adapters=A] [ports=P] [baud=B] [seconds=S]
void RunThroughput(Session& session, const Args& args);

}  // namespace bench
