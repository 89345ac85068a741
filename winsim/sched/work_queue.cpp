// The system worker threads, which run queued work items at PASSIVE_LEVEL.
// As on Windows, a worker takes queued items one after another while it
// runs, and a waiting worker is woken only when no worker is active: one
// whose item blocks in a wait no longer counts. An item queued while a
// worker runs therefore costs no host thread switch. The worker that waited
// last is the one woken.
#include "sched/scheduler_state.h"

#include "verifier/verifier.h"

namespace winsim {

void Scheduler::State::SummonWorkerLocked()
{
    if (work.empty() || workersActive > 0 || workerSummoned) return;
    workerSummoned = true;
    workReady.Header.SignalState = 1;
    SignalObject(&workReady.Header);
}

void Scheduler::State::RunWorker()
{
    SimThread* self = CurrentThread();
    SchedulerLock lk(lock, woken);
    for (;;) {
        while (work.empty() && !stopping) {
            PVOID object = &workReady;
            WaitLocked(lk, self, 1, &object, WaitAny, nullptr, true, WaitPlace::InFront);
        }
        if (stopping) return;
        // Whichever worker takes the item answers the summons; a signal
        // nobody consumed would only wake a worker for nothing.
        workerSummoned = false;
        workReady.Header.SignalState = 0;
        WorkEntry entry = work.front();
        work.pop_front();
        workRunning++;
        workersActive++;
        self->runsWork = true;
        lk.unlock();
        entry.routine(entry.context);
        Verifier::CheckIrqlAfterCallback(PASSIVE_LEVEL, "work item");
        lk.lock();
        self->runsWork = false;
        workersActive--;
        workRunning--;
    }
}

void Scheduler::QueueWork(WORK_QUEUE_TYPE queue, void (*routine)(void*), void* context)
{
    UNREFERENCED_PARAMETER(queue);  // one pool of workers serves every queue type
    SchedulerLock lk(state_->lock, state_->woken);
    state_->work.push_back({routine, context});
    state_->SummonWorkerLocked();
}

}  // namespace winsim
