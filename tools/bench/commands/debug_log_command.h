// debuglog: what the drivers printed with DbgPrintEx since the last debuglog,
// as a kernel debugger shows it.
#pragma once

#include "bench_session.h"

namespace bench {

void RunDebugLog(Session& session, const Args& args);

}  // namespace bench
