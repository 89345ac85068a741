// The machine's pool: every block carries a header and guard bytes, lives in
// a registry of live blocks, and is accounted per tag. The verifier's pool
// rules (wrong tag, double free, foreign address, guard overwrite, paged pool
// at raised IRQL, leaks at unload) report through Verifier::Violation.
//
// The kernel entry points (ExAllocatePoolWithTag and friends) are declared in
// km_ex.h; this header is the machine's own view for tests and the I/O
// manager.
#pragma once

#include <km_ex.h>

#include <initializer_list>
#include <string>
#include <vector>

#include "verifier/verifier.h"

namespace winsim {

// A tag is its four characters in memory order: PoolTag("BulK") equals the
// driver's 'KluB'.
constexpr ULONG PoolTag(const char (&text)[5])
{
    return static_cast<ULONG>(static_cast<UCHAR>(text[0])) |
           static_cast<ULONG>(static_cast<UCHAR>(text[1])) << 8 |
           static_cast<ULONG>(static_cast<UCHAR>(text[2])) << 16 |
           static_cast<ULONG>(static_cast<UCHAR>(text[3])) << 24;
}

// The four characters of a tag; unprintable bytes show as '?'.
std::string PoolTagText(ULONG tag);

// Bug checks of the pool rules that verifier.h does not name.
constexpr ViolationCode kSpecialPoolCorruption = static_cast<ViolationCode>(0xC1);

// Rule texts, for Verifier::Capture::Saw.
inline constexpr char kRulePoolWrongTag[] = "pool freed with a tag other than its own";
inline constexpr char kRulePoolDoubleFree[] = "pool block freed twice";
inline constexpr char kRulePoolForeignAddress[] = "freed address is not a pool block";
inline constexpr char kRulePoolCorruption[] = "pool corruption";
inline constexpr char kRulePoolLeakAtUnload[] = "driver unloaded without freeing its pool";

// Which tags a rule or a query covers: all, only some, or all but some.
class TagFilter {
public:
    static TagFilter All() { return TagFilter(false, {}); }
    static TagFilter Only(std::initializer_list<ULONG> tags) { return TagFilter(true, tags); }
    static TagFilter Except(std::initializer_list<ULONG> tags) { return TagFilter(false, tags); }
    // Everything but the I/O manager's own objects (IRPs, MDLs, device and
    // file objects, work items): what a driver allocates itself.
    static TagFilter ExceptSystem();

    bool Matches(ULONG tag) const;

private:
    TagFilter(bool only, std::initializer_list<ULONG> tags) : only_(only), tags_(tags) {}
    bool only_;
    std::vector<ULONG> tags_;
};

struct PoolTagUsage {
    std::string tag;
    ULONG64 count;
    ULONG64 bytes;
};

struct PoolTotals {
    ULONG64 count;
    ULONG64 bytes;
};

struct PoolBlock {
    const void* address;
    std::string tag;
    SIZE_T bytes;
    POOL_TYPE type;
    ULONG64 order;  // allocation order number, from 1
};

// A point in the allocation order; blocks allocated after it are "since".
// The default mark lies before every allocation.
struct PoolMark {
    ULONG64 order = 0;
};

class Pool {
public:
    // Outstanding blocks per tag, sorted by tag text.
    static std::vector<PoolTagUsage> Snapshot();
    static PoolTotals Totals();

    static PoolMark Mark();
    // Blocks allocated at or after the mark and still live, in allocation order.
    static std::vector<PoolBlock> LeaksSince(PoolMark mark, const TagFilter& tags = TagFilter::All());

    // Called when a driver unloads: any block still live (since the mark,
    // among the tags) is a violation naming each tag with count and bytes.
    // Returns true when nothing was left.
    static bool ReportLeaks(const char* driverName, PoolMark since = PoolMark(),
                            const TagFilter& tags = TagFilter::All());
};

}  // namespace winsim
