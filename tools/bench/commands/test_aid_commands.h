// Test aids: commands that do what no part of the product does, so that
// scripts can reach code paths otherwise idle. Not product features.
#pragma once

#include "bench_session.h"

namespace bench {

// testaid postevent CODE UNIT PORT P0 P1 P2 P3 P4 P5 [COUNT]
void RunTestAid(Session& session, const Args& args);

}  // namespace bench
