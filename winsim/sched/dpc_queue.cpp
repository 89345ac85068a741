// The DPC queue and the processors that drain it at DISPATCH_LEVEL.
#include "sched/scheduler_state.h"

#include "verifier/verifier.h"

namespace winsim {

bool Scheduler::State::InsertDpcLocked(KDPC* dpc, PVOID arg1, PVOID arg2)
{
    if (dpc->DpcData != nullptr) return false;
    dpc->DpcData = dpc;
    dpc->SystemArgument1 = arg1;
    dpc->SystemArgument2 = arg2;
    dpcQueue.push_back(dpc);
    dpcIdle.Header.SignalState = 0;
    dpcReady.Header.SignalState = 1;
    SignalObject(&dpcReady.Header);
    return true;
}

void Scheduler::State::SignalDpcIdleIfQuiet()
{
    if (dpcQueue.empty() && dpcsRunning == 0) {
        dpcIdle.Header.SignalState = 1;
        SignalObject(&dpcIdle.Header);
    }
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
        dpc->DpcData = nullptr;
        dpcsRunning++;
        PVOID a1 = dpc->SystemArgument1;
        PVOID a2 = dpc->SystemArgument2;
        lk.unlock();
        SetCurrentIrql(DISPATCH_LEVEL);
        dpc->DeferredRoutine(dpc, dpc->DeferredContext, a1, a2);
        Verifier::CheckIrqlAfterCallback(DISPATCH_LEVEL, "DPC routine");
        SetCurrentIrql(PASSIVE_LEVEL);
        lk.lock();
        dpcsRunning--;
        SignalDpcIdleIfQuiet();
    }
}

BOOLEAN Scheduler::InsertDpc(KDPC* dpc, PVOID arg1, PVOID arg2)
{
    SchedulerLock lk(state_->lock, state_->woken);
    return state_->InsertDpcLocked(dpc, arg1, arg2) ? TRUE : FALSE;
}

BOOLEAN Scheduler::RemoveDpc(KDPC* dpc)
{
    SchedulerLock lk(state_->lock, state_->woken);
    State& s = *state_;
    if (dpc->DpcData == nullptr) return FALSE;
    for (auto it = s.dpcQueue.begin(); it != s.dpcQueue.end(); ++it) {
        if (*it == dpc) {
            s.dpcQueue.erase(it);
            break;
        }
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
