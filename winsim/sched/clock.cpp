// The clock: interrupt and system time, kernel timers and timed waits, and
// the virtual clock's jump to the next deadline.
#include "sched/scheduler_state.h"

#include <algorithm>

#include "verifier/verifier.h"

namespace winsim {

namespace {

// 2026-01-01 00:00:00 UTC in 100 ns units since 1601: the virtual machine's
// boot time, so that every run sees the same system time.
constexpr LONGLONG kVirtualBootSystemTime = 134'115'552'000'000'000LL;
// Seconds between 1601-01-01 and 1970-01-01.
constexpr LONGLONG kEpochDifferenceSeconds = 11'644'473'600LL;

// The earliest timer or timed wait, or -1 when none is set.
Ticks NextDeadline(const std::set<std::pair<Ticks, KTIMER*>>& timers,
                   const std::set<std::pair<Ticks, SimThread*>>& timedWaits)
{
    Ticks next = -1;
    if (!timers.empty()) next = timers.begin()->first;
    if (!timedWaits.empty() && (next < 0 || timedWaits.begin()->first < next)) {
        next = timedWaits.begin()->first;
    }
    return next;
}

}  // namespace

void Scheduler::State::StartClock(ClockMode clockMode)
{
    mode = clockMode;
    realBoot = std::chrono::steady_clock::now();
    systemTimeAtBoot = kVirtualBootSystemTime;
    if (mode == ClockMode::RealTime) {
        auto sinceUnix = std::chrono::system_clock::now().time_since_epoch();
        systemTimeAtBoot = std::chrono::duration_cast<std::chrono::nanoseconds>(sinceUnix).count() / 100 +
                           kEpochDifferenceSeconds * kTicksPerSecond;
    }
}

// Real-time mode: a host thread expires timers and time-outs as they fall due.
void Scheduler::State::RunRealTimeClock()
{
    HostProcessor here = processor;
    here.Confine();
    SchedulerLock lk(lock, woken);
    while (!stopping) {
        Ticks next = NextDeadline(timers, timedWaits);
        if (next < 0) {
            clockCv.wait(lk);
        } else {
            clockCv.wait_until(lk, realBoot + std::chrono::nanoseconds(next * 100));
        }
        ExpireLocked(CurrentTicks());
    }
}

Ticks Scheduler::State::CurrentTicks() const
{
    if (mode == ClockMode::RealTime) {
        auto elapsed = std::chrono::steady_clock::now() - realBoot;
        return std::chrono::duration_cast<std::chrono::nanoseconds>(elapsed).count() / 100;
    }
    return now.load(std::memory_order_acquire);
}

void Scheduler::State::InsertTimerLocked(KTIMER* timer, Ticks due)
{
    timer->DueTime.QuadPart = static_cast<ULONGLONG>(due);
    timer->Header.Reserved = 1;  // inserted
    timers.insert({due, timer});
    clockCv.notify_one();
}

void Scheduler::State::ExpireLocked(Ticks at)
{
    while (!timers.empty() && timers.begin()->first <= at) {
        KTIMER* timer = timers.begin()->second;
        timers.erase(timers.begin());
        timer->Header.Reserved = 0;
        timer->Header.SignalState = 1;
        SignalObject(&timer->Header);
        if (timer->Period > 0) {
            InsertTimerLocked(timer, static_cast<Ticks>(timer->DueTime.QuadPart) +
                                         timer->Period * kTicksPerMillisecond);
        }
        if (timer->Dpc != nullptr) InsertDpcLocked(timer->Dpc, nullptr, nullptr);
    }
    while (!timedWaits.empty() && timedWaits.begin()->first <= at) {
        Wake(timedWaits.begin()->second, STATUS_TIMEOUT);
    }
}

void Scheduler::State::AdvanceLocked()
{
    if (mode != ClockMode::Virtual) return;
    while (running == 0 && nonDaemonThreads > 0 && !stopping) {
        Ticks next = NextDeadline(timers, timedWaits);
        if (next < 0) {
            ReportHang();
            return;
        }
        if (next > now.load()) now.store(next, std::memory_order_release);
        ExpireLocked(now.load());
    }
}

void Scheduler::State::ReportHang()
{
    std::string waiting;
    for (SimThread* t : threads) {
        if (t->waiting && !t->daemon) waiting += " '" + t->name + "'";
    }
    if (waiting.empty()) return;
    Verifier::Violation(ViolationCode::kSimulationHang, "simulation hang",
                        ("every thread waits forever and no timer is set; blocked:" + waiting).c_str());
}

Ticks Scheduler::Now() const { return state_ != nullptr ? state_->CurrentTicks() : 0; }

LONGLONG Scheduler::SystemTime() const { return state_->systemTimeAtBoot + Now(); }

Ticks DeadlineFromTimeout(const LARGE_INTEGER& timeout)
{
    Scheduler& s = Scheduler::Instance();
    const Ticks now = s.Now();
    // Relative (negative) time-outs count from now, absolute ones from boot.
    if (timeout.QuadPart < 0) {
        return timeout.QuadPart <= now - Scheduler::kClockEnd ? Scheduler::kClockEnd : now - timeout.QuadPart;
    }
    return std::min(timeout.QuadPart - (s.SystemTime() - now), Scheduler::kClockEnd);
}

BOOLEAN Scheduler::SetTimer(KTIMER* timer, LARGE_INTEGER dueTime, LONG periodMs, KDPC* dpc)
{
    SchedulerLock lk(state_->lock, state_->woken);
    State& s = *state_;
    BOOLEAN wasInserted = timer->Header.Reserved != 0;
    if (wasInserted) s.timers.erase({static_cast<Ticks>(timer->DueTime.QuadPart), timer});
    timer->Header.SignalState = 0;
    timer->Period = periodMs;
    timer->Dpc = dpc;
    Ticks due = dueTime.QuadPart == 0 ? s.CurrentTicks() : DeadlineFromTimeout(dueTime);
    s.InsertTimerLocked(timer, due);
    if (due <= s.CurrentTicks()) s.ExpireLocked(s.CurrentTicks());
    return wasInserted;
}

BOOLEAN Scheduler::CancelTimer(KTIMER* timer)
{
    SchedulerLock lk(state_->lock, state_->woken);
    if (timer->Header.Reserved == 0) return FALSE;
    state_->timers.erase({static_cast<Ticks>(timer->DueTime.QuadPart), timer});
    timer->Header.Reserved = 0;
    return TRUE;
}

Ticks Scheduler::EarliestDeadline()
{
    SchedulerLock lk(state_->lock, state_->woken);
    return NextDeadline(state_->timers, state_->timedWaits);
}

void Scheduler::Sleep(Ticks duration)
{
    LARGE_INTEGER interval;
    interval.QuadPart = -duration;
    Delay(&interval);
}

void Scheduler::Settle()
{
    SimThread* t = CurrentThread();
    if (t == nullptr || state_->mode != ClockMode::Virtual) return;
    SchedulerLock lk(state_->lock, state_->woken);
    State& s = *state_;
    // A time-out due now: the clock picks it the moment nothing else runs.
    t->waitType = WaitAny;
    t->count = 0;
    t->timed = true;
    t->deadline = s.CurrentTicks();
    s.timedWaits.insert({t->deadline, t});
    s.BlockLocked(lk, t, false);
}

}  // namespace winsim
