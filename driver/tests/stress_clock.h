// The clock of a stress test whose threads wait in simulated time. In
// virtual time the clock moves only once every thread is blocked, so all
// that two threads did at different instants is ordered through the
// scheduler's lock, and the thread sanitizer sees only the accesses made at
// one instant. Under the sanitizer such a test runs on the real-time clock
// instead: each thread wakes when its own time comes while the others go
// on, and the driver's paths overlap as on a real machine. The plain and
// ASan builds keep virtual time, where the test checks the logic repeatably.
#pragma once

#include "sched/scheduler.h"

namespace driver_test {

constexpr winsim::ClockMode StressClock()
{
#if defined(__SANITIZE_THREAD__)
    return winsim::ClockMode::RealTime;
#else
    return winsim::ClockMode::Virtual;
#endif
}

}  // namespace driver_test
