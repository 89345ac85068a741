#include "sched/scheduler.h"

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <semaphore>
#include <set>
#include <utility>
#include <vector>

#include "verifier/verifier.h"

namespace winsim {

namespace {

constexpr ULONG kMaximumWaitObjects = 64;
constexpr int kDpcProcessors = 2;
constexpr int kWorkersPerQueue = 2;

// 2026-01-01 00:00:00 UTC in 100 ns units since 1601: the virtual machine's
// boot time, so that every run sees the same system time.
constexpr LONGLONG kVirtualBootSystemTime = 134'115'552'000'000'000LL;
// Seconds between 1601-01-01 and 1970-01-01.
constexpr LONGLONG kEpochDifferenceSeconds = 11'644'473'600LL;

struct WaitBlock {
    LIST_ENTRY link;
    SimThread* thread;
    DISPATCHER_HEADER* object;
    ULONG index;
};

void InitializeListHead(LIST_ENTRY* head) { head->Flink = head->Blink = head; }

void InsertTailList(LIST_ENTRY* head, LIST_ENTRY* entry)
{
    entry->Flink = head;
    entry->Blink = head->Blink;
    head->Blink->Flink = entry;
    head->Blink = entry;
}

void RemoveEntryList(LIST_ENTRY* entry)
{
    entry->Blink->Flink = entry->Flink;
    entry->Flink->Blink = entry->Blink;
    entry->Flink = entry->Blink = entry;
}

bool IsSynchronization(const DISPATCHER_HEADER* h)
{
    return h->Type == kObjectSynchronizationEvent || h->Type == kObjectSynchronizationTimer;
}

struct WorkEntry {
    void (*routine)(void*);
    void* context;
};

thread_local SimThread* t_current = nullptr;
thread_local KIRQL t_hostIrql = PASSIVE_LEVEL;

}  // namespace

struct SimThread {
    std::string name;
    bool daemon = false;
    KIRQL irql = PASSIVE_LEVEL;
    // Released once by whoever satisfies the wait; the woken thread goes on
    // without the scheduler's lock, so waking costs one switch, not two.
    std::binary_semaphore wake{0};
    bool waiting = false;
    bool satisfied = false;
    NTSTATUS status = STATUS_SUCCESS;
    WAIT_TYPE waitType = WaitAny;
    ULONG count = 0;
    WaitBlock blocks[kMaximumWaitObjects] = {};
    bool timed = false;
    Ticks deadline = 0;
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
        std::vector<SimThread*> woken;
        woken.swap(woken_);
        owned_ = false;
        mutex_.unlock();
        // Blocked on its semaphore until now, none of them can have gone.
        for (SimThread* t : woken) t->wake.release();
    }

private:
    std::mutex& mutex_;
    std::vector<SimThread*>& woken_;
    bool owned_ = false;
};

struct Scheduler::State {
    std::mutex lock;
    ClockMode mode = ClockMode::Virtual;
    bool booted = false;
    bool stopping = false;
    std::atomic<Ticks> now{0};
    std::chrono::steady_clock::time_point realBoot;
    LONGLONG systemTimeAtBoot = kVirtualBootSystemTime;

    int running = 0;            // threads of the simulation not blocked in a wait
    int nonDaemonThreads = 0;   // the clock only moves while one of these exists
    std::set<SimThread*> threads;
    std::set<std::pair<Ticks, SimThread*>> timedWaits;
    std::set<std::pair<Ticks, KTIMER*>> timers;

    std::deque<KDPC*> dpcQueue;
    int dpcsRunning = 0;
    KEVENT dpcReady{};
    KEVENT dpcIdle{};

    std::deque<WorkEntry> work;
    int workRunning = 0;
    KEVENT workReady{};

    std::vector<Thread> systemThreads;
    std::condition_variable_any clockCv;
    // Threads whose wait was satisfied under the lock; let go at its release.
    std::vector<SimThread*> woken;
    std::thread clockThread;

    // --- everything below runs with `lock` held ---

