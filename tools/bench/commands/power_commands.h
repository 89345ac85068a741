// Commands about power: the machine's sleep and wake, and the power states
// as they stand.
#pragma once

#include "bench_session.h"

namespace bench {

// sleep S1..S5
void RunSleep(Session& session, const Args& args);
// wake
void RunWake(Session& session, const Args& args);
// power: the system state and each plugged adapter's device state.
void RunPower(Session& session, const Args& args);

}  // namespace bench
