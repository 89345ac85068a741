// The pool. Layout of a block: header, front guard, the caller's bytes, back
// guard. What the verifier trusts is the registry of live blocks and a record
// of the latest frees, never the memory of a freed block, so a double free or
// a foreign address is told apart without touching freed memory (and ASan
// builds stay quiet).
#include "verifier/pool.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>
#include <vector>

#include "verifier/fault_injection.h"
#include "verifier/pool_block_table.h"
#include "verifier/pool_lookaside.h"
#include "verifier/pool_tag_counts.h"
#include "verifier/short_lock.h"

namespace winsim {

namespace {

using BlockHeader = PoolBlockHeader;

// The front guard fills the rest of the prefix, so the caller's bytes are
// 16-byte aligned as on x64 Windows.
constexpr SIZE_T kPrefixBytes = 48;
constexpr SIZE_T kFrontGuardBytes = kPrefixBytes - sizeof(BlockHeader);
constexpr SIZE_T kGuardBytes = 16;
static_assert(sizeof(BlockHeader) == 24 && kPrefixBytes % 16 == 0);
constexpr UCHAR kGuardFill = 0xFB;
static_assert(kGuardBytes <= kFrontGuardBytes);
// What an intact guard holds, compared whole before any byte is looked at.
constexpr std::array<UCHAR, kFrontGuardBytes> kIntactGuard = [] {
    std::array<UCHAR, kFrontGuardBytes> guard{};
    guard.fill(kGuardFill);
    return guard;
}();
// Pool memory is not zeroed; a fill makes a driver that assumes so fail.
constexpr UCHAR kFreshFill = 0xC3;
// Larger requests fail, as no machine has that much pool to give.
constexpr SIZE_T kLargestBlock = SIZE_T(1) << 32;
// Freed addresses remembered to tell a double free from a foreign address.
constexpr size_t kFreedMemory = 1 << 16;

// The latest frees, oldest overwritten first. Only a bad free searches it.
class FreedRecord {
public:
    void Remember(const void* address, const BlockHeader& header)
    {
        if (entries_.size() < kFreedMemory) {
            entries_.push_back({address, header});
        } else {
            entries_[next_] = {address, header};
        }
        next_ = (next_ + 1) % kFreedMemory;
    }

