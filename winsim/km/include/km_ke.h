// winsim kernel headers: IRQL, spin locks, dispatcher objects (events,
// mutexes, timers), DPCs, interlocked operations and the system clock.
#pragma once

#include "ntdef.h"

#define PASSIVE_LEVEL 0
#define LOW_LEVEL 0
#define APC_LEVEL 1
#define DISPATCH_LEVEL 2
#define HIGH_LEVEL 15

typedef ULONG_PTR KSPIN_LOCK, *PKSPIN_LOCK;

typedef enum _EVENT_TYPE { NotificationEvent, SynchronizationEvent } EVENT_TYPE;
typedef enum _TIMER_TYPE { NotificationTimer, SynchronizationTimer } TIMER_TYPE;
typedef enum _KWAIT_REASON { Executive, FreePage, PageIn, PoolAllocation, DelayExecution, Suspended, UserRequest } KWAIT_REASON;
typedef enum _WAIT_TYPE { WaitAll, WaitAny } WAIT_TYPE;

// Every waitable object starts with this header; the wait list holds the
// wait blocks of the threads blocked on it (owned by the scheduler).
typedef struct _DISPATCHER_HEADER {
    UCHAR Type;
    UCHAR Signalling;
    UCHAR Size;
    UCHAR Reserved;
    LONG SignalState;
    LIST_ENTRY WaitListHead;
} DISPATCHER_HEADER;

typedef struct _KEVENT {
    DISPATCHER_HEADER Header;
} KEVENT, *PKEVENT, *PRKEVENT;

typedef struct _KTHREAD* PKTHREAD, *PETHREAD;

typedef struct _KMUTANT {
    DISPATCHER_HEADER Header;
    LIST_ENTRY MutantListEntry;
    PKTHREAD OwnerThread;
    BOOLEAN Abandoned;
    UCHAR ApcDisable;
} KMUTANT, KMUTEX, *PKMUTANT, *PKMUTEX, *PRKMUTEX;

struct _KDPC;
typedef VOID KDEFERRED_ROUTINE(struct _KDPC* Dpc, PVOID DeferredContext, PVOID SystemArgument1, PVOID SystemArgument2);
typedef KDEFERRED_ROUTINE* PKDEFERRED_ROUTINE;

typedef struct _KDPC {
    UCHAR Type;
    UCHAR Importance;
    volatile USHORT Number;
    LIST_ENTRY DpcListEntry;
    PKDEFERRED_ROUTINE DeferredRoutine;
    PVOID DeferredContext;
    PVOID SystemArgument1;
    PVOID SystemArgument2;
    volatile PVOID DpcData;  // non-null while queued
} KDPC, *PKDPC, *PRKDPC;

typedef struct _KTIMER {
    DISPATCHER_HEADER Header;
    ULARGE_INTEGER DueTime;  // interrupt time of the next expiry
    LIST_ENTRY TimerListEntry;
    struct _KDPC* Dpc;
    ULONG Processor;
    LONG Period;  // milliseconds, 0 for a one-shot timer
} KTIMER, *PKTIMER, *PRKTIMER;

