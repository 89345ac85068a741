// The system worker threads, which run queued work items at PASSIVE_LEVEL.
#include "sched/scheduler_state.h"

#include "verifier/verifier.h"

namespace winsim {

void Scheduler::State::RunWorker()
{
    SchedulerLock lk(lock, woken);
    for (;;) {
        while (work.empty() && !stopping) {
            PVOID object = &workReady;
            WaitLocked(lk, CurrentThread(), 1, &object, WaitAny, nullptr);
        }
        if (stopping) return;
        WorkEntry entry = work.front();
        work.pop_front();
        if (!work.empty()) {
            workReady.Header.SignalState = 1;
            SignalObject(&workReady.Header);
        }
        workRunning++;
        lk.unlock();
        entry.routine(entry.context);
        Verifier::CheckIrqlAfterCallback(PASSIVE_LEVEL, "work item");
        lk.lock();
        workRunning--;
    }
}

void Scheduler::QueueWork(WORK_QUEUE_TYPE queue, void (*routine)(void*), void* context)
{
    UNREFERENCED_PARAMETER(queue);  // one pool of workers serves every queue type
    SchedulerLock lk(state_->lock, state_->woken);
    State& s = *state_;
    s.work.push_back({routine, context});
    s.workReady.Header.SignalState = 1;
    s.SignalObject(&s.workReady.Header);
}

}  // namespace winsim
