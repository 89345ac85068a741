// Things the microcontroller does later: answers that wait for the flash,
// the reset after a restart command, coming back on the bus. One simulation
// thread runs them in time order. The machine counts the schedule as busy
// while anything is due, so running it until quiet covers a re-enumeration.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <mutex>

#include "sched/scheduler.h"

namespace winsim::hw {

class ActionSchedule {
public:
    // Create and destroy on a simulation thread.
    ActionSchedule();
    ~ActionSchedule();
    ActionSchedule(const ActionSchedule&) = delete;
    ActionSchedule& operator=(const ActionSchedule&) = delete;

    // Runs action on the schedule's thread once delay has passed; actions
    // due at the same time run in the order they were added.
    void After(Ticks delay, std::function<void()> action);
    // Forgets every action not yet started.
    void Clear();
    // Drops what is still due and stops the thread once the running action
    // is done; later actions are never run.
    void Stop();

    // An action is due or running.
    bool Busy() const;
    // The same, for Machine::AddBusyCondition: safe to call after the
    // schedule is gone.
    std::function<bool()> BusyCondition() const;

private:
    struct State;
    void Run();

    std::shared_ptr<State> state_;
    Thread thread_;
};

}  // namespace winsim::hw
