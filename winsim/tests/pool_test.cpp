// The pool, its verifier rules and fault injection.
#include <gtest/gtest.h>

#include <km_ke.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "sched/scheduler.h"
#include "verifier/fault_injection.h"
#include "verifier/pool.h"
#include "verifier/verifier.h"

namespace winsim {
namespace {

constexpr ULONG kBulk = PoolTag("BulK");
constexpr ULONG kRing = PoolTag("CBFR");
constexpr ULONG kIrp = PoolTag("Irp ");

class PoolTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        Scheduler::Instance().Boot(ClockMode::Virtual);
        attachment_ = new Scheduler::Attachment("test");
        mark_ = Pool::Mark();
    }
    void TearDown() override
    {
        FaultInjection::Disarm();
        EXPECT_TRUE(Pool::LeaksSince(mark_).empty()) << "the test leaked pool";
        delete attachment_;
        Scheduler::Instance().Shutdown();
    }

    PoolMark mark_;

private:
    Scheduler::Attachment* attachment_ = nullptr;
};

PoolTagUsage UsageOf(const std::string& tag)
{
    for (const auto& u : Pool::Snapshot()) {
        if (u.tag == tag)
            return u;
    }
    return {tag, 0, 0};
}

bool DetailHas(const ViolationReport& r, const std::string& text)
{
    return r.detail.find(text) != std::string::npos;
}

// --- blocks and accounting -------------------------------------------------

TEST_F(PoolTest, BlocksAreAlignedNotZeroedAndZeroSizeGivesDistinctBlocks)
{
    auto* a = static_cast<UCHAR*>(ExAllocatePoolWithTag(NonPagedPoolNx, 40, kBulk));
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(reinterpret_cast<ULONG_PTR>(a) % 16, 0u);
    bool allZero = true;
    for (int i = 0; i < 40; ++i)
        allZero = allZero && a[i] == 0;
    EXPECT_FALSE(allZero) << "pool memory must not look pre-zeroed";

    PVOID z1 = ExAllocatePoolWithTag(NonPagedPool, 0, kBulk);
    PVOID z2 = ExAllocatePoolWithTag(NonPagedPool, 0, kBulk);
    ASSERT_NE(z1, nullptr);
    ASSERT_NE(z2, nullptr);
    EXPECT_NE(z1, z2);
    EXPECT_EQ(ExAllocatePoolWithTag(NonPagedPool, ~SIZE_T(0), kBulk), nullptr);
    EXPECT_EQ(UsageOf("BulK").count, 3u);
    EXPECT_EQ(UsageOf("BulK").bytes, 40u);

    Verifier::Capture capture;
    ExFreePoolWithTag(z1, kBulk);
    ExFreePoolWithTag(z2, kBulk);
    ExFreePoolWithTag(a, kBulk);
    EXPECT_TRUE(capture.Reports().empty());
}

TEST_F(PoolTest, SnapshotCountsPerTagSortedByTagText)
{
    PoolTotals before = Pool::Totals();
    PVOID ring = ExAllocatePoolWithTag(NonPagedPoolNx, 1024, kRing);
    PVOID b1 = ExAllocatePoolWithTag(NonPagedPoolNx, 100, kBulk);
    PVOID b2 = ExAllocatePoolWithTag(NonPagedPoolNx, 28, kBulk);
    PVOID untagged = ExAllocatePool(NonPagedPool, 7);

    std::vector<PoolTagUsage> snap = Pool::Snapshot();
    ASSERT_EQ(snap.size(), 3u);
    EXPECT_EQ(snap[0].tag, "BulK");
    EXPECT_EQ(snap[0].count, 2u);
    EXPECT_EQ(snap[0].bytes, 128u);
    EXPECT_EQ(snap[1].tag, "CBFR");
    EXPECT_EQ(snap[1].bytes, 1024u);
    EXPECT_EQ(snap[2].tag, "None");
    EXPECT_EQ(snap[2].bytes, 7u);
    EXPECT_EQ(Pool::Totals().count, before.count + 4);
    EXPECT_EQ(Pool::Totals().bytes, before.bytes + 1159);

    ExFreePoolWithTag(b1, kBulk);
    EXPECT_EQ(UsageOf("BulK").count, 1u);
    EXPECT_EQ(UsageOf("BulK").bytes, 28u);
    ExFreePool(b2);
    ExFreePool(untagged);
    ExFreePoolWithTag(ring, kRing);
    EXPECT_TRUE(Pool::Snapshot().empty()) << "a tag with nothing outstanding stays listed";
    EXPECT_EQ(Pool::Totals().count, before.count);
    EXPECT_EQ(Pool::Totals().bytes, before.bytes);
}

