// Freed pool memory kept for the next allocation of its size class, as the
// kernel's lookaside lists keep it: most of a driver's blocks are IRPs, URBs
// and message buffers of a few sizes, allocated on one thread and freed on
// another, where the C heap's per-thread caches do not help and its shared
// arenas cost as much as the pool itself. The caller holds the pool's lock.
// Memory kept here is poisoned for AddressSanitizer, so a driver's access to
// a block it freed is still reported.
#pragma once

#include <sanitizer/asan_interface.h>

#include <array>
#include <cstddef>
#include <vector>

namespace winsim {

class PoolLookaside {
public:
    // The bytes to take from the C heap for a block of rawBytes: a size
    // class's whole size when the class is kept, so any block of the class
    // serves any request of it.
    static size_t HeapBytes(size_t rawBytes)
    {
        return rawBytes <= kLargestKept ? ClassBytes(ClassOf(rawBytes)) : rawBytes;
    }

    // A kept block of at least rawBytes, or null.
    void* Take(size_t rawBytes)
    {
        if (rawBytes > kLargestKept) return nullptr;
        const size_t c = ClassOf(rawBytes);
        std::vector<void*>& kept = kept_[c];
        if (kept.empty()) return nullptr;
        void* block = kept.back();
        kept.pop_back();
        ASAN_UNPOISON_MEMORY_REGION(block, ClassBytes(c));
        return block;
    }

    // Keeps a block HeapBytes(rawBytes) gave the size of; false when its
    // class is full or not kept, and the caller frees it.
    bool Give(void* block, size_t rawBytes)
    {
        if (rawBytes > kLargestKept) return false;
        const size_t c = ClassOf(rawBytes);
        std::vector<void*>& kept = kept_[c];
        if (kept.size() == kDepth) return false;
        if (kept.capacity() == 0) kept.reserve(kDepth);
        ASAN_POISON_MEMORY_REGION(block, ClassBytes(c));
        kept.push_back(block);
        return true;
    }

private:
    static constexpr size_t kGranule = 64;
    static constexpr size_t kClasses = 64;
    static constexpr size_t kLargestKept = kGranule * kClasses;
    // Blocks kept per class: a few hundred IRPs and buffers in flight at
    // full rate, at most about 8 MB over all classes.
    static constexpr size_t kDepth = 64;

    static size_t ClassOf(size_t rawBytes) { return (rawBytes + kGranule - 1) / kGranule - 1; }
    static size_t ClassBytes(size_t c) { return (c + 1) * kGranule; }

    std::array<std::vector<void*>, kClasses> kept_;
};

}  // namespace winsim
