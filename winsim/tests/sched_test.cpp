// The dispatcher and the virtual clock.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <limits>
#include <string>
#include <thread>

#include "sched/scheduler.h"
#include "verifier/verifier.h"
#include "virtual_time_test.h"

namespace winsim {
namespace {

LARGE_INTEGER Relative(Ticks ticks)
{
    LARGE_INTEGER t;
    t.QuadPart = -ticks;
    return t;
}

using SchedulerTest = VirtualTimeTest;

TEST_F(SchedulerTest, TimeoutOnSilentEventTakesVirtualNotRealTime)
{
    KEVENT event;
    KeInitializeEvent(&event, NotificationEvent, FALSE);
    auto realStart = std::chrono::steady_clock::now();
    Ticks start = Now();
    LARGE_INTEGER timeout = Relative(500 * kTicksPerMillisecond);
    EXPECT_EQ(KeWaitForSingleObject(&event, Executive, KernelMode, FALSE, &timeout), STATUS_TIMEOUT);
    EXPECT_EQ(Now() - start, 500 * kTicksPerMillisecond);
    // A real 500 ms wait would show; the jump takes next to nothing.
    EXPECT_LT(std::chrono::steady_clock::now() - realStart, std::chrono::milliseconds(400));
}

TEST_F(SchedulerTest, PingPongBetweenThreadsKeepsTheClockStill)
{
    KEVENT ping, pong;
    KeInitializeEvent(&ping, SynchronizationEvent, FALSE);
    KeInitializeEvent(&pong, SynchronizationEvent, FALSE);
    Ticks start = Now();
    Thread partner = Scheduler::Instance().Spawn("partner", [&] {
        for (int i = 0; i < 1000; ++i) {
            KeWaitForSingleObject(&ping, Executive, KernelMode, FALSE, nullptr);
            KeSetEvent(&pong, 0, FALSE);
        }
    });
    for (int i = 0; i < 1000; ++i) {
        KeSetEvent(&ping, 0, FALSE);
        // A time-out far away must never be reached while the partner answers.
        LARGE_INTEGER timeout = Relative(10 * kTicksPerSecond);
        ASSERT_EQ(KeWaitForSingleObject(&pong, Executive, KernelMode, FALSE, &timeout), STATUS_WAIT_0);
    }
    partner.Join();
    EXPECT_EQ(Now(), start);
}

struct TimerCount {
    std::atomic<int> fired{0};
    std::atomic<int> wrongIrql{0};
};

void CountingDpc(PKDPC, PVOID context, PVOID, PVOID)
{
    auto* count = static_cast<TimerCount*>(context);
    if (KeGetCurrentIrql() != DISPATCH_LEVEL) count->wrongIrql++;
    count->fired++;
}

TEST_F(SchedulerTest, PeriodicTimerFiresOncePerPeriodAtDispatchLevel)
{
    KTIMER timer;
    KDPC dpc;
    TimerCount count;
    KeInitializeTimer(&timer);
    KeInitializeDpc(&dpc, CountingDpc, &count);
    KeSetTimerEx(&timer, Relative(500 * kTicksPerMillisecond), 500, &dpc);
    LARGE_INTEGER interval = Relative(5 * kTicksPerSecond);
    KeDelayExecutionThread(KernelMode, FALSE, &interval);
    KeFlushQueuedDpcs();
    // Expiries at 0.5 s, 1.0 s, ... 5.0 s.
    EXPECT_EQ(count.fired.load(), 10);
    EXPECT_EQ(count.wrongIrql.load(), 0);
    EXPECT_TRUE(KeCancelTimer(&timer));
    EXPECT_FALSE(KeCancelTimer(&timer));
}

// Where and how a DPC ran.
struct DpcRecord {
    int runs = 0;
    KIRQL irql = PASSIVE_LEVEL;
    PKTHREAD thread = nullptr;
    KDPC* chained = nullptr;  // queued by the routine, if set
};

void RecordingDpc(PKDPC, PVOID context, PVOID, PVOID)
{
    auto* record = static_cast<DpcRecord*>(context);
    record->runs++;
    record->irql = KeGetCurrentIrql();
    record->thread = KeGetCurrentThread();
    if (record->chained != nullptr) KeInsertQueueDpc(record->chained, nullptr, nullptr);
}

TEST_F(SchedulerTest, DpcQueuedAtDispatchLevelRunsOnTheQueuingThreadOnceItsIrqlDrops)
{
    DpcRecord record;
    KDPC dpc;
    KeInitializeDpc(&dpc, RecordingDpc, &record);
    KIRQL old;
    KeRaiseIrql(DISPATCH_LEVEL, &old);
    EXPECT_TRUE(KeInsertQueueDpc(&dpc, nullptr, nullptr));
    EXPECT_FALSE(KeInsertQueueDpc(&dpc, nullptr, nullptr));  // already queued
    EXPECT_EQ(record.runs, 0);
    EXPECT_TRUE(Scheduler::Instance().DeferredWorkPending());
    KeLowerIrql(APC_LEVEL);
    EXPECT_EQ(record.runs, 1);
    EXPECT_EQ(record.irql, DISPATCH_LEVEL);
    EXPECT_EQ(record.thread, KeGetCurrentThread());
    EXPECT_EQ(KeGetCurrentIrql(), APC_LEVEL);
    KeLowerIrql(old);
    EXPECT_FALSE(Scheduler::Instance().DeferredWorkPending());
}

TEST_F(SchedulerTest, DpcQueuedBelowDispatchLevelHasRunWhenTheInsertReturns)
{
    DpcRecord record;
    KDPC dpc;
    KeInitializeDpc(&dpc, RecordingDpc, &record);
    EXPECT_TRUE(KeInsertQueueDpc(&dpc, nullptr, nullptr));
    EXPECT_EQ(record.runs, 1);
    EXPECT_EQ(record.irql, DISPATCH_LEVEL);
    EXPECT_EQ(KeGetCurrentIrql(), PASSIVE_LEVEL);
    // Run, it may be queued again.
    EXPECT_TRUE(KeInsertQueueDpc(&dpc, nullptr, nullptr));
    EXPECT_EQ(record.runs, 2);
}

TEST_F(SchedulerTest, DpcQueuedByADpcRunsBeforeTheIrqlDrops)
{
    DpcRecord first;
    DpcRecord second;
    KDPC firstDpc;
    KDPC secondDpc;
    KeInitializeDpc(&firstDpc, RecordingDpc, &first);
    KeInitializeDpc(&secondDpc, RecordingDpc, &second);
    first.chained = &secondDpc;
    KIRQL old;
    KeRaiseIrql(DISPATCH_LEVEL, &old);
    KeInsertQueueDpc(&firstDpc, nullptr, nullptr);
    KeLowerIrql(old);
    EXPECT_EQ(first.runs, 1);
    EXPECT_EQ(second.runs, 1);
    EXPECT_EQ(second.irql, DISPATCH_LEVEL);
    EXPECT_EQ(second.thread, KeGetCurrentThread());
}

TEST_F(SchedulerTest, DpcRemovedFromAThreadsQueueNeverRuns)
{
    DpcRecord record;
    KDPC dpc;
    KeInitializeDpc(&dpc, RecordingDpc, &record);
    KIRQL old;
    KeRaiseIrql(DISPATCH_LEVEL, &old);
    KeInsertQueueDpc(&dpc, nullptr, nullptr);
    EXPECT_TRUE(KeRemoveQueueDpc(&dpc));
    EXPECT_FALSE(KeRemoveQueueDpc(&dpc));
    EXPECT_FALSE(Scheduler::Instance().DeferredWorkPending());
    KeLowerIrql(old);
    EXPECT_EQ(record.runs, 0);
    KeFlushQueuedDpcs();  // nothing queued anywhere: returns
}

TEST_F(SchedulerTest, DpcQueuedOnAnotherThreadIsFlushedOnceThatThreadLowersItsIrql)
{
    DpcRecord record;
    KDPC dpc;
    KeInitializeDpc(&dpc, RecordingDpc, &record);
    KEVENT queued;
    KEVENT lower;
    KeInitializeEvent(&queued, NotificationEvent, FALSE);
    KeInitializeEvent(&lower, NotificationEvent, FALSE);
    PKTHREAD queuer = nullptr;
    Thread other = Scheduler::Instance().Spawn("queuer", [&] {
        queuer = KeGetCurrentThread();
        KeWaitForSingleObject(&lower, Executive, KernelMode, FALSE, nullptr);
        KIRQL old;
        KeRaiseIrql(DISPATCH_LEVEL, &old);
        KeInsertQueueDpc(&dpc, nullptr, nullptr);
        // The flush below waits for the DPC however the threads interleave.
        KeSetEvent(&queued, 0, FALSE);
        KeLowerIrql(old);
    });
    KeSetEvent(&lower, 0, FALSE);
    KeWaitForSingleObject(&queued, Executive, KernelMode, FALSE, nullptr);
    KeFlushQueuedDpcs();
    EXPECT_EQ(record.runs, 1);
    EXPECT_EQ(record.thread, queuer);
    other.Join();
}

TEST_F(SchedulerTest, SynchronizationEventReleasesOneWaiterPerSignal)
{
    KEVENT gate;
    KeInitializeEvent(&gate, SynchronizationEvent, FALSE);
    std::atomic<int> passed{0};
    Thread a = Scheduler::Instance().Spawn("a", [&] {
        KeWaitForSingleObject(&gate, Executive, KernelMode, FALSE, nullptr);
        passed++;
    });
    Thread b = Scheduler::Instance().Spawn("b", [&] {
        KeWaitForSingleObject(&gate, Executive, KernelMode, FALSE, nullptr);
        passed++;
    });
    LARGE_INTEGER settle = Relative(kTicksPerMillisecond);
    KeDelayExecutionThread(KernelMode, FALSE, &settle);
    KeSetEvent(&gate, 0, FALSE);
    KeDelayExecutionThread(KernelMode, FALSE, &settle);
    EXPECT_EQ(passed.load(), 1);
    EXPECT_EQ(KeReadStateEvent(&gate), 0);  // consumed by the waiter
    KeSetEvent(&gate, 0, FALSE);
    a.Join();
    b.Join();
    EXPECT_EQ(passed.load(), 2);
}

TEST_F(SchedulerTest, MutexIsRecursiveForItsOwnerAndExcludesOthers)
{
    KMUTEX mutex;
    KeInitializeMutex(&mutex, 0);
    ASSERT_EQ(KeWaitForSingleObject(&mutex, Executive, KernelMode, FALSE, nullptr), STATUS_WAIT_0);
    ASSERT_EQ(KeWaitForSingleObject(&mutex, Executive, KernelMode, FALSE, nullptr), STATUS_WAIT_0);
    std::atomic<NTSTATUS> other{-1};
    Thread t = Scheduler::Instance().Spawn("other", [&] {
        LARGE_INTEGER timeout = Relative(10 * kTicksPerMillisecond);
        other = KeWaitForSingleObject(&mutex, Executive, KernelMode, FALSE, &timeout);
    });
    t.Join();
    EXPECT_EQ(other.load(), STATUS_TIMEOUT);
    KeReleaseMutex(&mutex, FALSE);
    EXPECT_EQ(KeReadStateMutex(&mutex), 0);  // still held once
    KeReleaseMutex(&mutex, FALSE);
    EXPECT_EQ(KeReadStateMutex(&mutex), 1);
}

TEST_F(SchedulerTest, WaitAllNeedsEveryObjectAndWaitAnyReportsWhich)
{
    KEVENT e[2];
    KeInitializeEvent(&e[0], NotificationEvent, FALSE);
    KeInitializeEvent(&e[1], NotificationEvent, TRUE);
    PVOID objects[2] = {&e[0], &e[1]};
    LARGE_INTEGER zero;
    zero.QuadPart = 0;
    EXPECT_EQ(KeWaitForMultipleObjects(2, objects, WaitAll, Executive, KernelMode, FALSE, &zero, nullptr),
              STATUS_TIMEOUT);
    EXPECT_EQ(KeWaitForMultipleObjects(2, objects, WaitAny, Executive, KernelMode, FALSE, &zero, nullptr),
              STATUS_WAIT_0 + 1);
    Thread setter = Scheduler::Instance().Spawn("setter", [&] {
        LARGE_INTEGER later = Relative(3 * kTicksPerMillisecond);
        KeDelayExecutionThread(KernelMode, FALSE, &later);
        KeSetEvent(&e[0], 0, FALSE);
    });
    Ticks start = Now();
    EXPECT_EQ(KeWaitForMultipleObjects(2, objects, WaitAll, Executive, KernelMode, FALSE, nullptr, nullptr),
              STATUS_WAIT_0);
    EXPECT_EQ(Now() - start, 3 * kTicksPerMillisecond);
    setter.Join();
}

struct WorkProbe {
    KEVENT done;
    KIRQL irql = HIGH_LEVEL;
};

void ProbeWork(void* context)
{
    auto* probe = static_cast<WorkProbe*>(context);
    probe->irql = KeGetCurrentIrql();
    KeSetEvent(&probe->done, 0, FALSE);
}

TEST_F(SchedulerTest, WorkItemsRunAtPassiveLevel)
{
    WorkProbe probe;
    KeInitializeEvent(&probe.done, NotificationEvent, FALSE);
    Scheduler::Instance().QueueWork(DelayedWorkQueue, ProbeWork, &probe);
    KeWaitForSingleObject(&probe.done, Executive, KernelMode, FALSE, nullptr);
    EXPECT_EQ(probe.irql, PASSIVE_LEVEL);
}

// Two items, the first queuing the second: where and when each ran.
struct WorkPair {
    KEVENT done;
    bool blockFirst = false;
    std::string firstThread;
    std::string secondThread;
    bool firstEnded = false;
    bool firstEndedBeforeSecond = false;
};

void SecondWork(void* context)
{
    auto* pair = static_cast<WorkPair*>(context);
    pair->secondThread = Scheduler::CurrentThreadName();
    pair->firstEndedBeforeSecond = pair->firstEnded;
    KeSetEvent(&pair->done, 0, FALSE);
}

void FirstWork(void* context)
{
    auto* pair = static_cast<WorkPair*>(context);
    pair->firstThread = Scheduler::CurrentThreadName();
    Scheduler::Instance().QueueWork(DelayedWorkQueue, SecondWork, pair);
    if (pair->blockFirst) {
        // Only another worker can run the second item now.
        KeWaitForSingleObject(&pair->done, Executive, KernelMode, FALSE, nullptr);
    }
    pair->firstEnded = true;
}

TEST_F(SchedulerTest, WorkQueuedWhileAWorkerRunsWaitsForItInsteadOfWakingAnother)
{
    Scheduler::Instance().Settle();  // both workers wait for work
    WorkPair pair;
    KeInitializeEvent(&pair.done, NotificationEvent, FALSE);
    Scheduler::Instance().QueueWork(DelayedWorkQueue, FirstWork, &pair);
    KeWaitForSingleObject(&pair.done, Executive, KernelMode, FALSE, nullptr);
    EXPECT_EQ(pair.secondThread, pair.firstThread);
    EXPECT_TRUE(pair.firstEndedBeforeSecond);
}

TEST_F(SchedulerTest, AWorkItemBlockedInAWaitLetsAnotherWorkerRunTheNext)
{
    Scheduler::Instance().Settle();
    WorkPair pair;
    pair.blockFirst = true;
    KeInitializeEvent(&pair.done, NotificationEvent, FALSE);
    Scheduler::Instance().QueueWork(DelayedWorkQueue, FirstWork, &pair);
    LARGE_INTEGER timeout = Relative(kTicksPerSecond);
    ASSERT_EQ(KeWaitForSingleObject(&pair.done, Executive, KernelMode, FALSE, &timeout), STATUS_WAIT_0);
    EXPECT_NE(pair.secondThread, pair.firstThread);
    EXPECT_FALSE(pair.firstEndedBeforeSecond);
    Scheduler::Instance().Settle();  // the first item goes on once the second is done
    EXPECT_TRUE(pair.firstEnded);
}

void NameWork(void* context)
{
    auto* pair = static_cast<WorkPair*>(context);
    (pair->firstThread.empty() ? pair->firstThread : pair->secondThread) = Scheduler::CurrentThreadName();
    KeSetEvent(&pair->done, 0, FALSE);
}

TEST_F(SchedulerTest, TheWorkerThatWaitedLastTakesTheNextItem)
{
    Scheduler::Instance().Settle();
    WorkPair pair;
    KeInitializeEvent(&pair.done, NotificationEvent, FALSE);
    for (int item = 0; item < 2; ++item) {
        KeClearEvent(&pair.done);
        Scheduler::Instance().QueueWork(DelayedWorkQueue, NameWork, &pair);
        KeWaitForSingleObject(&pair.done, Executive, KernelMode, FALSE, nullptr);
        Scheduler::Instance().Settle();  // the worker waits for work again
    }
    EXPECT_EQ(pair.secondThread, pair.firstThread);
}

TEST_F(SchedulerTest, AbsoluteTimeoutCountsFromSystemTime)
{
    KEVENT event;
    KeInitializeEvent(&event, NotificationEvent, FALSE);
    LARGE_INTEGER now;
    KeQuerySystemTime(&now);
    LARGE_INTEGER deadline;
    deadline.QuadPart = now.QuadPart + 2 * kTicksPerSecond;
    Ticks start = Now();
    EXPECT_EQ(KeWaitForSingleObject(&event, Executive, KernelMode, FALSE, &deadline), STATUS_TIMEOUT);
    EXPECT_EQ(Now() - start, 2 * kTicksPerSecond);
}

TEST_F(SchedulerTest, TimeOutsPastTheClocksEndEndAtItInsteadOfWrappingAround)
{
    KEVENT event;
    KeInitializeEvent(&event, NotificationEvent, FALSE);
    Scheduler::Instance().Sleep(kTicksPerSecond);
    LARGE_INTEGER longest;
    longest.QuadPart = -std::numeric_limits<LONGLONG>::max();
    EXPECT_EQ(KeWaitForSingleObject(&event, Executive, KernelMode, FALSE, &longest), STATUS_TIMEOUT);
    EXPECT_EQ(Now(), Scheduler::kClockEnd);
    EXPECT_EQ(Scheduler::Instance().ClockLeft(), 0);

    // At the end, relative and absolute time-outs are due at once.
    LARGE_INTEGER second = Relative(kTicksPerSecond);
    EXPECT_EQ(KeWaitForSingleObject(&event, Executive, KernelMode, FALSE, &second), STATUS_TIMEOUT);
    LARGE_INTEGER farthest;
    farthest.QuadPart = std::numeric_limits<LONGLONG>::max();
    EXPECT_EQ(KeWaitForSingleObject(&event, Executive, KernelMode, FALSE, &farthest), STATUS_TIMEOUT);
    EXPECT_EQ(Now(), Scheduler::kClockEnd);
    LARGE_INTEGER systemTime;
    KeQuerySystemTime(&systemTime);
    EXPECT_GT(systemTime.QuadPart, Scheduler::kClockEnd);
}

TEST_F(SchedulerTest, WaitingAtDispatchLevelIsAViolation)
{
    Verifier::Capture capture;
    KEVENT event;
    KeInitializeEvent(&event, NotificationEvent, FALSE);
    KIRQL old;
    KeRaiseIrql(DISPATCH_LEVEL, &old);
    LARGE_INTEGER timeout = Relative(kTicksPerMillisecond);
    KeWaitForSingleObject(&event, Executive, KernelMode, FALSE, &timeout);
    LARGE_INTEGER zero;
    zero.QuadPart = 0;
    // A zero time-out is a poll and allowed at DISPATCH_LEVEL.
    EXPECT_EQ(KeWaitForSingleObject(&event, Executive, KernelMode, FALSE, &zero), STATUS_TIMEOUT);
    KeLowerIrql(old);
    ASSERT_EQ(capture.Reports().size(), 1u);
    EXPECT_EQ(capture.Reports()[0].rule, "wait at DISPATCH_LEVEL with a non-zero time-out");
}

TEST_F(SchedulerTest, WaitingForeverWithNothingToWakeIsReportedAsAHang)
{
    Verifier::Capture capture;
    KEVENT never;
    KeInitializeEvent(&never, NotificationEvent, FALSE);
    Thread stuck = Scheduler::Instance().Spawn("stuck", [&] {
        KeWaitForSingleObject(&never, Executive, KernelMode, FALSE, nullptr);
    });
    LARGE_INTEGER interval = Relative(kTicksPerMillisecond);
    KeDelayExecutionThread(KernelMode, FALSE, &interval);
    // The test thread is about to block forever too: nothing is left to run.
    std::thread releaser([&] {
        while (!capture.Saw("simulation hang")) std::this_thread::yield();
        KeSetEvent(&never, 0, FALSE);
    });
    KeWaitForSingleObject(&never, Executive, KernelMode, FALSE, nullptr);
    releaser.join();
    stuck.Join();
    EXPECT_TRUE(capture.Saw("simulation hang"));
}

TEST_F(SchedulerTest, SettleRunsEveryRunnableThreadWithoutMovingTheClock)
{
    std::atomic<int> steps{0};
    KEVENT never;
    KeInitializeEvent(&never, NotificationEvent, FALSE);
    Thread worker = Scheduler::Instance().Spawn("worker", [&] {
        for (int i = 0; i < 100; ++i) steps++;
        LARGE_INTEGER later = Relative(kTicksPerSecond);
        KeWaitForSingleObject(&never, Executive, KernelMode, FALSE, &later);
        steps++;
    });
    Ticks start = Now();
    Scheduler::Instance().Settle();
    // The worker has run up to its wait; its time-out is still ahead.
    EXPECT_EQ(steps.load(), 100);
    EXPECT_EQ(Now(), start);
    worker.Join();
    EXPECT_EQ(steps.load(), 101);
    EXPECT_EQ(Now() - start, kTicksPerSecond);
}

// A thread that waits for `go`, then sets `ran`.
struct Readied {
    KEVENT go;
    KEVENT ran;
    Thread thread;