    // The latest free of the address, or null.
    const BlockHeader* Find(const void* address) const
    {
        const size_t n = entries_.size();
        for (size_t k = 1; k <= n; ++k) {
            const PoolBlockTable::Entry& e = entries_[(next_ + n - k) % n];
            if (e.address == address) return &e.header;
        }
        return nullptr;
    }

private:
    std::vector<PoolBlockTable::Entry> entries_;
    size_t next_ = 0;
};

struct State {
    // The lock and what every allocation and free writes share a cache line.
    alignas(64) ShortLock lock;
    ULONG64 lastOrder = 0;
    PoolTotals totals{0, 0};
    PoolBlockTable live;
    FreedRecord freed;
    PoolLookaside lookaside;
    PoolTagCounts byTag;
};

State& S()
{
    static State* state = new State;  // outlives static destructors that still free pool
    return *state;
}

bool IsPaged(ULONG type)
{
    return (type & 1) != 0;
}

void Account(State& s, ULONG tag, ULONG64 size, bool add)
{
    PoolTotals& t = s.byTag.Of(tag);
    if (add) {
        t.count++;
        t.bytes += size;
        s.totals.count++;
        s.totals.bytes += size;
    } else {
        t.count--;
        t.bytes -= size;
        s.totals.count--;
        s.totals.bytes -= size;
    }
}

std::string Format(const char* format, auto... args)
{
    char text[256];
    std::snprintf(text, sizeof text, format, args...);
    return text;
}

std::string Describe(const void* address, const BlockHeader& h)
{
    return Format("block %p (tag %s, %llu bytes, allocation #%llu)", address, PoolTagText(h.tag).c_str(),
                  static_cast<unsigned long long>(h.size), static_cast<unsigned long long>(h.order));
}

// Offset of the first byte in [begin, begin + length) that lost its fill, or -1.
long FirstDamaged(const UCHAR* begin, SIZE_T length, UCHAR fill)
{
    for (SIZE_T i = 0; i < length; ++i) {
        if (begin[i] != fill)
            return static_cast<long>(i);
    }
    return -1;
}

// What a write outside the block damaged, or empty when header and guards
// are intact.
std::string Damage(const UCHAR* data, const BlockHeader& recorded)
{
    const UCHAR* raw = data - kPrefixBytes;
    BlockHeader inBlock;
    std::memcpy(&inBlock, raw, sizeof inBlock);
    if (inBlock == recorded &&
        std::memcmp(raw + sizeof(BlockHeader), kIntactGuard.data(), kFrontGuardBytes) == 0 &&
        std::memcmp(data + recorded.size, kIntactGuard.data(), kGuardBytes) == 0) {
        return {};
    }
    if (!(inBlock == recorded)) return "pool header overwritten";
    if (long at = FirstDamaged(raw + sizeof(BlockHeader), kFrontGuardBytes, kGuardFill); at >= 0) {
        return Format("written before its start (byte %ld of the block)", at - static_cast<long>(kFrontGuardBytes));
    }
    const long past = FirstDamaged(data + recorded.size, kGuardBytes, kGuardFill);
    return Format("written past its end (byte %llu of the block)",
                  static_cast<unsigned long long>(recorded.size + past));
}

SIZE_T RawBytes(SIZE_T size)
{
    return kPrefixBytes + size + kGuardBytes;
}

PVOID Allocate(POOL_TYPE type, SIZE_T size, ULONG tag)
{
    if (IsPaged(type))
        Verifier::CheckPagedCode("ExAllocatePoolWithTag of paged pool");
    if (size > kLargestBlock)
        return nullptr;
    // Windows' low-resources simulation spares must-succeed requests.
    if (type != NonPagedPoolMustSucceed && FaultInjection::ShouldFail(tag))
        return nullptr;

    State& s = S();
    UCHAR* raw = nullptr;
    BlockHeader header{tag, static_cast<ULONG>(type), size, 0};
    {
        std::unique_lock lk(s.lock);
        raw = static_cast<UCHAR*>(s.lookaside.Take(RawBytes(size)));
        if (raw == nullptr) {
            lk.unlock();
            raw = static_cast<UCHAR*>(std::malloc(PoolLookaside::HeapBytes(RawBytes(size))));
            if (raw == nullptr)
                return nullptr;
            lk.lock();
        }
        header.order = ++s.lastOrder;
        s.live.Insert(raw + kPrefixBytes, header);
        Account(s, tag, size, true);
    }
    // The address is not the caller's before this returns, so writing the
    // block needs no lock (and keeps its cache misses out of the lock's hold).
    UCHAR* data = raw + kPrefixBytes;
    std::memcpy(raw, &header, sizeof header);
    std::memset(raw + sizeof(BlockHeader), kGuardFill, kFrontGuardBytes);
    std::memset(data, kFreshFill, size);
    std::memset(data + size, kGuardFill, kGuardBytes);
    return data;
}

void Free(PVOID p, ULONG tag, bool checkTag)
{
    State& s = S();
    auto* data = static_cast<UCHAR*>(p);
    BlockHeader header;
    std::string damage;
    bool kept = false;
    {
        std::unique_lock lk(s.lock);
        const PoolBlockTable::Entry* entry = s.live.Find(p);
        if (entry == nullptr) {
            if (const BlockHeader* was = s.freed.Find(p); was != nullptr) {
                std::string detail = Describe(p, *was) + " was already freed";
                lk.unlock();
                Verifier::Violation(ViolationCode::kBadPoolCaller, kRulePoolDoubleFree, detail.c_str());
            } else {
                lk.unlock();
                Verifier::Violation(ViolationCode::kBadPoolCaller, kRulePoolForeignAddress,
                                    Format("%p was not returned by ExAllocatePoolWithTag", p).c_str());
            }
            return;
        }
        header = entry->header;
        s.live.Erase(entry);
        s.freed.Remember(p, header);
        Account(s, header.tag, header.size, false);
        damage = Damage(data, header);
        kept = s.lookaside.Give(data - kPrefixBytes, RawBytes(header.size));
    }
    // Under a capture the free goes ahead after a report: the block is the
    // pool's own and the test should not leak it.
    if (IsPaged(header.type))
        Verifier::CheckPagedCode("ExFreePool of paged pool");
    if (checkTag && header.tag != tag) {
        std::string detail = Describe(p, header) + " allocated with tag " + PoolTagText(header.tag) +
                             ", freed with tag " + PoolTagText(tag);
        Verifier::Violation(ViolationCode::kBadPoolCaller, kRulePoolWrongTag, detail.c_str());
    }
    if (!damage.empty()) {
        std::string detail = Describe(p, header) + ": " + damage;
        Verifier::Violation(kSpecialPoolCorruption, kRulePoolCorruption, detail.c_str());
    }
    if (!kept)
        std::free(data - kPrefixBytes);
}

}  // namespace

std::string PoolTagText(ULONG tag)
{
    std::string text(4, '?');
    for (int i = 0; i < 4; ++i) {
        auto c = static_cast<UCHAR>(tag >> (8 * i));
        if (c >= 0x20 && c < 0x7F)
            text[i] = static_cast<char>(c);
    }
    return text;
}

TagFilter TagFilter::ExceptSystem()
{
    return Except({PoolTag("Irp "), PoolTag("Mdl "), PoolTag("Devi"), PoolTag("IoWk"), PoolTag("File")});
}

bool TagFilter::Matches(ULONG tag) const
{
    bool listed = std::find(tags_.begin(), tags_.end(), tag) != tags_.end();
    return listed == only_;
}

std::vector<PoolTagUsage> Pool::Snapshot()
{
    std::vector<PoolTagUsage> usage;
    {
        State& s = S();
        std::lock_guard lk(s.lock);
        s.byTag.ForEach([&usage](ULONG tag, const PoolTotals& t) {
            if (t.count != 0)
                usage.push_back({PoolTagText(tag), t.count, t.bytes});
        });
    }
    std::sort(usage.begin(), usage.end(), [](const auto& a, const auto& b) { return a.tag < b.tag; });
    return usage;
}

PoolTotals Pool::Totals()
{
    State& s = S();
    std::lock_guard lk(s.lock);
    return s.totals;
}

PoolMark Pool::Mark()
{
    State& s = S();
    std::lock_guard lk(s.lock);
    return PoolMark{s.lastOrder + 1};
}

std::vector<PoolBlock> Pool::LeaksSince(PoolMark mark, const TagFilter& tags)
{
    std::vector<PoolBlock> blocks;
    {
        State& s = S();
        std::lock_guard lk(s.lock);
        s.live.ForEach([&](const void* address, const BlockHeader& h) {
            if (h.order >= mark.order && tags.Matches(h.tag)) {
                blocks.push_back(
                    {address, PoolTagText(h.tag), h.size, static_cast<POOL_TYPE>(h.type), h.order});
            }
        });
    }
    std::sort(blocks.begin(), blocks.end(), [](const auto& a, const auto& b) { return a.order < b.order; });
    return blocks;
}

bool Pool::ReportLeaks(const char* driverName, PoolMark since, const TagFilter& tags)
{
    std::vector<PoolBlock> leaks = LeaksSince(since, tags);
    if (leaks.empty())
        return true;
    std::map<std::string, PoolTotals> byTag;
    for (const auto& b : leaks) {
        PoolTotals& t = byTag.try_emplace(b.tag, PoolTotals{0, 0}).first->second;
        t.count++;
        t.bytes += b.bytes;
    }
    std::string detail = std::string(driverName) + " left pool allocated: ";
    const char* separator = "";
    for (const auto& [tag, t] : byTag) {
        detail += Format("%s%s: %llu allocation%s, %llu byte%s", separator, tag.c_str(),
                         static_cast<unsigned long long>(t.count), t.count == 1 ? "" : "s",
                         static_cast<unsigned long long>(t.bytes), t.bytes == 1 ? "" : "s");
        separator = "; ";
    }
    // Windows reports this as DRIVER_VERIFIER_DETECTED_VIOLATION, subcode 0x62.
    Verifier::Violation(ViolationCode::kDriverVerifierDetected, kRulePoolLeakAtUnload, detail.c_str());
    return false;
}

}  // namespace winsim

extern "C" {

PVOID ExAllocatePoolWithTag(POOL_TYPE PoolType, SIZE_T NumberOfBytes, ULONG Tag)
{
    return winsim::Allocate(PoolType, NumberOfBytes, Tag);
}

// Untagged allocations carry the tag Windows gives them.
PVOID ExAllocatePool(POOL_TYPE PoolType, SIZE_T NumberOfBytes)
{
    return winsim::Allocate(PoolType, NumberOfBytes, winsim::PoolTag("None"));
}

VOID ExFreePoolWithTag(PVOID P, ULONG Tag)
{
    winsim::Free(P, Tag, true);
}

VOID ExFreePool(PVOID P)
{
    winsim::Free(P, 0, false);
}

}  // extern "C"