TEST_F(PoolTest, LeaksSinceMarkListsOnlyNewBlocksStillLive)
{
    PVOID old = ExAllocatePoolWithTag(NonPagedPool, 8, kBulk);
    PoolMark mark = Pool::Mark();
    PVOID kept = ExAllocatePoolWithTag(PagedPool, 16, kRing);
    PVOID freed = ExAllocatePoolWithTag(NonPagedPool, 32, kBulk);
    PVOID irp = ExAllocatePoolWithTag(NonPagedPool, 64, kIrp);
    ExFreePoolWithTag(freed, kBulk);

    std::vector<PoolBlock> leaks = Pool::LeaksSince(mark);
    ASSERT_EQ(leaks.size(), 2u);
    EXPECT_EQ(leaks[0].address, kept);
    EXPECT_EQ(leaks[0].tag, "CBFR");
    EXPECT_EQ(leaks[0].bytes, 16u);
    EXPECT_EQ(leaks[0].type, PagedPool);
    EXPECT_EQ(leaks[1].address, irp);
    EXPECT_LT(leaks[0].order, leaks[1].order);

    std::vector<PoolBlock> driverOnly = Pool::LeaksSince(mark, TagFilter::ExceptSystem());
    ASSERT_EQ(driverOnly.size(), 1u);
    EXPECT_EQ(driverOnly[0].address, kept);

    ExFreePoolWithTag(kept, kRing);
    ExFreePoolWithTag(irp, kIrp);
    ExFreePoolWithTag(old, kBulk);
    EXPECT_TRUE(Pool::LeaksSince(mark).empty());
}

// Hundreds of blocks of two tags at once: the sums, the allocation order and
// the record of frees hold for every one of them.
TEST_F(PoolTest, ManyBlocksAreCountedListedInOrderAndKnownWhenFreedTwice)
{
    constexpr int kBlocks = 600;
    const PoolTotals before = Pool::Totals();
    PoolMark mark = Pool::Mark();
    std::vector<PVOID> blocks;
    ULONG64 bytes = 0;
    for (int i = 0; i < kBlocks; ++i) {
        const SIZE_T size = static_cast<SIZE_T>(1 + i % 50);
        blocks.push_back(ExAllocatePoolWithTag(NonPagedPoolNx, size, i % 2 == 0 ? kBulk : kRing));
        bytes += size;
    }
    EXPECT_EQ(Pool::Totals().count, before.count + kBlocks);
    EXPECT_EQ(Pool::Totals().bytes, before.bytes + bytes);
    EXPECT_EQ(UsageOf("BulK").count + UsageOf("CBFR").count, static_cast<ULONG64>(kBlocks));
    EXPECT_EQ(UsageOf("BulK").count, static_cast<ULONG64>(kBlocks / 2));

    std::vector<PoolBlock> leaks = Pool::LeaksSince(mark);
    ASSERT_EQ(leaks.size(), static_cast<size_t>(kBlocks));
    for (int i = 0; i < kBlocks; ++i) EXPECT_EQ(leaks[i].address, blocks[i]) << "block " << i;

    for (int i = 0; i < kBlocks; ++i) ExFreePoolWithTag(blocks[i], i % 2 == 0 ? kBulk : kRing);
    EXPECT_EQ(Pool::Totals().count, before.count);
    EXPECT_EQ(Pool::Totals().bytes, before.bytes);

    Verifier::Capture capture;
    for (int i = 0; i < kBlocks; ++i) ExFreePoolWithTag(blocks[i], i % 2 == 0 ? kBulk : kRing);
    std::vector<ViolationReport> reports = capture.Reports();
    ASSERT_EQ(reports.size(), static_cast<size_t>(kBlocks));
    for (const ViolationReport& r : reports) EXPECT_EQ(r.rule, kRulePoolDoubleFree) << r.detail;
    EXPECT_EQ(Pool::Totals().count, before.count);
}

