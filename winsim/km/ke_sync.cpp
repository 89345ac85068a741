// Kernel synchronisation services over the machine's dispatcher.
#include <sched.h>

#include <string>

#include "sched/scheduler.h"
#include "verifier/verifier.h"

using winsim::Scheduler;
using winsim::Verifier;
using winsim::ViolationCode;

extern "C" {

KIRQL KeGetCurrentIrql(void) { return Scheduler::CurrentIrql(); }

KIRQL KfRaiseIrql(KIRQL newIrql)
{
    KIRQL old = Scheduler::CurrentIrql();
    if (newIrql < old) {
        Verifier::Violation(ViolationCode::kIrqlNotLessOrEqual, "KeRaiseIrql to a lower IRQL",
                            ("from " + std::to_string(old) + " to " + std::to_string(newIrql)).c_str());
        return old;
    }
    Scheduler::SetCurrentIrql(newIrql);
    return old;
}

VOID KeLowerIrql(KIRQL newIrql)
{
    KIRQL old = Scheduler::CurrentIrql();
    if (newIrql > old) {
        Verifier::Violation(ViolationCode::kIrqlNotLessOrEqual, "KeLowerIrql to a higher IRQL",
                            ("from " + std::to_string(old) + " to " + std::to_string(newIrql)).c_str());
        return;
    }
    Scheduler::Instance().LowerIrql(newIrql);
}

KIRQL KeRaiseIrqlToDpcLevel(void) { return KfRaiseIrql(DISPATCH_LEVEL); }

VOID KeInitializeSpinLock(PKSPIN_LOCK spinLock) { __atomic_store_n(spinLock, 0, __ATOMIC_RELEASE); }

VOID KeAcquireSpinLockAtDpcLevel(PKSPIN_LOCK spinLock)
{
    if (Scheduler::CurrentIrql() < DISPATCH_LEVEL) {
        Verifier::Violation(ViolationCode::kIrqlNotLessOrEqual, "KeAcquireSpinLockAtDpcLevel below DISPATCH_LEVEL",
                            Scheduler::CurrentThreadName());
    }
    // The owner word holds the acquiring thread so a recursive acquire is caught
    // instead of spinning forever.
    auto self = reinterpret_cast<ULONG_PTR>(Scheduler::CurrentThread()) | 1;
    if (__atomic_load_n(spinLock, __ATOMIC_RELAXED) == self) {
        Verifier::Violation(ViolationCode::kDriverVerifierDetected, "spin lock acquired recursively",
                            Scheduler::CurrentThreadName());
        return;
    }
    for (;;) {
        ULONG_PTR expected = 0;
        if (__atomic_compare_exchange_n(spinLock, &expected, self, false, __ATOMIC_ACQUIRE, __ATOMIC_RELAXED)) {
            return;
        }
        while (__atomic_load_n(spinLock, __ATOMIC_RELAXED) != 0) sched_yield();
    }
}

VOID KeReleaseSpinLockFromDpcLevel(PKSPIN_LOCK spinLock)
{
    auto self = reinterpret_cast<ULONG_PTR>(Scheduler::CurrentThread()) | 1;
    if (__atomic_load_n(spinLock, __ATOMIC_RELAXED) != self) {
        Verifier::Violation(ViolationCode::kDriverVerifierDetected, "spin lock released by a thread that does not hold it",
                            Scheduler::CurrentThreadName());
        return;
    }
    __atomic_store_n(spinLock, 0, __ATOMIC_RELEASE);
}

KIRQL KeAcquireSpinLockRaiseToDpc(PKSPIN_LOCK spinLock)
{
    KIRQL old = KfRaiseIrql(DISPATCH_LEVEL);
    KeAcquireSpinLockAtDpcLevel(spinLock);
    return old;
}

VOID KeReleaseSpinLock(PKSPIN_LOCK spinLock, KIRQL newIrql)
{
    KeReleaseSpinLockFromDpcLevel(spinLock);
    KeLowerIrql(newIrql);
}

VOID KeInitializeEvent(PRKEVENT event, EVENT_TYPE type, BOOLEAN state)
{
    Scheduler::Instance().InitializeObject(
        &event->Header,
        type == NotificationEvent ? winsim::kObjectNotificationEvent : winsim::kObjectSynchronizationEvent,
        state ? 1 : 0);
}

LONG KeSetEvent(PRKEVENT event, LONG increment, BOOLEAN wait)
{
    UNREFERENCED_PARAMETER(increment);
    UNREFERENCED_PARAMETER(wait);
    return Scheduler::Instance().SetEvent(event);
}

LONG KeResetEvent(PRKEVENT event) { return Scheduler::Instance().ResetEvent(event); }

VOID KeClearEvent(PRKEVENT event) { Scheduler::Instance().ResetEvent(event); }

LONG KeReadStateEvent(PRKEVENT event) { return __atomic_load_n(&event->Header.SignalState, __ATOMIC_ACQUIRE); }

VOID KeInitializeMutex(PRKMUTEX mutex, ULONG level)
{
    UNREFERENCED_PARAMETER(level);
    Scheduler::Instance().InitializeObject(&mutex->Header, winsim::kObjectMutant, 1);
    mutex->OwnerThread = nullptr;
    mutex->Abandoned = FALSE;
    mutex->ApcDisable = 1;
}

LONG KeReleaseMutex(PRKMUTEX mutex, BOOLEAN wait)
{
    UNREFERENCED_PARAMETER(wait);
    return Scheduler::Instance().ReleaseMutex(mutex);
}

LONG KeReadStateMutex(PRKMUTEX mutex) { return __atomic_load_n(&mutex->Header.SignalState, __ATOMIC_ACQUIRE); }

VOID KeInitializeTimerEx(PKTIMER timer, TIMER_TYPE type)
{
    Scheduler::Instance().InitializeObject(
        &timer->Header,
        type == NotificationTimer ? winsim::kObjectNotificationTimer : winsim::kObjectSynchronizationTimer, 0);
    timer->DueTime.QuadPart = 0;
    timer->Dpc = nullptr;
    timer->Period = 0;
    timer->Processor = 0;
}

VOID KeInitializeTimer(PKTIMER timer) { KeInitializeTimerEx(timer, NotificationTimer); }

BOOLEAN KeSetTimerEx(PKTIMER timer, LARGE_INTEGER dueTime, LONG period, PKDPC dpc)
{
    return Scheduler::Instance().SetTimer(timer, dueTime, period, dpc);
}

BOOLEAN KeSetTimer(PKTIMER timer, LARGE_INTEGER dueTime, PKDPC dpc) { return KeSetTimerEx(timer, dueTime, 0, dpc); }

BOOLEAN KeCancelTimer(PKTIMER timer) { return Scheduler::Instance().CancelTimer(timer); }

BOOLEAN KeReadStateTimer(PKTIMER timer) { return __atomic_load_n(&timer->Header.SignalState, __ATOMIC_ACQUIRE) != 0; }

VOID KeInitializeDpc(PRKDPC dpc, PKDEFERRED_ROUTINE deferredRoutine, PVOID deferredContext)
{
    dpc->Type = 0x13;  // DpcObject
    dpc->Importance = 1;
    dpc->Number = 0;
    dpc->DpcListEntry.Flink = dpc->DpcListEntry.Blink = nullptr;
    dpc->DeferredRoutine = deferredRoutine;
    dpc->DeferredContext = deferredContext;
    dpc->SystemArgument1 = dpc->SystemArgument2 = nullptr;
    dpc->DpcData = nullptr;
}

BOOLEAN KeInsertQueueDpc(PRKDPC dpc, PVOID systemArgument1, PVOID systemArgument2)
{
    return Scheduler::Instance().InsertDpc(dpc, systemArgument1, systemArgument2);
}

BOOLEAN KeRemoveQueueDpc(PRKDPC dpc) { return Scheduler::Instance().RemoveDpc(dpc); }

VOID KeFlushQueuedDpcs(void)
{
    Verifier::CheckPagedCode("KeFlushQueuedDpcs");
    Scheduler::Instance().FlushDpcs();
}

NTSTATUS KeWaitForSingleObject(PVOID object, KWAIT_REASON waitReason, KPROCESSOR_MODE waitMode, BOOLEAN alertable,
                               PLARGE_INTEGER timeout)
{
    UNREFERENCED_PARAMETER(waitReason);
    UNREFERENCED_PARAMETER(waitMode);
    UNREFERENCED_PARAMETER(alertable);
    return Scheduler::Instance().Wait(1, &object, WaitAny, timeout);
}

NTSTATUS KeWaitForMultipleObjects(ULONG count, PVOID object[], WAIT_TYPE waitType, KWAIT_REASON waitReason,
                                  KPROCESSOR_MODE waitMode, BOOLEAN alertable, PLARGE_INTEGER timeout,
                                  PVOID waitBlockArray)
{
    UNREFERENCED_PARAMETER(waitReason);
    UNREFERENCED_PARAMETER(waitMode);
    UNREFERENCED_PARAMETER(alertable);
    UNREFERENCED_PARAMETER(waitBlockArray);
    return Scheduler::Instance().Wait(count, object, waitType, timeout);
}

NTSTATUS KeDelayExecutionThread(KPROCESSOR_MODE waitMode, BOOLEAN alertable, PLARGE_INTEGER interval)
{
    UNREFERENCED_PARAMETER(waitMode);
    UNREFERENCED_PARAMETER(alertable);
    if (Scheduler::CurrentIrql() > APC_LEVEL) {
        Verifier::Violation(ViolationCode::kIrqlWait, "KeDelayExecutionThread above APC_LEVEL",
                            Scheduler::CurrentThreadName());
        return STATUS_INVALID_PARAMETER;
    }
    return Scheduler::Instance().Delay(interval);
}

VOID KeQuerySystemTime(PLARGE_INTEGER currentTime) { currentTime->QuadPart = Scheduler::Instance().SystemTime(); }

ULONGLONG KeQueryInterruptTime(void) { return static_cast<ULONGLONG>(Scheduler::Instance().Now()); }

// The clock interrupt of a PC: 15.625 ms.
static constexpr ULONG kTimeIncrement = 156250;

VOID KeQueryTickCount(PLARGE_INTEGER tickCount) { tickCount->QuadPart = Scheduler::Instance().Now() / kTimeIncrement; }

ULONG KeQueryTimeIncrement(void) { return kTimeIncrement; }

VOID KeStallExecutionProcessor(ULONG microSeconds)
{
    // A busy wait: the processor does not give up its time. In the simulation
    // that is a short real spin; the clock does not move.
    UNREFERENCED_PARAMETER(microSeconds);
}

PKTHREAD KeGetCurrentThread(void) { return reinterpret_cast<PKTHREAD>(Scheduler::CurrentThread()); }

ULONG KeGetCurrentProcessorNumber(void) { return 0; }

VOID KeEnterCriticalRegion(void) {}

VOID KeLeaveCriticalRegion(void) {}

VOID KeBugCheckEx(ULONG bugCheckCode, ULONG_PTR p1, ULONG_PTR p2, ULONG_PTR p3, ULONG_PTR p4)
{
    char detail[160];
    std::snprintf(detail, sizeof detail, "KeBugCheckEx(0x%X, 0x%llx, 0x%llx, 0x%llx, 0x%llx)", bugCheckCode,
                  static_cast<unsigned long long>(p1), static_cast<unsigned long long>(p2),
                  static_cast<unsigned long long>(p3), static_cast<unsigned long long>(p4));
    std::fflush(stdout);
    std::fprintf(stderr, "*** winsim bug check 0x%X: called by the driver\n    %s\n", bugCheckCode, detail);
    std::abort();
}

VOID WinsimAssertPagedCode(PCSTR function) { Verifier::CheckPagedCode(function); }

}  // extern "C"
