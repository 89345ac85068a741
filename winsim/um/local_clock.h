// The simulated PC's clock as user mode sees it: the machine's system time
// moved to a date of the PC's own (in scripts it starts at 2026-01-05
// 09:00:00 local time), and a fixed time zone one hour east of UTC without
// daylight saving, so local and UTC times differ wherever a program mixes
// them up.
#pragma once

#include "um/calendar.h"

namespace winsim::um {

constexpr FileTimeValue kLocalTimeBias = kFileTimePerHour;

FileTimeValue UtcNow();
inline FileTimeValue LocalNow() { return UtcNow() + kLocalTimeBias; }
inline FileTimeValue LocalFromUtc(FileTimeValue utc) { return utc + kLocalTimeBias; }
inline FileTimeValue UtcFromLocal(FileTimeValue local) { return local - kLocalTimeBias; }

// The local time from now on; the clock goes on from there.
void SetLocalNow(FileTimeValue local);
// At a machine's boot: the start date on the virtual clock, the host's own
// time in real-time mode.
void ResetLocalClock();

}  // namespace winsim::um
