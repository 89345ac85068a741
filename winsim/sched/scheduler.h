// The simulated machine's dispatcher: one clock, the simulation threads, the
// waitable objects of the kernel (events, mutexes, timers), the DPC queue and
// the system worker threads.
//
// The clock is virtual in test mode: when every simulation thread is blocked
// in a simulated wait, time jumps to the earliest deadline. A wait with a
// 500 ms time-out on a silent event therefore finishes at once in real time
// with exactly 500 ms of simulated time gone. In real-time mode the clock
// follows the host's monotonic clock.
#pragma once

#include <km_ke.h>
#include <km_io.h>

#include <condition_variable>
#include <functional>
#include <limits>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

namespace winsim {

// Interrupt time: 100 ns units since the machine booted.
using Ticks = LONGLONG;
constexpr Ticks kTicksPerMicrosecond = 10;
constexpr Ticks kTicksPerMillisecond = 10'000;
constexpr Ticks kTicksPerSecond = 10'000'000;

enum class ClockMode { Virtual, RealTime };

struct SimThread;

// A simulation thread started by Scheduler::Spawn. Join() waits the way the
// simulation waits, so the clock keeps moving while the thread finishes.
class Thread {
public:
    Thread() = default;
    Thread(Thread&&) noexcept;
    Thread& operator=(Thread&&) noexcept;
    ~Thread();
    void Join();
    bool Joinable() const { return thread_.joinable(); }
    // Its body has returned: a join does not wait for the simulation.
    bool Ended() const;

private:
    friend class Scheduler;
    std::thread thread_;
    std::unique_ptr<KEVENT> exited_;
};

class Scheduler {
public:
    static Scheduler& Instance();

    // Starts the clock and the system threads (DPC processors, workers).
    void Boot(ClockMode mode);
    // Stops the system threads. Every other simulation thread must be gone.
    void Shutdown();
    bool Booted() const;
    ClockMode Mode() const;

    // The clock ends here, over 14,000 years after boot, so that system time
    // (boot time plus ticks) and every deadline taken from the clock stay
    // representable; a wait due later ends at it.
    static constexpr Ticks kClockEnd = std::numeric_limits<Ticks>::max() / 2;

    Ticks Now() const;
    // How far the clock can still move.
    Ticks ClockLeft() const { return kClockEnd - Now(); }
    // UTC in 100 ns units since 1601, as KeQuerySystemTime reports it.
    LONGLONG SystemTime() const;

    // Starts a simulation thread. Daemon threads (the machine's own service
    // threads) may wait forever without that counting as a hang.
    Thread Spawn(std::string name, std::function<void()> body, bool daemon = false);

    // Makes the calling host thread (a test, the bench) part of the simulation
    // for the object's lifetime.
    class Attachment {
    public:
        explicit Attachment(std::string name);
        ~Attachment();
        Attachment(const Attachment&) = delete;
        Attachment& operator=(const Attachment&) = delete;

    private:
        SimThread* thread_;
    };

    // For its lifetime, the threads the calling simulation thread readies
    // are let go only when it ends or the thread blocks, all at once: a
    // thread that readies several in a row (the bus completing a report's
    // transfers) is not switched out for each. They run at the same virtual
    // time as they would have; nothing may spin waiting for one of them.
    class HeldWakes {
    public:
        HeldWakes();
        ~HeldWakes();
        HeldWakes(const HeldWakes&) = delete;
        HeldWakes& operator=(const HeldWakes&) = delete;

    private:
        SimThread* thread_;
    };

    static SimThread* CurrentThread();
    static KIRQL CurrentIrql();
    static void SetCurrentIrql(KIRQL irql);
    // Lowers the calling thread's IRQL; dropping below DISPATCH_LEVEL first
    // runs the DPCs queued on its processor, as the kernel does.
    void LowerIrql(KIRQL irql);
    static const char* CurrentThreadName();

    // Dispatcher objects.
    void InitializeObject(DISPATCHER_HEADER* header, UCHAR type, LONG signalState);
    LONG SetEvent(KEVENT* event);
    LONG ResetEvent(KEVENT* event);
    LONG ReleaseMutex(KMUTEX* mutex);
    LONG ReadState(const DISPATCHER_HEADER* header);
    NTSTATUS Wait(ULONG count, PVOID objects[], WAIT_TYPE waitType, const LARGE_INTEGER* timeout);
    NTSTATUS Delay(const LARGE_INTEGER* interval);

    BOOLEAN SetTimer(KTIMER* timer, LARGE_INTEGER dueTime, LONG periodMs, KDPC* dpc);
    BOOLEAN CancelTimer(KTIMER* timer);

    // A simulation thread queues the DPC on its own processor: it runs once
    // the thread's IRQL is below DISPATCH_LEVEL, at once if it already is.
    // Other host threads queue it for the DPC processors.
    BOOLEAN InsertDpc(KDPC* dpc, PVOID arg1, PVOID arg2);
    BOOLEAN RemoveDpc(KDPC* dpc);
    // Waits until every DPC queued before the call has run.
    void FlushDpcs();

    // System worker threads (run at PASSIVE_LEVEL).
    void QueueWork(WORK_QUEUE_TYPE queue, void (*routine)(void*), void* context);

    // Quiet: no DPC queued or running, no work item queued or running.
    bool DeferredWorkPending();

    // Lets the given amount of simulated time pass for the calling thread.
    void Sleep(Ticks duration);
    // Returns once every other simulation thread is blocked, without moving
    // the clock (virtual mode): whatever was runnable has run.
    void Settle();
    // The earliest timer or timed wait, or -1 when none is set: where the
    // virtual clock jumps next once nothing runs.
    Ticks EarliestDeadline();

private:
    Scheduler() = default;
    struct State;
    State* state_ = nullptr;
};

// Dispatcher object types as the kernel numbers them.
enum : UCHAR {
    kObjectNotificationEvent = 0,
    kObjectSynchronizationEvent = 1,
    kObjectMutant = 2,
    kObjectNotificationTimer = 8,
    kObjectSynchronizationTimer = 9,
};

// Converts a kernel time-out (negative relative, positive absolute system
// time) into an absolute interrupt time.
Ticks DeadlineFromTimeout(const LARGE_INTEGER& timeout);

}  // namespace winsim
