// The scheduler's life: boot with its system threads, shutdown, and whether
// deferred work is still outstanding.
#include "sched/scheduler_state.h"

namespace winsim {

namespace {

constexpr int kDpcProcessors = 2;
constexpr int kWorkersPerQueue = 2;

}  // namespace

Scheduler& Scheduler::Instance()
{
    static Scheduler instance;
    return instance;
}

bool Scheduler::Booted() const { return state_ != nullptr && state_->booted; }

ClockMode Scheduler::Mode() const { return state_->mode; }

void Scheduler::Boot(ClockMode mode)
{
    if (state_ != nullptr) Shutdown();
    state_ = new State;
    State& s = *state_;
    s.StartClock(mode);
    s.processor = HostProcessor::Current();
    InitializeObject(&s.dpcReady.Header, kObjectSynchronizationEvent, 0);
    InitializeObject(&s.dpcIdle.Header, kObjectNotificationEvent, 1);
    InitializeObject(&s.workReady.Header, kObjectSynchronizationEvent, 0);
    s.booted = true;

    for (int cpu = 0; cpu < kDpcProcessors; ++cpu) {
        auto body = [this] { state_->RunDpcProcessor(); };
        s.systemThreads.push_back(Spawn("dpc" + std::to_string(cpu), body, true));
    }
    for (int worker = 0; worker < kWorkersPerQueue; ++worker) {
        auto body = [this] { state_->RunWorker(); };
        s.systemThreads.push_back(Spawn("worker" + std::to_string(worker), body, true));
    }
    if (mode == ClockMode::RealTime) s.clockThread = std::thread([this] { state_->RunRealTimeClock(); });
}

void Scheduler::Shutdown()
{
    if (state_ == nullptr) return;
    State& s = *state_;
    {
        SchedulerLock lk(s.lock, s.woken);
        s.stopping = true;
        for (SimThread* t : s.threads) {
            if (t->waiting && t->daemon) s.Wake(t, STATUS_ALERTED);
        }
        s.clockCv.notify_all();
    }
    for (auto& thread : s.systemThreads) thread.thread_.join();
    if (s.clockThread.joinable()) s.clockThread.join();
    delete state_;
    state_ = nullptr;
}

bool Scheduler::DeferredWorkPending()
{
    SchedulerLock lk(state_->lock, state_->woken);
    const State& s = *state_;
    return !s.dpcQueue.empty() || s.dpcsOnThreads > 0 || s.dpcsRunning > 0 || !s.work.empty() || s.workRunning > 0;
}

}  // namespace winsim
