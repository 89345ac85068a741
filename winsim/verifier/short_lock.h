// A lock for holds of a few dozen nanoseconds that never block: the pool's
// and the I/O manager's IRP records, taken by every allocation, free, call
// and completion. It is released with a plain store: a mutex releases with a
// locked instruction, which first waits until every store of the hold has
// reached the cache, and those are mostly misses (the pool's registry, its
// record of frees). A waiter spins while the holder runs on the other
// processor, and yields once the hold has lasted so long that the holder
// must have been switched out.
#pragma once

#include <atomic>
#include <thread>

namespace winsim {

class ShortLock {
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
