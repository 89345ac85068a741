// clock: the simulated PC's local time of day.
#pragma once

#include "bench_session.h"
#include "um/calendar.h"

namespace bench {

// clock set YYYY-MM-DD HH:MM:SS
void RunClock(Session& session, const Args& args);

// A local date and time as a script writes it: "2026-01-05" and "09:00" or,
// with seconds, "09:00:00".
winsim::um::FileTimeValue ParseLocalTime(const std::string& date, const std::string& time, bool withSeconds);

}  // namespace bench