// More tags than a machine usually has, each counted on its own.
TEST_F(PoolTest, HundredsOfTagsAreEachCountedAndListed)
{
    constexpr int kTags = 300;
    std::vector<std::pair<ULONG, PVOID>> blocks;
    for (int i = 0; i < kTags; ++i) {
        const char text[5] = {'T', static_cast<char>('0' + i / 100), static_cast<char>('0' + i / 10 % 10),
                              static_cast<char>('0' + i % 10), '\0'};
        const ULONG tag = PoolTag(text);
        for (int n = 0; n <= i % 3; ++n) blocks.emplace_back(tag, ExAllocatePoolWithTag(NonPagedPoolNx, 8, tag));
    }
    std::vector<PoolTagUsage> snap = Pool::Snapshot();
    ASSERT_EQ(snap.size(), static_cast<size_t>(kTags));
    for (int i = 0; i < kTags; ++i) {
        EXPECT_EQ(snap[i].count, static_cast<ULONG64>(1 + i % 3)) << snap[i].tag;
        EXPECT_EQ(snap[i].bytes, 8u * (1 + i % 3)) << snap[i].tag;
    }
    EXPECT_EQ(snap[123].tag, "T123");
    for (const auto& [tag, p] : blocks) ExFreePoolWithTag(p, tag);
    EXPECT_TRUE(Pool::Snapshot().empty());
}

// Freed memory is handed out again for requests of about its size: each time
// as a fresh block, with its guards where the new size puts them.
TEST_F(PoolTest, MemoryHandedOutAgainComesBackFreshAndGuardedForItsNewSize)
{
    std::vector<UCHAR*> first;
    for (int i = 0; i < 8; ++i) {
        auto* p = static_cast<UCHAR*>(ExAllocatePoolWithTag(NonPagedPoolNx, 64, kRing));
        std::memset(p, 0, 64);
        first.push_back(p);
    }
    for (UCHAR* p : first) ExFreePoolWithTag(p, kRing);

    std::vector<UCHAR*> again;
    for (int i = 0; i < 8; ++i) {
        auto* p = static_cast<UCHAR*>(ExAllocatePoolWithTag(NonPagedPoolNx, 40, kRing));
        EXPECT_EQ(std::count(p, p + 40, 0), 0) << "block " << i << " kept what a freed block held";
        again.push_back(p);
    }
    EXPECT_EQ(UsageOf("CBFR").bytes, 8u * 40u);

    again[0][40] ^= 0x5A;
    Verifier::Capture capture;
    for (UCHAR* p : again) ExFreePoolWithTag(p, kRing);
    ASSERT_EQ(capture.Reports().size(), 1u);
    EXPECT_TRUE(DetailHas(capture.Reports()[0], "past its end (byte 40")) << capture.Reports()[0].detail;
    EXPECT_EQ(UsageOf("CBFR").count, 0u);
}

// --- verifier rules --------------------------------------------------------