    bool IsSignaled(const DISPATCHER_HEADER* h, const SimThread* t) const
    {
        if (h->Type == kObjectMutant) {
            auto* m = CONTAINING_RECORD(h, KMUTANT, Header);
            return h->SignalState > 0 || m->OwnerThread == reinterpret_cast<PKTHREAD>(const_cast<SimThread*>(t));
        }
        return h->SignalState > 0;
    }

    void Consume(DISPATCHER_HEADER* h, SimThread* t)
    {
        if (h->Type == kObjectMutant) {
            auto* m = CONTAINING_RECORD(h, KMUTANT, Header);
            h->SignalState--;
            m->OwnerThread = reinterpret_cast<PKTHREAD>(t);
        } else if (IsSynchronization(h)) {
            h->SignalState = 0;
        }
    }

    bool TrySatisfy(SimThread* t, ULONG hitIndex, NTSTATUS* status)
    {
        if (t->waitType == WaitAny) {
            DISPATCHER_HEADER* h = t->blocks[hitIndex].object;
            if (!IsSignaled(h, t)) return false;
            Consume(h, t);
            *status = static_cast<NTSTATUS>(STATUS_WAIT_0 + hitIndex);
            return true;
        }
        for (ULONG i = 0; i < t->count; ++i) {
            if (!IsSignaled(t->blocks[i].object, t)) return false;
        }
        for (ULONG i = 0; i < t->count; ++i) Consume(t->blocks[i].object, t);
        *status = STATUS_WAIT_0;
        return true;
    }

    void Wake(SimThread* t, NTSTATUS status)
    {
        for (ULONG i = 0; i < t->count; ++i) RemoveEntryList(&t->blocks[i].link);
        if (t->timed) timedWaits.erase({t->deadline, t});
        t->timed = false;
        t->waiting = false;
        t->satisfied = true;
        t->status = status;
        running++;
        woken.push_back(t);
    }

    void SignalObject(DISPATCHER_HEADER* h)
    {
        LIST_ENTRY* entry = h->WaitListHead.Flink;
        while (entry != &h->WaitListHead && h->SignalState > 0) {
            LIST_ENTRY* next = entry->Flink;
            auto* block = CONTAINING_RECORD(entry, WaitBlock, link);
            NTSTATUS status;
            if (block->thread->waiting && TrySatisfy(block->thread, block->index, &status)) {
                Wake(block->thread, status);
                // Waking unlinks the thread's blocks; restart from the head.
                next = h->WaitListHead.Flink;
            }
            entry = next;
        }
    }

    Ticks CurrentTicks() const
    {
        if (mode == ClockMode::RealTime) {
            auto elapsed = std::chrono::steady_clock::now() - realBoot;
            return std::chrono::duration_cast<std::chrono::nanoseconds>(elapsed).count() / 100;
        }
        return now.load(std::memory_order_acquire);
    }

    void InsertTimerLocked(KTIMER* timer, Ticks due)
    {
        timer->DueTime.QuadPart = static_cast<ULONGLONG>(due);
        timer->Header.Reserved = 1;  // inserted
        timers.insert({due, timer});
        clockCv.notify_one();
    }

    bool InsertDpcLocked(KDPC* dpc, PVOID arg1, PVOID arg2)
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

    void ExpireLocked(Ticks at)
    {
        while (!timers.empty() && timers.begin()->first <= at) {
            KTIMER* timer = timers.begin()->second;
            timers.erase(timers.begin());
            timer->Header.Reserved = 0;
            timer->Header.SignalState = 1;
            SignalObject(&timer->Header);
            if (timer->Period > 0) {
                InsertTimerLocked(timer, static_cast<Ticks>(timer->DueTime.QuadPart) +
                                             timer->Period * kTicksPerMillisecond);
            }
            if (timer->Dpc != nullptr) InsertDpcLocked(timer->Dpc, nullptr, nullptr);
        }
        while (!timedWaits.empty() && timedWaits.begin()->first <= at) {
            Wake(timedWaits.begin()->second, STATUS_TIMEOUT);
        }
    }