    explicit Readied(const char* name)
    {
        KeInitializeEvent(&go, NotificationEvent, FALSE);
        KeInitializeEvent(&ran, NotificationEvent, FALSE);
        thread = Scheduler::Instance().Spawn(name, [this] {
            KeWaitForSingleObject(&go, Executive, KernelMode, FALSE, nullptr);
            KeSetEvent(&ran, 0, FALSE);
        });
    }

    // Gives the thread, were it let go, every chance to run meanwhile.
    bool RanWhileYielding()
    {
        for (int i = 0; i < 2000; ++i) {
            if (KeReadStateEvent(&ran) != 0) return true;
            std::this_thread::yield();
        }
        return KeReadStateEvent(&ran) != 0;
    }

    bool RunsToTheEnd()
    {
        LARGE_INTEGER timeout = Relative(kTicksPerSecond);
        return KeWaitForSingleObject(&ran, Executive, KernelMode, FALSE, &timeout) == STATUS_WAIT_0;
    }
};

TEST_F(SchedulerTest, ThreadsReadiedUnderAHoldStartOnlyWhenTheOutermostHoldEnds)
{
    Readied first("first");
    Readied second("second");
    Scheduler::Instance().Settle();  // both wait for their go
    {
        const Scheduler::HeldWakes outer;
        KeSetEvent(&first.go, 0, FALSE);
        {
            const Scheduler::HeldWakes inner;
            KeSetEvent(&second.go, 0, FALSE);
        }
        EXPECT_FALSE(first.RanWhileYielding());
        EXPECT_FALSE(second.RanWhileYielding());
    }
    EXPECT_TRUE(first.RunsToTheEnd());
    EXPECT_TRUE(second.RunsToTheEnd());
}

TEST_F(SchedulerTest, AThreadBlockingUnderAHoldLetsItsHeldThreadsGoAndHoldsAgainAfterwards)
{
    Readied awaited("awaited");
    Readied later("later");
    Scheduler::Instance().Settle();
    {
        const Scheduler::HeldWakes hold;
        KeSetEvent(&awaited.go, 0, FALSE);
        // Waiting for the held thread must not wait forever.
        EXPECT_TRUE(awaited.RunsToTheEnd());
        KeSetEvent(&later.go, 0, FALSE);
        EXPECT_FALSE(later.RanWhileYielding());
    }
    EXPECT_TRUE(later.RunsToTheEnd());
}

TEST_F(SchedulerTest, SpinLockRaisesToDispatchAndRestores)
{
    KSPIN_LOCK lock;
    KeInitializeSpinLock(&lock);
    KIRQL old;
    KeAcquireSpinLock(&lock, &old);
    EXPECT_EQ(KeGetCurrentIrql(), DISPATCH_LEVEL);
    EXPECT_EQ(old, PASSIVE_LEVEL);
    KeReleaseSpinLock(&lock, old);
    EXPECT_EQ(KeGetCurrentIrql(), PASSIVE_LEVEL);
}

}  // namespace
}  // namespace winsim
