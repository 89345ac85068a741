// The built-in demonstration: a narrated tour of the simulated PC.
#pragma once

#include <iosfwd>

#include "bench_session.h"

namespace bench {

// Returns the process exit status.
int RunDemonstration(std::ostream& out, SessionOptions options);

}  // namespace bench