    // Virtual clock: while nothing can run, jump to the next deadline.
    void AdvanceLocked()
    {
        if (mode != ClockMode::Virtual) return;
        while (running == 0 && nonDaemonThreads > 0 && !stopping) {
            Ticks next = -1;
            if (!timers.empty()) next = timers.begin()->first;
            if (!timedWaits.empty() && (next < 0 || timedWaits.begin()->first < next)) {
                next = timedWaits.begin()->first;
            }
            if (next < 0) {
                ReportHang();
                return;
            }
            if (next > now.load()) now.store(next, std::memory_order_release);
            ExpireLocked(now.load());
        }
    }

    void ReportHang()
    {
        std::string waiting;
        for (SimThread* t : threads) {
            if (t->waiting && !t->daemon) waiting += " '" + t->name + "'";
        }
        if (waiting.empty()) return;
        Verifier::Violation(ViolationCode::kSimulationHang, "simulation hang",
                            ("every thread waits forever and no timer is set; blocked:" + waiting).c_str());
    }

    // Returns with the lock taken again only when asked to: a thread that
    // has nothing more to do under it saves a round of contention.
    NTSTATUS BlockLocked(SchedulerLock& lk, SimThread* t, bool relock)
    {
        t->waiting = true;
        t->satisfied = false;
        running--;
        if (running == 0) AdvanceLocked();
        lk.unlock();
        t->wake.acquire();
        if (relock) lk.lock();
        return t->status;
    }

    NTSTATUS WaitLocked(SchedulerLock& lk, SimThread* t, ULONG count, PVOID objects[],
                        WAIT_TYPE waitType, const LARGE_INTEGER* timeout, bool relock = true)
    {
        t->waitType = waitType;
        t->count = count;
        for (ULONG i = 0; i < count; ++i) {
            t->blocks[i].thread = t;
            t->blocks[i].object = static_cast<DISPATCHER_HEADER*>(objects[i]);
            t->blocks[i].index = i;
        }
        // Already satisfied?
        NTSTATUS status;
        if (waitType == WaitAll) {
            if (TrySatisfy(t, 0, &status)) return status;
        } else {
            for (ULONG i = 0; i < count; ++i) {
                if (TrySatisfy(t, i, &status)) return status;
            }
        }
        Ticks deadline = 0;
        if (timeout != nullptr) {
            if (timeout->QuadPart == 0) return STATUS_TIMEOUT;
            deadline = DeadlineFromTimeout(*timeout);
            if (deadline <= CurrentTicks()) return STATUS_TIMEOUT;
        }
        t->count = count;
        for (ULONG i = 0; i < count; ++i) {
            InsertTailList(&t->blocks[i].object->WaitListHead, &t->blocks[i].link);
        }
        t->timed = timeout != nullptr;
        t->deadline = deadline;
        if (t->timed) {
            timedWaits.insert({deadline, t});
            clockCv.notify_one();
        }
        return BlockLocked(lk, t, relock);
    }

    SimThread* Register(std::string name, bool daemon)
    {
        auto* t = new SimThread;
        t->name = std::move(name);
        t->daemon = daemon;
        threads.insert(t);
        running++;
        if (!daemon) nonDaemonThreads++;
        return t;
    }

    void Unregister(SimThread* t)
    {
        threads.erase(t);
        running--;
        if (!t->daemon) nonDaemonThreads--;
        delete t;
        if (running == 0) AdvanceLocked();
    }
};

Scheduler& Scheduler::Instance()
{
    static Scheduler instance;
    return instance;
}

Ticks DeadlineFromTimeout(const LARGE_INTEGER& timeout)
{
    Scheduler& s = Scheduler::Instance();
    if (timeout.QuadPart < 0) return s.Now() - timeout.QuadPart;
    return timeout.QuadPart - (s.SystemTime() - s.Now());
}

SimThread* Scheduler::CurrentThread() { return t_current; }

KIRQL Scheduler::CurrentIrql() { return t_current != nullptr ? t_current->irql : t_hostIrql; }

void Scheduler::SetCurrentIrql(KIRQL irql)
{
    if (t_current != nullptr) {
        t_current->irql = irql;
    } else {
        t_hostIrql = irql;
    }
}