TEST_F(PoolTest, LeakAtUnloadNamesEachTagWithCountAndBytes)
{
    PoolMark load = Pool::Mark();
    Verifier::Capture capture;
    EXPECT_TRUE(Pool::ReportLeaks("84prusb", load));
    EXPECT_TRUE(capture.Reports().empty());

    PVOID a = ExAllocatePoolWithTag(NonPagedPoolNx, 64, kBulk);
    PVOID b = ExAllocatePoolWithTag(NonPagedPoolNx, 64, kBulk);
    PVOID c = ExAllocatePoolWithTag(NonPagedPoolNx, 1024, kRing);
    PVOID irp = ExAllocatePoolWithTag(NonPagedPoolNx, 200, kIrp);
    EXPECT_FALSE(Pool::ReportLeaks("84prusb", load, TagFilter::ExceptSystem()));

    std::vector<ViolationReport> reports = capture.Reports();
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_EQ(reports[0].code, ViolationCode::kDriverVerifierDetected);
    EXPECT_EQ(reports[0].rule, kRulePoolLeakAtUnload);
    EXPECT_TRUE(DetailHas(reports[0], "84prusb")) << reports[0].detail;
    EXPECT_TRUE(DetailHas(reports[0], "BulK: 2 allocations, 128 bytes; CBFR: 1 allocation, 1024 bytes"))
        << reports[0].detail;
    EXPECT_FALSE(DetailHas(reports[0], "Irp")) << "system tags were excluded";

    ExFreePoolWithTag(a, kBulk);
    ExFreePoolWithTag(b, kBulk);
    ExFreePoolWithTag(c, kRing);
    EXPECT_TRUE(Pool::ReportLeaks("84prusb", load, TagFilter::ExceptSystem()));
    ExFreePoolWithTag(irp, kIrp);
}

TEST_F(PoolTest, FreeWithWrongTagNamesBothTags)
{
    PVOID p = ExAllocatePoolWithTag(NonPagedPool, 12, kBulk);
    Verifier::Capture capture;
    ExFreePoolWithTag(p, kRing);
    std::vector<ViolationReport> reports = capture.Reports();
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_EQ(reports[0].code, ViolationCode::kBadPoolCaller);
    EXPECT_EQ(reports[0].rule, kRulePoolWrongTag);
    EXPECT_TRUE(DetailHas(reports[0], "allocated with tag BulK, freed with tag CBFR")) << reports[0].detail;
    EXPECT_EQ(UsageOf("BulK").count, 0u) << "the free still happens under a capture";
}

TEST_F(PoolTest, DoubleFreeAndForeignAddressAreCaughtWithoutTouchingAccounting)
{
    PVOID keep = ExAllocatePoolWithTag(NonPagedPool, 10, kBulk);
    PVOID p = ExAllocatePoolWithTag(NonPagedPool, 20, kBulk);
    ExFreePoolWithTag(p, kBulk);

    Verifier::Capture capture;
    ExFreePoolWithTag(p, kBulk);
    int onStack = 0;
    ExFreePool(&onStack);
    ExFreePool(nullptr);

    std::vector<ViolationReport> reports = capture.Reports();
    ASSERT_EQ(reports.size(), 3u);
    EXPECT_EQ(reports[0].code, ViolationCode::kBadPoolCaller);
    EXPECT_EQ(reports[0].rule, kRulePoolDoubleFree);
    EXPECT_TRUE(DetailHas(reports[0], "tag BulK, 20 bytes")) << reports[0].detail;
    EXPECT_EQ(reports[1].rule, kRulePoolForeignAddress);
    EXPECT_EQ(reports[2].rule, kRulePoolForeignAddress);
    EXPECT_EQ(UsageOf("BulK").count, 1u);
    EXPECT_EQ(UsageOf("BulK").bytes, 10u);
    ExFreePoolWithTag(keep, kBulk);
}

TEST_F(PoolTest, WritesOutsideTheBlockAreReportedAsCorruptionNamingTheTag)
{
    struct Case {
        const char* name;
        long offset;  // relative to the block's first byte
        const char* expected;
    };
    const Case cases[] = {
        {"one past the end", 64, "past its end (byte 64"},
        {"end of the guard", 64 + 15, "past its end (byte 79"},
        {"just before the start", -1, "before its start (byte -1"},
        {"start of the front guard", -24, "before its start (byte -24"},
        {"into the header", -40, "pool header overwritten"},
    };
    for (const Case& c : cases) {
        auto* p = static_cast<UCHAR*>(ExAllocatePoolWithTag(NonPagedPoolNx, 64, kRing));
        p[c.offset] ^= 0x5A;
        Verifier::Capture capture;
        ExFreePoolWithTag(p, kRing);
        std::vector<ViolationReport> reports = capture.Reports();
        ASSERT_EQ(reports.size(), 1u) << c.name;
        EXPECT_EQ(reports[0].code, kSpecialPoolCorruption) << c.name;
        EXPECT_EQ(reports[0].rule, "pool corruption") << c.name;
        EXPECT_TRUE(DetailHas(reports[0], "tag CBFR")) << c.name << ": " << reports[0].detail;
        EXPECT_TRUE(DetailHas(reports[0], c.expected)) << c.name << ": " << reports[0].detail;
    }

    auto* intact = static_cast<UCHAR*>(ExAllocatePoolWithTag(NonPagedPoolNx, 64, kRing));
    std::memset(intact, 0, 64);
    Verifier::Capture capture;
    ExFreePoolWithTag(intact, kRing);
    EXPECT_TRUE(capture.Reports().empty()) << "writing every byte of the block is legal";
}

