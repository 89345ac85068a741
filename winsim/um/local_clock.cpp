#include "um/local_clock.h"

#include <atomic>

#include "sched/scheduler.h"

namespace winsim::um {

namespace {

// 2026-01-05 09:00:00, the local time a script starts at.
constexpr SYSTEMTIME kScriptStart{2026, 1, 1, 5, 9, 0, 0, 0};
// What it takes to get there (08:00 UTC) from the virtual machine's system
// time at its boot (2026-01-01 00:00 UTC), for user mode used without a
// machine's boot.
constexpr LONGLONG kDefaultOffset = (4 * 24 + 8) * static_cast<LONGLONG>(kFileTimePerHour);

// Added to the machine's system time.
std::atomic<LONGLONG> g_offset{kDefaultOffset};

}  // namespace

FileTimeValue UtcNow()
{
    const Scheduler& scheduler = Scheduler::Instance();
    const LONGLONG systemTime = scheduler.Booted() ? scheduler.SystemTime() : 0;
    return static_cast<FileTimeValue>(systemTime + g_offset.load());
}

void SetLocalNow(FileTimeValue local)
{
    g_offset = static_cast<LONGLONG>(UtcFromLocal(local)) - Scheduler::Instance().SystemTime();
}

void ResetLocalClock()
{
    if (!Scheduler::Instance().Booted()) {
        g_offset = kDefaultOffset;
        return;
    }
    if (Scheduler::Instance().Mode() == ClockMode::RealTime) {
        g_offset = 0;
        return;
    }
    FileTimeValue start = 0;
    ValueOfDate(kScriptStart, &start);
    SetLocalNow(start);
}

}  // namespace winsim::um
