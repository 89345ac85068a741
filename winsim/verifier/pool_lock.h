// The pool's lock, held for a few dozen nanoseconds by each allocation and
// free. It is released with a plain store: a mutex releases with a locked
// instruction, which first waits until every store of the hold has reached
// the cache, and those are mostly misses (the block registry, the record of
// frees). A waiter spins while the holder runs on the other processor, and
// yields once the hold has lasted so long that the holder must have been
// switched out.
#pragma once

#include <atomic>
#include <thread>

namespace winsim {

class PoolLock {
public:
    void lock()
    {
        unsigned spins = 0;
        while (held_.exchange(true, std::memory_order_acquire)) {
            while (held_.load(std::memory_order_relaxed)) {
                if (++spins < kSpinsBeforeYield) {
                    __builtin_ia32_pause();
                } else {
                    std::this_thread::yield();
                }
            }
        }
    }

    void unlock() { held_.store(false, std::memory_order_release); }

private:
    // Some microseconds: many times the longest hold.
    static constexpr unsigned kSpinsBeforeYield = 256;

    std::atomic<bool> held_{false};
};

}  // namespace winsim