TEST_F(PoolTest, PagedPoolAtDispatchLevelIsReportedNonPagedIsNot)
{
    KIRQL old;
    Verifier::Capture capture;
    KeRaiseIrql(DISPATCH_LEVEL, &old);
    PVOID nonPaged = ExAllocatePoolWithTag(NonPagedPoolNx, 16, kBulk);
    EXPECT_TRUE(capture.Reports().empty());
    PVOID paged = ExAllocatePoolWithTag(PagedPool, 16, kBulk);
    KeLowerIrql(old);
    ASSERT_EQ(capture.Reports().size(), 1u);
    EXPECT_EQ(capture.Reports()[0].code, ViolationCode::kIrqlPagedService);
    EXPECT_TRUE(DetailHas(capture.Reports()[0], "paged pool")) << capture.Reports()[0].detail;

    PVOID pagedToFree = ExAllocatePoolWithTag(PagedPool, 16, kBulk);
    EXPECT_EQ(capture.Reports().size(), 1u) << "paged pool is fine at PASSIVE_LEVEL";
    KeRaiseIrql(DISPATCH_LEVEL, &old);
    ExFreePoolWithTag(nonPaged, kBulk);
    EXPECT_EQ(capture.Reports().size(), 1u);
    ExFreePoolWithTag(pagedToFree, kBulk);
    KeLowerIrql(old);
    EXPECT_EQ(capture.Reports().size(), 2u) << "freeing paged pool at DISPATCH_LEVEL";
    ExFreePoolWithTag(paged, kBulk);
}

// --- fault injection -------------------------------------------------------

TEST_F(PoolTest, FailNthFailsExactlyThatAllocationAndIsNotAccounted)
{
    FaultInjection::FailNth(3);
    EXPECT_EQ(FaultInjection::LastFailedTag(), 0u);
    std::vector<PVOID> blocks;
    for (int i = 0; i < 6; ++i)
        blocks.push_back(ExAllocatePoolWithTag(NonPagedPool, 10, kBulk));
    for (int i = 0; i < 6; ++i) {
        if (i == 2) {
            EXPECT_EQ(blocks[i], nullptr);
        } else {
            EXPECT_NE(blocks[i], nullptr) << "allocation " << i + 1;
        }
    }
    EXPECT_EQ(FaultInjection::AllocationsSinceArmed(), 6u);
    EXPECT_EQ(FaultInjection::FailuresSinceArmed(), 1u);
    EXPECT_EQ(UsageOf("BulK").count, 5u);
    EXPECT_EQ(UsageOf("BulK").bytes, 50u);
    EXPECT_EQ(Pool::LeaksSince(mark_).size(), 5u);
    for (PVOID p : blocks) {
        if (p != nullptr)
            ExFreePoolWithTag(p, kBulk);
    }
}

