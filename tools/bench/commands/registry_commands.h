// reg get|set|del: the machine's registry through the user-mode registry API.
#pragma once

#include "bench_session.h"

namespace bench {

void RunReg(Session& session, const Args& args);

}  // namespace bench
