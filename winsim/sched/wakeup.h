// How a blocked simulation thread is let go: one waiter (the thread itself),
// one release per wait, on a futex. The waiter sleeps at once: yielding in a
// spin first, as a semaphore's wait does, puts it behind every other runnable
// task of a loaded host for each turn, and spinning without yielding costs
// more processor time than the switches it saves on a two-core host.
#pragma once

#include <linux/futex.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>

namespace winsim {

class Wakeup {
public:
    // The waiter may go on, and its thread end, before the futex call: a
    // wake on a stale address wakes nobody or makes a spurious wake-up,
    // which every futex waiter tolerates.
    void Release()
    {
        if (state_.exchange(kReleased, std::memory_order_release) == kSleeping) {
            syscall(SYS_futex, &state_, FUTEX_WAKE_PRIVATE, 1, nullptr, nullptr, 0);
        }
    }

    void Acquire()
    {
        for (;;) {
            int expected = kReleased;
            if (state_.compare_exchange_strong(expected, kIdle, std::memory_order_acquire)) return;
            if (expected == kSleeping ||
                state_.compare_exchange_strong(expected, kSleeping, std::memory_order_relaxed)) {
                syscall(SYS_futex, &state_, FUTEX_WAIT_PRIVATE, kSleeping, nullptr, nullptr, 0);
            }
        }
    }

private:
    static constexpr int kIdle = 0;
    static constexpr int kReleased = 1;
    static constexpr int kSleeping = 2;

    std::atomic<int> state_{kIdle};
};

}  // namespace winsim