TEST_F(PoolTest, TagScopedFaultsLeaveOtherTagsAlone)
{
    // The second ring buffer fails; the bulk records around it count for nothing.
    FaultInjection::FailNth(2, TagFilter::Only({kRing}));
    PVOID b1 = ExAllocatePoolWithTag(NonPagedPool, 8, kBulk);
    PVOID r1 = ExAllocatePoolWithTag(NonPagedPool, 8, kRing);
    PVOID b2 = ExAllocatePoolWithTag(NonPagedPool, 8, kBulk);
    PVOID r2 = ExAllocatePoolWithTag(NonPagedPool, 8, kRing);
    PVOID r3 = ExAllocatePoolWithTag(NonPagedPool, 8, kRing);
    EXPECT_NE(b1, nullptr);
    EXPECT_NE(r1, nullptr);
    EXPECT_NE(b2, nullptr);
    EXPECT_EQ(r2, nullptr);
    EXPECT_NE(r3, nullptr);
    EXPECT_EQ(FaultInjection::AllocationsSinceArmed(), 3u);
    EXPECT_EQ(FaultInjection::LastFailedTag(), kRing);

    // Every driver allocation fails; the I/O manager's own objects do not,
    // and neither does a must-succeed request.
    FaultInjection::FailEvery(TagFilter::ExceptSystem());
    EXPECT_EQ(ExAllocatePoolWithTag(NonPagedPool, 8, kBulk), nullptr);
    EXPECT_EQ(ExAllocatePoolWithTag(NonPagedPool, 8, kRing), nullptr);
    PVOID irp = ExAllocatePoolWithTag(NonPagedPool, 8, kIrp);
    EXPECT_NE(irp, nullptr);
    PVOID must = ExAllocatePoolWithTag(NonPagedPoolMustSucceed, 8, kBulk);
    EXPECT_NE(must, nullptr);
    EXPECT_EQ(FaultInjection::FailuresSinceArmed(), 2u);

    FaultInjection::Disarm();
    PVOID after = ExAllocatePoolWithTag(NonPagedPool, 8, kBulk);
    EXPECT_NE(after, nullptr);
    EXPECT_EQ(FaultInjection::AllocationsSinceArmed(), 2u) << "a disarmed plan counts nothing";

    for (PVOID p : {b1, b2, must, after})
        ExFreePoolWithTag(p, kBulk);
    for (PVOID p : {r1, r3})
        ExFreePoolWithTag(p, kRing);
    ExFreePoolWithTag(irp, kIrp);
}

// An operation with three allocations that cleans up when one fails, and an
// unrelated system allocation in the middle.
NTSTATUS BuildThreeRecords(std::vector<PVOID>& out)
{
    PVOID a = ExAllocatePoolWithTag(NonPagedPoolNx, 16, kBulk);
    if (a == nullptr)
        return STATUS_INSUFFICIENT_RESOURCES;
    PVOID irp = ExAllocatePoolWithTag(NonPagedPoolNx, 16, kIrp);
    if (irp != nullptr)
        ExFreePoolWithTag(irp, kIrp);
    PVOID ring = ExAllocatePoolWithTag(NonPagedPoolNx, 1024, kRing);
    if (ring == nullptr) {
        ExFreePoolWithTag(a, kBulk);
        return STATUS_INSUFFICIENT_RESOURCES;
    }
    PVOID b = ExAllocatePoolWithTag(NonPagedPoolNx, 32, kBulk);
    if (b == nullptr) {
        ExFreePoolWithTag(ring, kRing);
        ExFreePoolWithTag(a, kBulk);
        return STATUS_INSUFFICIENT_RESOURCES;
    }
    out = {a, ring, b};
    return STATUS_SUCCESS;
}

TEST_F(PoolTest, SweepCountsAnOperationThenFailsEachOfItsAllocationsInTurn)
{
    const TagFilter driverTags = TagFilter::Only({kBulk, kRing});
    FaultInjection::CountOnly(driverTags);
    std::vector<PVOID> records;
    ASSERT_EQ(BuildThreeRecords(records), STATUS_SUCCESS);
    ULONG64 n = FaultInjection::AllocationsSinceArmed();
    EXPECT_EQ(n, 3u) << "the system allocation is out of scope";
    EXPECT_EQ(FaultInjection::FailuresSinceArmed(), 0u);
    ExFreePoolWithTag(records[0], kBulk);
    ExFreePoolWithTag(records[1], kRing);
    ExFreePoolWithTag(records[2], kBulk);

    for (ULONG64 i = 1; i <= n; ++i) {
        PoolMark mark = Pool::Mark();
        FaultInjection::FailNth(i, driverTags);
        std::vector<PVOID> unused;
        EXPECT_EQ(BuildThreeRecords(unused), STATUS_INSUFFICIENT_RESOURCES) << "failing allocation " << i;
        EXPECT_EQ(FaultInjection::FailuresSinceArmed(), 1u);
        EXPECT_EQ(FaultInjection::AllocationsSinceArmed(), i) << "the operation stops at the failure";
        EXPECT_TRUE(Pool::LeaksSince(mark).empty()) << "failing allocation " << i;
    }
}

