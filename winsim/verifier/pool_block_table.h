// The pool's registry of live blocks: what each block's header said when it
// was allocated, by the block's address. Open addressing with linear probing
// in one array, so an allocation or a free costs no allocation of its own and
// touches one or two cache lines; the caller holds the pool's lock.
#pragma once

#include <km_ex.h>

#include <cstddef>
#include <cstdint>
#include <vector>

namespace winsim {

// What the pool keeps in front of every block, as the Windows pool header.
struct PoolBlockHeader {
    ULONG tag;
    ULONG type;
    ULONG64 size;
    ULONG64 order;

    bool operator==(const PoolBlockHeader&) const = default;
};

class PoolBlockTable {
public:
    struct Entry {
        const void* address;  // null: the slot is free
        PoolBlockHeader header;
    };

    PoolBlockTable() : slots_(kFirstSize, Entry{}) {}

    size_t Size() const { return used_; }

    // The entry of a live block, or null (always for a null address).
    const Entry* Find(const void* address) const
    {
        if (address == nullptr) return nullptr;
        for (size_t i = Home(address);; i = Next(i)) {
            if (slots_[i].address == address) return &slots_[i];
            if (slots_[i].address == nullptr) return nullptr;
        }
    }

    // The address must not be in the table already.
    void Insert(const void* address, const PoolBlockHeader& header)
    {
        if (2 * (used_ + 1) > slots_.size()) Grow();
        Place(Entry{address, header});
        ++used_;
    }

    // Removes the entry Find returned. Later entries of its probe run move
    // back so that no run has a hole a search would stop at.
    void Erase(const Entry* entry)
    {
        size_t hole = static_cast<size_t>(entry - slots_.data());
        for (size_t i = Next(hole); slots_[i].address != nullptr; i = Next(i)) {
            const size_t home = Home(slots_[i].address);
            const bool reachable = hole < i ? (hole < home && home <= i) : (hole < home || home <= i);
            if (!reachable) {
                slots_[hole] = slots_[i];
                hole = i;
            }
        }
        slots_[hole].address = nullptr;
        --used_;
    }

    template <typename Visit>
    void ForEach(Visit visit) const
    {
        for (const Entry& e : slots_) {
            if (e.address != nullptr) visit(e.address, e.header);
        }
    }

private:
    static constexpr size_t kFirstSize = 1024;

    size_t Next(size_t i) const { return (i + 1) & (slots_.size() - 1); }

    // Blocks are 16-byte aligned: the low bits carry nothing.
    size_t Home(const void* address) const
    {
        const auto bits = static_cast<uint64_t>(reinterpret_cast<uintptr_t>(address) >> 4);
        return static_cast<size_t>((bits * 0x9E3779B97F4A7C15ull) >> 32) & (slots_.size() - 1);
    }

    void Place(const Entry& entry)
    {
        size_t i = Home(entry.address);
        while (slots_[i].address != nullptr) i = Next(i);
        slots_[i] = entry;
    }

    void Grow()
    {
        std::vector<Entry> old(2 * slots_.size(), Entry{});
        old.swap(slots_);
        for (const Entry& e : old) {
            if (e.address != nullptr) Place(e);
        }
    }

    std::vector<Entry> slots_;
    size_t used_ = 0;
};

}  // namespace winsim