extern "C" {

// IRQL of the calling simulation thread.
NTKERNELAPI KIRQL KeGetCurrentIrql(void);
NTKERNELAPI KIRQL KfRaiseIrql(KIRQL NewIrql);
NTKERNELAPI VOID KeLowerIrql(KIRQL NewIrql);
#define KeRaiseIrql(a, b) *(b) = KfRaiseIrql(a)
NTKERNELAPI KIRQL KeRaiseIrqlToDpcLevel(void);

NTKERNELAPI VOID KeInitializeSpinLock(PKSPIN_LOCK SpinLock);
NTKERNELAPI KIRQL KeAcquireSpinLockRaiseToDpc(PKSPIN_LOCK SpinLock);
#define KeAcquireSpinLock(SpinLock, OldIrql) *(OldIrql) = KeAcquireSpinLockRaiseToDpc(SpinLock)
NTKERNELAPI VOID KeReleaseSpinLock(PKSPIN_LOCK SpinLock, KIRQL NewIrql);
NTKERNELAPI VOID KeAcquireSpinLockAtDpcLevel(PKSPIN_LOCK SpinLock);
NTKERNELAPI VOID KeReleaseSpinLockFromDpcLevel(PKSPIN_LOCK SpinLock);

NTKERNELAPI VOID KeInitializeEvent(PRKEVENT Event, EVENT_TYPE Type, BOOLEAN State);
NTKERNELAPI LONG KeSetEvent(PRKEVENT Event, LONG Increment, BOOLEAN Wait);
NTKERNELAPI LONG KeResetEvent(PRKEVENT Event);
NTKERNELAPI VOID KeClearEvent(PRKEVENT Event);
NTKERNELAPI LONG KeReadStateEvent(PRKEVENT Event);

NTKERNELAPI VOID KeInitializeMutex(PRKMUTEX Mutex, ULONG Level);
NTKERNELAPI LONG KeReleaseMutex(PRKMUTEX Mutex, BOOLEAN Wait);
NTKERNELAPI LONG KeReadStateMutex(PRKMUTEX Mutex);

NTKERNELAPI VOID KeInitializeTimer(PKTIMER Timer);
NTKERNELAPI VOID KeInitializeTimerEx(PKTIMER Timer, TIMER_TYPE Type);
NTKERNELAPI BOOLEAN KeSetTimer(PKTIMER Timer, LARGE_INTEGER DueTime, PKDPC Dpc);
NTKERNELAPI BOOLEAN KeSetTimerEx(PKTIMER Timer, LARGE_INTEGER DueTime, LONG Period, PKDPC Dpc);
NTKERNELAPI BOOLEAN KeCancelTimer(PKTIMER Timer);
NTKERNELAPI BOOLEAN KeReadStateTimer(PKTIMER Timer);

NTKERNELAPI VOID KeInitializeDpc(PRKDPC Dpc, PKDEFERRED_ROUTINE DeferredRoutine, PVOID DeferredContext);
NTKERNELAPI BOOLEAN KeInsertQueueDpc(PRKDPC Dpc, PVOID SystemArgument1, PVOID SystemArgument2);
NTKERNELAPI BOOLEAN KeRemoveQueueDpc(PRKDPC Dpc);
NTKERNELAPI VOID KeFlushQueuedDpcs(void);

// Timeout: null waits forever, negative is relative, positive is an absolute
// system time, all in 100 ns units.
NTKERNELAPI NTSTATUS KeWaitForSingleObject(PVOID Object, KWAIT_REASON WaitReason, KPROCESSOR_MODE WaitMode,
                                           BOOLEAN Alertable, PLARGE_INTEGER Timeout);
NTKERNELAPI NTSTATUS KeWaitForMultipleObjects(ULONG Count, PVOID Object[], WAIT_TYPE WaitType,
                                              KWAIT_REASON WaitReason, KPROCESSOR_MODE WaitMode,
                                              BOOLEAN Alertable, PLARGE_INTEGER Timeout, PVOID WaitBlockArray);
#define KeWaitForMutexObject KeWaitForSingleObject
NTKERNELAPI NTSTATUS KeDelayExecutionThread(KPROCESSOR_MODE WaitMode, BOOLEAN Alertable, PLARGE_INTEGER Interval);

NTKERNELAPI VOID KeQuerySystemTime(PLARGE_INTEGER CurrentTime);
NTKERNELAPI ULONGLONG KeQueryInterruptTime(void);
NTKERNELAPI VOID KeQueryTickCount(PLARGE_INTEGER TickCount);
NTKERNELAPI ULONG KeQueryTimeIncrement(void);
NTKERNELAPI VOID KeStallExecutionProcessor(ULONG MicroSeconds);
NTKERNELAPI PKTHREAD KeGetCurrentThread(void);
#define PsGetCurrentThread() ((PETHREAD)KeGetCurrentThread())
NTKERNELAPI ULONG KeGetCurrentProcessorNumber(void);
NTKERNELAPI VOID KeEnterCriticalRegion(void);
NTKERNELAPI VOID KeLeaveCriticalRegion(void);

[[noreturn]] NTKERNELAPI VOID KeBugCheckEx(ULONG BugCheckCode, ULONG_PTR P1, ULONG_PTR P2, ULONG_PTR P3, ULONG_PTR P4);

}  // extern "C"

