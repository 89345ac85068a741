// pool: the verifier's outstanding pool allocations.
#pragma once

#include "bench_session.h"

namespace bench {

void RunPool(Session& session, const Args& args);

}  // namespace bench
