// platform: what the simulated PC's Windows offers programs (its version,
// its system DLLs).
#pragma once

#include "bench_session.h"

namespace bench {

// platform version nt|nt4|win9x, platform withhold|restore DLL[!EXPORT]
void RunPlatform(Session& session, const Args& args);

}  // namespace bench