// Interlocked operations: full barriers, as on Windows.
FORCEINLINE LONG InterlockedIncrement(LONG volatile* p) { return __atomic_add_fetch(p, 1, __ATOMIC_SEQ_CST); }
FORCEINLINE LONG InterlockedDecrement(LONG volatile* p) { return __atomic_sub_fetch(p, 1, __ATOMIC_SEQ_CST); }
FORCEINLINE LONG InterlockedAdd(LONG volatile* p, LONG v) { return __atomic_add_fetch(p, v, __ATOMIC_SEQ_CST); }
FORCEINLINE LONG InterlockedExchangeAdd(LONG volatile* p, LONG v) { return __atomic_fetch_add(p, v, __ATOMIC_SEQ_CST); }
FORCEINLINE LONG InterlockedExchange(LONG volatile* p, LONG v) { return __atomic_exchange_n(p, v, __ATOMIC_SEQ_CST); }
FORCEINLINE LONG InterlockedOr(LONG volatile* p, LONG v) { return __atomic_fetch_or(p, v, __ATOMIC_SEQ_CST); }
FORCEINLINE LONG InterlockedAnd(LONG volatile* p, LONG v) { return __atomic_fetch_and(p, v, __ATOMIC_SEQ_CST); }
FORCEINLINE LONG InterlockedCompareExchange(LONG volatile* p, LONG exchange, LONG comparand)
{
    __atomic_compare_exchange_n(p, &comparand, exchange, false, __ATOMIC_SEQ_CST, __ATOMIC_SEQ_CST);
    return comparand;
}
FORCEINLINE LONG64 InterlockedIncrement64(LONG64 volatile* p) { return __atomic_add_fetch(p, 1, __ATOMIC_SEQ_CST); }
FORCEINLINE LONG64 InterlockedCompareExchange64(LONG64 volatile* p, LONG64 exchange, LONG64 comparand)
{
    __atomic_compare_exchange_n(p, &comparand, exchange, false, __ATOMIC_SEQ_CST, __ATOMIC_SEQ_CST);
    return comparand;
}
FORCEINLINE PVOID InterlockedExchangePointer(PVOID volatile* p, PVOID v)
{
    return __atomic_exchange_n(p, v, __ATOMIC_SEQ_CST);
}
FORCEINLINE PVOID InterlockedCompareExchangePointer(PVOID volatile* p, PVOID exchange, PVOID comparand)
{
    __atomic_compare_exchange_n(p, &comparand, exchange, false, __ATOMIC_SEQ_CST, __ATOMIC_SEQ_CST);
    return comparand;
}
FORCEINLINE BOOLEAN InterlockedBitTestAndSet(LONG volatile* p, LONG bit)
{
    return (BOOLEAN)((__atomic_fetch_or(p, (LONG)(1u << bit), __ATOMIC_SEQ_CST) >> bit) & 1);
}
FORCEINLINE BOOLEAN InterlockedBitTestAndReset(LONG volatile* p, LONG bit)
{
    return (BOOLEAN)((__atomic_fetch_and(p, (LONG)~(1u << bit), __ATOMIC_SEQ_CST) >> bit) & 1);
}
FORCEINLINE CHAR InterlockedExchange8(CHAR volatile* p, CHAR v) { return __atomic_exchange_n(p, v, __ATOMIC_SEQ_CST); }
FORCEINLINE void KeMemoryBarrier() { __atomic_thread_fence(__ATOMIC_SEQ_CST); }
FORCEINLINE LONG64 InterlockedExchange64(LONG64 volatile* p, LONG64 v) { return __atomic_exchange_n(p, v, __ATOMIC_SEQ_CST); }

// Reads and writes with acquire, release or no ordering, as the kernel's
// ReadAcquire/WriteRelease family gives them; atomic, so ThreadSanitizer
// sees the order they promise.
#define WINSIM_READ_WRITE(Suffix, Type)                                                              \
    FORCEINLINE Type Read##Suffix##Acquire(Type const volatile* p) { return __atomic_load_n(p, __ATOMIC_ACQUIRE); } \
    FORCEINLINE Type Read##Suffix##NoFence(Type const volatile* p) { return __atomic_load_n(p, __ATOMIC_RELAXED); } \
    FORCEINLINE VOID Write##Suffix##Release(Type volatile* p, Type v) { __atomic_store_n(p, v, __ATOMIC_RELEASE); } \
    FORCEINLINE VOID Write##Suffix##NoFence(Type volatile* p, Type v) { __atomic_store_n(p, v, __ATOMIC_RELAXED); }
WINSIM_READ_WRITE(, LONG)
WINSIM_READ_WRITE(ULong, ULONG)
WINSIM_READ_WRITE(UChar, UCHAR)
WINSIM_READ_WRITE(Pointer, PVOID)
#undef WINSIM_READ_WRITE
FORCEINLINE LONG64 ReadAcquire64(LONG64 const volatile* p) { return __atomic_load_n(p, __ATOMIC_ACQUIRE); }
FORCEINLINE LONG64 ReadNoFence64(LONG64 const volatile* p) { return __atomic_load_n(p, __ATOMIC_RELAXED); }
FORCEINLINE VOID WriteRelease64(LONG64 volatile* p, LONG64 v) { __atomic_store_n(p, v, __ATOMIC_RELEASE); }
FORCEINLINE VOID WriteNoFence64(LONG64 volatile* p, LONG64 v) { __atomic_store_n(p, v, __ATOMIC_RELAXED); }
