// The scheduler's shared state, for its own source files only: the
// simulation threads, the lock that guards them, the timers and the deferred
// work queues.
#pragma once

#include "sched/host_processor.h"
#include "sched/scheduler.h"
#include "sched/wakeup.h"

#include <atomic>
#include <chrono>
#include <deque>
#include <set>
#include <utility>
#include <vector>

namespace winsim {

constexpr ULONG kMaximumWaitObjects = 64;

struct WaitBlock {
    LIST_ENTRY link;
    SimThread* thread;
    DISPATCHER_HEADER* object;
    ULONG index;
};

struct SimThread {
    std::string name;
    bool daemon = false;
    KIRQL irql = PASSIVE_LEVEL;
    // Released once by whoever satisfies the wait; the woken thread goes on
    // without the scheduler's lock, so waking costs one switch, not two.
    Wakeup wake;
    bool waiting = false;
    bool satisfied = false;
    NTSTATUS status = STATUS_SUCCESS;
    WAIT_TYPE waitType = WaitAny;
    ULONG count = 0;
    WaitBlock blocks[kMaximumWaitObjects] = {};
    bool timed = false;
    Ticks deadline = 0;
    // DPCs queued on this thread's processor at DISPATCH_LEVEL, under the
    // scheduler's lock; they run when the thread's IRQL drops below it. The
    // count lets the thread look without the lock.
    std::deque<KDPC*> dpcs;
    std::atomic<int> dpcsQueued{0};
    // A system worker running a work item: while it is not blocked it
    // counts among the active workers.
    bool runsWork = false;
    // While the thread holds its wakes (Scheduler::HeldWakes), the threads
    // it readies are let go when the hold ends or the thread blocks. Only
    // the thread itself touches these.
    int wakeHolds = 0;
    std::vector<SimThread*> heldWakes;
    // What the thread readied under the scheduler's lock, while it lets
    // them go after releasing it (SchedulerLock::unlock).
    std::vector<SimThread*> releasing;
    // Where the thread runs while it belongs to the simulation.
    HostProcessor processor;
};

// The scheduler's lock. A thread whose wait was satisfied under it runs
// only once it is released, as the dispatcher lock keeps a readied thread
// from running on Windows: the waker may still be touching the object it
// signalled, an event on the waiter's stack for instance.
class SchedulerLock {
public:
    SchedulerLock(std::mutex& mutex, std::vector<SimThread*>& woken) : mutex_(mutex), woken_(woken) { lock(); }
    ~SchedulerLock()
    {
        if (owned_) unlock();
    }
    SchedulerLock(const SchedulerLock&) = delete;
    SchedulerLock& operator=(const SchedulerLock&) = delete;

    void lock()
    {
        mutex_.lock();
        owned_ = true;
    }
    void unlock()
    {
        // The list changes places with the simulation thread's own empty
        // one, so that neither side allocates again for the next wake; a
        // foreign host thread takes it into a local one.
        SimThread* self = Scheduler::CurrentThread();
        std::vector<SimThread*> foreign;
        std::vector<SimThread*>& woken = self != nullptr ? self->releasing : foreign;
        woken.swap(woken_);
        owned_ = false;
        mutex_.unlock();
        if (self != nullptr && self->wakeHolds > 0) {
            self->heldWakes.insert(self->heldWakes.end(), woken.begin(), woken.end());
        } else {
            // Blocked in Acquire until now, none of them can have gone.
            for (SimThread* t : woken) t->wake.Release();
        }
        woken.clear();
    }

private:
    std::mutex& mutex_;
    std::vector<SimThread*>& woken_;
    bool owned_ = false;
};

// Where a waiter joins an object's wait list: behind those already there,
// or in front of them (the system workers, as on a kernel queue: the worker
// that waited last is woken first, its stack and cache still warm).
enum class WaitPlace { Behind, InFront };

struct WorkEntry {
    void (*routine)(void*);
    void* context;
};

struct Scheduler::State {
    std::mutex lock;
    ClockMode mode = ClockMode::Virtual;
    bool booted = false;
    bool stopping = false;
    std::atomic<Ticks> now{0};
    std::chrono::steady_clock::time_point realBoot;
    LONGLONG systemTimeAtBoot = 0;
    // Chosen at boot; every thread of the simulation runs there.
    HostProcessor processor;

    int running = 0;            // threads of the simulation not blocked in a wait
    int nonDaemonThreads = 0;   // the clock only moves while one of these exists
    std::set<SimThread*> threads;
    std::set<std::pair<Ticks, SimThread*>> timedWaits;
    std::set<std::pair<Ticks, KTIMER*>> timers;

    std::deque<KDPC*> dpcQueue;
    int dpcsRunning = 0;
    int dpcsOnThreads = 0;  // queued on simulation threads' own processors
    KEVENT dpcReady{};
    KEVENT dpcIdle{};

    std::deque<WorkEntry> work;
    int workRunning = 0;
    int workersActive = 0;       // running an item and not blocked in a wait
    bool workerSummoned = false;  // workReady set for an item, not yet taken
    KEVENT workReady{};

    std::vector<Thread> systemThreads;
    std::condition_variable_any clockCv;
    // Threads whose wait was satisfied under the lock; let go at its release.
    std::vector<SimThread*> woken;
    std::thread clockThread;

    // clock.cpp
    void StartClock(ClockMode clockMode);
    void RunRealTimeClock();

    // dpc_queue.cpp, work_queue.cpp: the bodies of the system threads.
    void RunDpcProcessor();
    void RunWorker();

    // --- everything below runs with `lock` held ---

    // dispatcher_objects.cpp
    void SignalObject(DISPATCHER_HEADER* h);
    void Wake(SimThread* t, NTSTATUS status);
    // Returns with the lock taken again only when asked to: a thread that
    // has nothing more to do under it saves a round of contention.
    NTSTATUS BlockLocked(SchedulerLock& lk, SimThread* t, bool relock);
    NTSTATUS WaitLocked(SchedulerLock& lk, SimThread* t, ULONG count, PVOID objects[], WAIT_TYPE waitType,
                        const LARGE_INTEGER* timeout, bool relock = true,
                        WaitPlace place = WaitPlace::Behind);

    // clock.cpp
    Ticks CurrentTicks() const;
    void InsertTimerLocked(KTIMER* timer, Ticks due);
    void ExpireLocked(Ticks at);
    // Virtual clock: while nothing can run, jump to the next deadline.
    void AdvanceLocked();
    void ReportHang();

    // dpc_queue.cpp
    bool InsertDpcLocked(KDPC* dpc, PVOID arg1, PVOID arg2);
    // Queued on the thread's own processor instead of the shared queue.
    bool InsertThreadDpcLocked(SimThread* t, KDPC* dpc, PVOID arg1, PVOID arg2);
    // Runs one DPC at DISPATCH_LEVEL with the lock let go meanwhile.
    void RunDpcLocked(SchedulerLock& lk, KDPC* dpc);
    // Runs the DPCs queued on the thread's processor, those they queue too.
    void RunThreadDpcsLocked(SchedulerLock& lk, SimThread* t);
    void SignalDpcIdleIfQuiet();

    // work_queue.cpp
    // Wakes a waiting worker for queued work when no worker is active.
    void SummonWorkerLocked();

    // threads.cpp
    SimThread* Register(std::string name, bool daemon);
    void Unregister(SimThread* t);
};

}  // namespace winsim
