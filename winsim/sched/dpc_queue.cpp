// The DPC queues: each simulation thread's own, drained when its IRQL drops
// below DISPATCH_LEVEL, and the shared one that the DPC processors drain
// (timer DPCs and DPCs queued from outside the simulation).
#include "sched/scheduler_state.h"

#include "verifier/verifier.h"

namespace winsim {

namespace {

// What a queued DPC's DpcData holds: the queue it is in.
PVOID SharedQueueMark(std::deque<KDPC*>& queue) { return &queue; }

bool Claim(KDPC* dpc, PVOID queue, PVOID arg1, PVOID arg2)
{
    if (dpc->DpcData != nullptr) return false;
    dpc->DpcData = queue;
    dpc->SystemArgument1 = arg1;
    dpc->SystemArgument2 = arg2;
    return true;
}

}  // namespace

bool Scheduler::State::InsertDpcLocked(KDPC* dpc, PVOID arg1, PVOID arg2)
{
    if (!Claim(dpc, SharedQueueMark(dpcQueue), arg1, arg2)) return false;
    dpcQueue.push_back(dpc);
    dpcIdle.Header.SignalState = 0;
    dpcReady.Header.SignalState = 1;
    SignalObject(&dpcReady.Header);
    return true;
}

bool Scheduler::State::InsertThreadDpcLocked(SimThread* t, KDPC* dpc, PVOID arg1, PVOID arg2)
{
    if (!Claim(dpc, t, arg1, arg2)) return false;
    t->dpcs.push_back(dpc);
    t->dpcsQueued.fetch_add(1, std::memory_order_relaxed);
    dpcsOnThreads++;
    dpcIdle.Header.SignalState = 0;
    return true;
}

void Scheduler::State::SignalDpcIdleIfQuiet()
{
    if (dpcQueue.empty() && dpcsOnThreads == 0 && dpcsRunning == 0) {
        dpcIdle.Header.SignalState = 1;
        SignalObject(&dpcIdle.Header);
    }
}

void Scheduler::State::RunDpcLocked(SchedulerLock& lk, KDPC* dpc)
{
    dpc->DpcData = nullptr;
    dpcsRunning++;
    PVOID a1 = dpc->SystemArgument1;
    PVOID a2 = dpc->SystemArgument2;
    lk.unlock();
    SetCurrentIrql(DISPATCH_LEVEL);
    dpc->DeferredRoutine(dpc, dpc->DeferredContext, a1, a2);
    Verifier::CheckIrqlAfterCallback(DISPATCH_LEVEL, "DPC routine");
    lk.lock();
    dpcsRunning--;
}

void Scheduler::State::RunDpcProcessor()
{
    SchedulerLock lk(lock, woken);
    for (;;) {
        while (dpcQueue.empty() && !stopping) {
            PVOID object = &dpcReady;
            WaitLocked(lk, CurrentThread(), 1, &object, WaitAny, nullptr);
        }
        if (stopping) return;
        KDPC* dpc = dpcQueue.front();
        dpcQueue.pop_front();
        if (!dpcQueue.empty()) {
            dpcReady.Header.SignalState = 1;
            SignalObject(&dpcReady.Header);
        }
        RunDpcLocked(lk, dpc);
        // What the routine queued on this processor runs before it goes on.
        RunThreadDpcsLocked(lk, CurrentThread());
        SetCurrentIrql(PASSIVE_LEVEL);
    }
}

void Scheduler::State::RunThreadDpcsLocked(SchedulerLock& lk, SimThread* t)
{
    while (!t->dpcs.empty()) {
        KDPC* dpc = t->dpcs.front();
        t->dpcs.pop_front();
        t->dpcsQueued.fetch_sub(1, std::memory_order_relaxed);
        dpcsOnThreads--;
        RunDpcLocked(lk, dpc);
    }
    SignalDpcIdleIfQuiet();
}

void Scheduler::LowerIrql(KIRQL irql)
{
    SimThread* t = CurrentThread();
    if (t != nullptr && irql < DISPATCH_LEVEL && t->dpcsQueued.load(std::memory_order_relaxed) != 0) {
        SchedulerLock lk(state_->lock, state_->woken);
        state_->RunThreadDpcsLocked(lk, t);
    }
    SetCurrentIrql(irql);
}

BOOLEAN Scheduler::InsertDpc(KDPC* dpc, PVOID arg1, PVOID arg2)
{
    SimThread* t = CurrentThread();
    bool inserted;
    {
        SchedulerLock lk(state_->lock, state_->woken);
        inserted = t != nullptr ? state_->InsertThreadDpcLocked(t, dpc, arg1, arg2)
                                : state_->InsertDpcLocked(dpc, arg1, arg2);
    }
    // Below DISPATCH_LEVEL the processor takes its DPC interrupt at once.
    if (inserted && t != nullptr && t->irql < DISPATCH_LEVEL) {
        const KIRQL irql = t->irql;
        SetCurrentIrql(DISPATCH_LEVEL);
        LowerIrql(irql);
    }
    return inserted ? TRUE : FALSE;
}

BOOLEAN Scheduler::RemoveDpc(KDPC* dpc)
{
    SchedulerLock lk(state_->lock, state_->woken);
    State& s = *state_;
    PVOID queue = dpc->DpcData;
    if (queue == nullptr) return FALSE;
    if (queue == SharedQueueMark(s.dpcQueue)) {
        std::erase(s.dpcQueue, dpc);
    } else {
        auto* owner = static_cast<SimThread*>(queue);
        std::erase(owner->dpcs, dpc);
        owner->dpcsQueued.fetch_sub(1, std::memory_order_relaxed);
        s.dpcsOnThreads--;
    }
    dpc->DpcData = nullptr;
    s.SignalDpcIdleIfQuiet();
    return TRUE;
}

void Scheduler::FlushDpcs()
{
    PVOID object = &state_->dpcIdle;
    Wait(1, &object, WaitAny, nullptr);
}

}  // namespace winsim
