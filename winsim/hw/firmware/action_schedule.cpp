#include "hw/firmware/action_schedule.h"

#include <km_ke.h>

namespace winsim::hw {

struct ActionSchedule::State {
    mutable std::mutex lock;
    std::multimap<Ticks, std::function<void()>> due;
    bool running = false;
    bool stopping = false;
    KEVENT wake;

    bool Busy() const
    {
        std::lock_guard lk(lock);
        return running || !due.empty();
    }
};

ActionSchedule::ActionSchedule() : state_(std::make_shared<State>())
{
    KeInitializeEvent(&state_->wake, SynchronizationEvent, FALSE);
    // Waits forever while nothing is due: a daemon.
    thread_ = Scheduler::Instance().Spawn("microcontroller", [this] { Run(); }, true);
}

ActionSchedule::~ActionSchedule() { Stop(); }

void ActionSchedule::Stop()
{
    if (!thread_.Joinable()) return;
    {
        std::lock_guard lk(state_->lock);
        state_->due.clear();
        state_->stopping = true;
    }
    KeSetEvent(&state_->wake, IO_NO_INCREMENT, FALSE);
    thread_.Join();
}

void ActionSchedule::After(Ticks delay, std::function<void()> action)
{
    {
        std::lock_guard lk(state_->lock);
        if (state_->stopping) return;
        state_->due.emplace(Scheduler::Instance().Now() + delay, std::move(action));
    }
    KeSetEvent(&state_->wake, IO_NO_INCREMENT, FALSE);
}

void ActionSchedule::Clear()
{
    std::lock_guard lk(state_->lock);
    state_->due.clear();
}

bool ActionSchedule::Busy() const { return state_->Busy(); }

std::function<bool()> ActionSchedule::BusyCondition() const
{
    return [weak = std::weak_ptr<State>(state_)] {
        const std::shared_ptr<State> state = weak.lock();
        return state != nullptr && state->Busy();
    };
}

void ActionSchedule::Run()
{
    State& s = *state_;
    for (;;) {
        std::function<void()> action;
        LARGE_INTEGER timeout;
        bool forever = true;
        {
            std::lock_guard lk(s.lock);
            s.running = false;
            if (s.stopping) return;
            if (!s.due.empty()) {
                const Ticks now = Scheduler::Instance().Now();
                auto first = s.due.begin();
                if (first->first <= now) {
                    action = std::move(first->second);
                    s.due.erase(first);
                    s.running = true;
                } else {
                    timeout.QuadPart = -(first->first - now);
                    forever = false;
                }
            }
        }
        if (action) {
            action();
            continue;
        }
        KeWaitForSingleObject(&s.wake, Executive, KernelMode, FALSE, forever ? nullptr : &timeout);
    }
}

}  // namespace winsim::hw