const char* Scheduler::CurrentThreadName() { return t_current != nullptr ? t_current->name.c_str() : "host"; }

bool Scheduler::Booted() const { return state_ != nullptr && state_->booted; }

ClockMode Scheduler::Mode() const { return state_->mode; }

Ticks Scheduler::Now() const { return state_ != nullptr ? state_->CurrentTicks() : 0; }

LONGLONG Scheduler::SystemTime() const { return state_->systemTimeAtBoot + Now(); }

void Scheduler::Boot(ClockMode mode)
{
    if (state_ != nullptr) Shutdown();
    state_ = new State;
    State& s = *state_;
    s.mode = mode;
    s.realBoot = std::chrono::steady_clock::now();
    if (mode == ClockMode::RealTime) {
        auto sinceUnix = std::chrono::system_clock::now().time_since_epoch();
        s.systemTimeAtBoot = std::chrono::duration_cast<std::chrono::nanoseconds>(sinceUnix).count() / 100 +
                             kEpochDifferenceSeconds * kTicksPerSecond;
    }
    InitializeObject(&s.dpcReady.Header, kObjectSynchronizationEvent, 0);
    InitializeObject(&s.dpcIdle.Header, kObjectNotificationEvent, 1);
    InitializeObject(&s.workReady.Header, kObjectSynchronizationEvent, 0);
    s.booted = true;

    for (int cpu = 0; cpu < kDpcProcessors; ++cpu) {
        s.systemThreads.push_back(Spawn("dpc" + std::to_string(cpu), [this] {
            State& st = *state_;
            SchedulerLock lk(st.lock, st.woken);
            for (;;) {
                while (st.dpcQueue.empty() && !st.stopping) {
                    PVOID object = &st.dpcReady;
                    st.WaitLocked(lk, t_current, 1, &object, WaitAny, nullptr);
                }
                if (st.stopping) return;
                KDPC* dpc = st.dpcQueue.front();
                st.dpcQueue.pop_front();
                if (!st.dpcQueue.empty()) {
                    st.dpcReady.Header.SignalState = 1;
                    st.SignalObject(&st.dpcReady.Header);
                }
                dpc->DpcData = nullptr;
                st.dpcsRunning++;
                PVOID a1 = dpc->SystemArgument1;
                PVOID a2 = dpc->SystemArgument2;
                lk.unlock();
                SetCurrentIrql(DISPATCH_LEVEL);
                dpc->DeferredRoutine(dpc, dpc->DeferredContext, a1, a2);
                Verifier::CheckIrqlAfterCallback(DISPATCH_LEVEL, "DPC routine");
                SetCurrentIrql(PASSIVE_LEVEL);
                lk.lock();
                st.dpcsRunning--;
                if (st.dpcQueue.empty() && st.dpcsRunning == 0) {
                    st.dpcIdle.Header.SignalState = 1;
                    st.SignalObject(&st.dpcIdle.Header);
                }
            }
        }, true));
    }
    for (int worker = 0; worker < kWorkersPerQueue; ++worker) {
        s.systemThreads.push_back(Spawn("worker" + std::to_string(worker), [this] {
            State& st = *state_;
            SchedulerLock lk(st.lock, st.woken);
            for (;;) {
                while (st.work.empty() && !st.stopping) {
                    PVOID object = &st.workReady;
                    st.WaitLocked(lk, t_current, 1, &object, WaitAny, nullptr);
                }
                if (st.stopping) return;
                WorkEntry entry = st.work.front();
                st.work.pop_front();
                if (!st.work.empty()) {
                    st.workReady.Header.SignalState = 1;
                    st.SignalObject(&st.workReady.Header);
                }
                st.workRunning++;
                lk.unlock();
                entry.routine(entry.context);
                Verifier::CheckIrqlAfterCallback(PASSIVE_LEVEL, "work item");
                lk.lock();
                st.workRunning--;
            }
        }, true));
    }
    if (mode == ClockMode::RealTime) {
        s.clockThread = std::thread([this] {
            State& st = *state_;
            SchedulerLock lk(st.lock, st.woken);
            while (!st.stopping) {
                Ticks next = -1;
                if (!st.timers.empty()) next = st.timers.begin()->first;
                if (!st.timedWaits.empty() && (next < 0 || st.timedWaits.begin()->first < next)) {
                    next = st.timedWaits.begin()->first;
                }
                if (next < 0) {
                    st.clockCv.wait(lk);
                } else {
                    st.clockCv.wait_until(lk, st.realBoot + std::chrono::nanoseconds(next * 100));
                }
                st.ExpireLocked(st.CurrentTicks());
            }
        });
    }
}

