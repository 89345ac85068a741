// What the pool holds per tag: open addressing on the tag in one array, so
// counting an allocation or a free is a multiply and, nearly always, one
// probe. A tag keeps its entry at zero, so that a tag's blocks coming and
// going allocate nothing. The caller holds the pool's lock.
#pragma once

#include <km_ex.h>

#include <cstddef>
#include <cstdint>
#include <vector>

#include "verifier/pool.h"

namespace winsim {

class PoolTagCounts {
public:
    PoolTagCounts() : slots_(kFirstSize) {}

    // The tag's counts, entered at zero when the tag is new.
    PoolTotals& Of(ULONG tag)
    {
        if (2 * (used_ + 1) > slots_.size()) Grow();
        Slot& slot = slots_[Find(tag)];
        if (!slot.used) {
            slot = Slot{true, tag, PoolTotals{0, 0}};
            ++used_;
        }
        return slot.totals;
    }

    template <typename Visit>
    void ForEach(Visit visit) const
    {
        for (const Slot& slot : slots_) {
            if (slot.used) visit(slot.tag, slot.totals);
        }
    }

private:
    struct Slot {
        bool used = false;
        ULONG tag = 0;
        PoolTotals totals{0, 0};
    };

    static constexpr size_t kFirstSize = 128;

    // The tag's slot, or the free slot where it would go.
    size_t Find(ULONG tag) const
    {
        const size_t mask = slots_.size() - 1;
        size_t i = static_cast<size_t>((static_cast<uint64_t>(tag) * 0x9E3779B97F4A7C15ull) >> 40) & mask;
        while (slots_[i].used && slots_[i].tag != tag) i = (i + 1) & mask;
        return i;
    }

    void Grow()
    {
        std::vector<Slot> old(2 * slots_.size());
        old.swap(slots_);
        for (const Slot& slot : old) {
            if (slot.used) slots_[Find(slot.tag)] = slot;
        }
    }

    std::vector<Slot> slots_;
    size_t used_ = 0;
};

}  // namespace winsim