std::vector<bool> RandomFailurePattern(ULONG64 seed, double probability)
{
    FaultInjection::FailRandomly(probability, seed, TagFilter::Only({kBulk}));
    std::vector<bool> failed;
    for (int i = 0; i < 400; ++i) {
        PVOID p = ExAllocatePoolWithTag(NonPagedPool, 4, kBulk);
        failed.push_back(p == nullptr);
        if (p != nullptr)
            ExFreePoolWithTag(p, kBulk);
    }
    return failed;
}

TEST_F(PoolTest, RandomFailuresFollowTheProbabilityAndReplayForASeed)
{
    std::vector<bool> first = RandomFailurePattern(42, 0.25);
    ULONG64 failures = FaultInjection::FailuresSinceArmed();
    EXPECT_GT(failures, 60u);
    EXPECT_LT(failures, 140u);
    EXPECT_EQ(RandomFailurePattern(42, 0.25), first);
    EXPECT_NE(RandomFailurePattern(7, 0.25), first);

    RandomFailurePattern(1, 0.0);
    EXPECT_EQ(FaultInjection::FailuresSinceArmed(), 0u);
    RandomFailurePattern(1, 1.0);
    EXPECT_EQ(FaultInjection::FailuresSinceArmed(), 400u);
}

// --- concurrency -----------------------------------------------------------

TEST_F(PoolTest, AccountingStaysExactUnderConcurrentAllocationAndFree)
{
    constexpr int kThreads = 4;
    constexpr int kRounds = 2000;
    const ULONG tags[kThreads] = {PoolTag("Thr0"), PoolTag("Thr1"), PoolTag("Thr2"), PoolTag("Thr3")};
    // Thread 3 also runs into random failures, which must never be accounted.
    FaultInjection::FailRandomly(0.1, 99, TagFilter::Only({tags[3]}));

    std::vector<PVOID> kept[kThreads];
    ULONG64 keptBytes[kThreads] = {};
    std::vector<Thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.push_back(Scheduler::Instance().Spawn("pool" + std::to_string(t), [&, t] {
            // Half of the threads work at DISPATCH_LEVEL, as completion routines do.
            KIRQL old = KeGetCurrentIrql();
            if (t % 2 == 1)
                KeRaiseIrql(DISPATCH_LEVEL, &old);
            for (int i = 0; i < kRounds; ++i) {
                SIZE_T size = static_cast<SIZE_T>((i * 7 + t) % 97);
                PVOID p = ExAllocatePoolWithTag(NonPagedPoolNx, size, tags[t]);
                if (p == nullptr)
                    continue;
                if (i % 3 == 0) {
                    kept[t].push_back(p);
                    keptBytes[t] += size;
                } else {
                    ExFreePoolWithTag(p, tags[t]);
                }
            }
            KeLowerIrql(old);
        }));
    }
    for (Thread& th : threads)
        th.Join();
    FaultInjection::Disarm();

    EXPECT_GT(FaultInjection::FailuresSinceArmed(), 0u);
    for (int t = 0; t < kThreads; ++t) {
        PoolTagUsage usage = UsageOf(PoolTagText(tags[t]));
        EXPECT_EQ(usage.count, kept[t].size()) << usage.tag;
        EXPECT_EQ(usage.bytes, keptBytes[t]) << usage.tag;
    }
    for (int t = 0; t < kThreads; ++t) {
        for (PVOID p : kept[t])
            ExFreePoolWithTag(p, tags[t]);
    }
    EXPECT_TRUE(Pool::Snapshot().empty());
}

}  // namespace
}  // namespace winsim