void Scheduler::Shutdown()
{
    if (state_ == nullptr) return;
    State& s = *state_;
    {
        SchedulerLock lk(s.lock, s.woken);
        s.stopping = true;
        for (SimThread* t : s.threads) {
            if (t->waiting && t->daemon) s.Wake(t, STATUS_ALERTED);
        }
        s.clockCv.notify_all();
    }
    for (auto& thread : s.systemThreads) thread.thread_.join();
    if (s.clockThread.joinable()) s.clockThread.join();
    delete state_;
    state_ = nullptr;
}

Thread Scheduler::Spawn(std::string name, std::function<void()> body, bool daemon)
{
    Thread handle;
    handle.exited_ = std::make_unique<KEVENT>();
    InitializeObject(&handle.exited_->Header, kObjectNotificationEvent, 0);
    SimThread* t;
    {
        SchedulerLock lk(state_->lock, state_->woken);
        t = state_->Register(std::move(name), daemon);
    }
    KEVENT* exited = handle.exited_.get();
    handle.thread_ = std::thread([this, t, exited, body = std::move(body)] {
        t_current = t;
        body();
        t_current = nullptr;
        SchedulerLock lk(state_->lock, state_->woken);
        exited->Header.SignalState = 1;
        state_->SignalObject(&exited->Header);
        state_->Unregister(t);
    });
    return handle;
}

Thread::Thread(Thread&&) noexcept = default;
Thread& Thread::operator=(Thread&&) noexcept = default;

Thread::~Thread()
{
    if (thread_.joinable()) Join();
}

void Thread::Join()
{
    if (Scheduler::CurrentThread() != nullptr) {
        PVOID object = exited_.get();
        Scheduler::Instance().Wait(1, &object, WaitAny, nullptr);
    }
    thread_.join();
}

Scheduler::Attachment::Attachment(std::string name)
{
    Scheduler& s = Instance();
    SchedulerLock lk(s.state_->lock, s.state_->woken);
    thread_ = s.state_->Register(std::move(name), false);
    t_current = thread_;
}

Scheduler::Attachment::~Attachment()
{
    Scheduler& s = Instance();
    t_current = nullptr;
    SchedulerLock lk(s.state_->lock, s.state_->woken);
    s.state_->Unregister(thread_);
}

void Scheduler::InitializeObject(DISPATCHER_HEADER* header, UCHAR type, LONG signalState)
{
    header->Type = type;
    header->SignalState = signalState;
    header->Reserved = 0;
    InitializeListHead(&header->WaitListHead);
}

LONG Scheduler::SetEvent(KEVENT* event)
{
    SchedulerLock lk(state_->lock, state_->woken);
    LONG previous = event->Header.SignalState;
    event->Header.SignalState = 1;
    state_->SignalObject(&event->Header);
    return previous;
}

LONG Scheduler::ResetEvent(KEVENT* event)
{
    SchedulerLock lk(state_->lock, state_->woken);
    LONG previous = event->Header.SignalState;
    event->Header.SignalState = 0;
    return previous;
}

LONG Scheduler::ReleaseMutex(KMUTEX* mutex)
{
    SchedulerLock lk(state_->lock, state_->woken);
    if (mutex->OwnerThread != reinterpret_cast<PKTHREAD>(t_current)) {
        Verifier::Violation(ViolationCode::kMutexNotOwned, "mutex released by a thread that does not own it",
                            Scheduler::CurrentThreadName());
        return mutex->Header.SignalState;
    }
    LONG previous = mutex->Header.SignalState;
    if (++mutex->Header.SignalState == 1) {
        mutex->OwnerThread = nullptr;
        state_->SignalObject(&mutex->Header);
    }
    return previous;
}

NTSTATUS Scheduler::Wait(ULONG count, PVOID objects[], WAIT_TYPE waitType, const LARGE_INTEGER* timeout)
{
    SimThread* t = t_current;
    if (t == nullptr) {
        Verifier::Violation(ViolationCode::kForeignThread, "wait from a thread outside the simulation",
                            "attach the thread with Scheduler::Attachment first");
        return STATUS_INVALID_PARAMETER;
    }
    if (count == 0 || count > kMaximumWaitObjects) return STATUS_INVALID_PARAMETER;
    if (t->irql >= DISPATCH_LEVEL && (timeout == nullptr || timeout->QuadPart != 0)) {
        Verifier::Violation(ViolationCode::kIrqlWait, "wait at DISPATCH_LEVEL with a non-zero time-out",
                            t->name.c_str());
        return STATUS_INVALID_PARAMETER;
    }
    SchedulerLock lk(state_->lock, state_->woken);
    return state_->WaitLocked(lk, t, count, objects, waitType, timeout, false);
}

NTSTATUS Scheduler::Delay(const LARGE_INTEGER* interval)
{
    KEVENT never;
    InitializeObject(&never.Header, kObjectNotificationEvent, 0);
    PVOID object = &never;
    NTSTATUS status = Wait(1, &object, WaitAny, interval);
    return status == STATUS_TIMEOUT ? STATUS_SUCCESS : status;
}

void Scheduler::Sleep(Ticks duration)
{
    LARGE_INTEGER interval;
    interval.QuadPart = -duration;
    Delay(&interval);
}

void Scheduler::Settle()
{
    SimThread* t = t_current;
    if (t == nullptr || state_->mode != ClockMode::Virtual) return;
    SchedulerLock lk(state_->lock, state_->woken);
    State& s = *state_;
    // A time-out due now: the clock picks it the moment nothing else runs.
    t->waitType = WaitAny;
    t->count = 0;
    t->timed = true;
    t->deadline = s.CurrentTicks();
    s.timedWaits.insert({t->deadline, t});
    s.BlockLocked(lk, t, false);
}

BOOLEAN Scheduler::SetTimer(KTIMER* timer, LARGE_INTEGER dueTime, LONG periodMs, KDPC* dpc)
{
    SchedulerLock lk(state_->lock, state_->woken);
    State& s = *state_;
    BOOLEAN wasInserted = timer->Header.Reserved != 0;
    if (wasInserted) s.timers.erase({static_cast<Ticks>(timer->DueTime.QuadPart), timer});
    timer->Header.SignalState = 0;
    timer->Period = periodMs;
    timer->Dpc = dpc;
    Ticks due = dueTime.QuadPart == 0 ? s.CurrentTicks() : DeadlineFromTimeout(dueTime);
    s.InsertTimerLocked(timer, due);
    if (due <= s.CurrentTicks()) s.ExpireLocked(s.CurrentTicks());
    return wasInserted;
}

BOOLEAN Scheduler::CancelTimer(KTIMER* timer)
{
    SchedulerLock lk(state_->lock, state_->woken);
    if (timer->Header.Reserved == 0) return FALSE;
    state_->timers.erase({static_cast<Ticks>(timer->DueTime.QuadPart), timer});
    timer->Header.Reserved = 0;
    return TRUE;
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
    if (s.dpcQueue.empty() && s.dpcsRunning == 0) {
        s.dpcIdle.Header.SignalState = 1;
        s.SignalObject(&s.dpcIdle.Header);
    }
    return TRUE;
}

void Scheduler::FlushDpcs()
{
    PVOID object = &state_->dpcIdle;
    Wait(1, &object, WaitAny, nullptr);
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

bool Scheduler::DeferredWorkPending()
{
    SchedulerLock lk(state_->lock, state_->woken);
    const State& s = *state_;
    return !s.dpcQueue.empty() || s.dpcsRunning > 0 || !s.work.empty() || s.workRunning > 0;
}

}  // namespace winsim
