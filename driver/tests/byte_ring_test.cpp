// The port rings: capacity, wrap-around and the reader/writer split.
#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>
#include <vector>

#include "core/byte_ring.h"
#include "machine/machine.h"
#include "verifier/fault_injection.h"
#include "verifier/pool.h"

namespace {

class ByteRingTest : public ::testing::Test {
protected:
    winsim::Machine machine;
    winsim::PoolMark mark = winsim::Pool::Mark();
    ByteRing* ring = nullptr;

    void SetUp() override { ASSERT_EQ(ByteRingCreate(&ring), STATUS_SUCCESS); }
    void TearDown() override
    {
        ByteRingFree(ring);
        EXPECT_TRUE(winsim::Pool::LeaksSince(mark).empty());
    }
};

TEST_F(ByteRingTest, HoldsAtMostOneByteLessThanItsSize)
{
    std::vector<UCHAR> data(2000, 0x5A);
    EXPECT_EQ(ByteRingWrite(ring, data.data(), 2000), 1023u);
    EXPECT_EQ(ByteRingCount(ring), 1023u);
    EXPECT_EQ(ByteRingFreeSpace(ring), 0u);
    EXPECT_EQ(ByteRingWrite(ring, data.data(), 1), 0u);
    UCHAR one;
    EXPECT_EQ(ByteRingRead(ring, &one, 1), 1u);
    EXPECT_EQ(ByteRingFreeSpace(ring), 1u);
}

TEST_F(ByteRingTest, KeepsOrderAcrossTheWrap)
{
    std::vector<UCHAR> in(700);
    std::iota(in.begin(), in.end(), 0);
    std::vector<UCHAR> out(700);
    // Move the positions near the end, then write across it twice.
    for (int round = 0; round < 5; ++round) {
        ASSERT_EQ(ByteRingWrite(ring, in.data(), 700), 700u);
        ASSERT_EQ(ByteRingCount(ring), 700u);
        ASSERT_EQ(ByteRingRead(ring, out.data(), 1000), 700u);
        ASSERT_EQ(in, out) << "round " << round;
        ASSERT_EQ(ByteRingCount(ring), 0u);
    }
}

TEST_F(ByteRingTest, DiscardDropsEverythingWritten)
{
    const UCHAR data[10] = {1, 2, 3};
    ByteRingWrite(ring, data, 10);
    ByteRingDiscard(ring);
    EXPECT_EQ(ByteRingCount(ring), 0u);
    UCHAR out[4];
    EXPECT_EQ(ByteRingRead(ring, out, 4), 0u);
    EXPECT_EQ(ByteRingWrite(ring, data, 3), 3u);
    EXPECT_EQ(ByteRingRead(ring, out, 4), 3u);
    EXPECT_EQ(out[2], 3);
}

TEST_F(ByteRingTest, PeekLeavesTheBytesAndSkipDropsOnlyTheOnesTakenEvenAcrossTheWrap)
{
    std::vector<UCHAR> in(100);
    std::iota(in.begin(), in.end(), 0);
    std::vector<UCHAR> filler(1000);
    ASSERT_EQ(ByteRingWrite(ring, filler.data(), 1000), 1000u);
    ASSERT_EQ(ByteRingRead(ring, filler.data(), 1000), 1000u);
    // 100 bytes from offset 1000: they wrap at 1024.
    ASSERT_EQ(ByteRingWrite(ring, in.data(), 100), 100u);
    UCHAR out[62];
    ASSERT_EQ(ByteRingPeek(ring, out, sizeof(out)), 62u);
    EXPECT_TRUE(std::equal(out, out + 62, in.begin()));
    ASSERT_EQ(ByteRingPeek(ring, out, sizeof(out)), 62u) << "a peek takes nothing";
    EXPECT_EQ(ByteRingCount(ring), 100u);
    ByteRingSkip(ring, 62);
    EXPECT_EQ(ByteRingCount(ring), 38u);
    ASSERT_EQ(ByteRingRead(ring, out, sizeof(out)), 38u);
    EXPECT_TRUE(std::equal(out, out + 38, in.begin() + 62));
    // Skipping more than is there drops what is there.
    ASSERT_EQ(ByteRingWrite(ring, in.data(), 5), 5u);
    ByteRingSkip(ring, 50);
    EXPECT_EQ(ByteRingCount(ring), 0u);
    EXPECT_EQ(ByteRingFreeSpace(ring), 1023u);
}

TEST_F(ByteRingTest, ReaderAndWriterOnTwoThreadsLoseNothing)
{
    constexpr ULONG kTotal = 200000;
    winsim::Thread writer = winsim::Scheduler::Instance().Spawn("writer", [&] {
        ULONG sent = 0;
        while (sent < kTotal) {
            UCHAR chunk[37];
            ULONG n = kTotal - sent < sizeof(chunk) ? kTotal - sent : sizeof(chunk);
            for (ULONG i = 0; i < n; ++i) chunk[i] = static_cast<UCHAR>((sent + i) * 7);
            ULONG stored = ByteRingWrite(ring, chunk, n);
            sent += stored;
            if (stored == 0) winsim::Scheduler::Instance().Sleep(1);
        }
    });
    ULONG received = 0;
    bool inOrder = true;
    while (received < kTotal) {
        UCHAR chunk[53];
        ULONG n = ByteRingRead(ring, chunk, sizeof(chunk));
        for (ULONG i = 0; i < n; ++i) inOrder &= chunk[i] == static_cast<UCHAR>((received + i) * 7);
        received += n;
        if (n == 0) winsim::Scheduler::Instance().Sleep(1);
    }
    writer.Join();
    EXPECT_TRUE(inOrder);
    EXPECT_EQ(ByteRingCount(ring), 0u);
}

TEST(ByteRingCreation, FailedAllocationsLeaveNothingBehind)
{
    winsim::Machine machine;
    winsim::PoolMark mark = winsim::Pool::Mark();
    for (ULONG64 nth = 1; nth <= 2; ++nth) {
        winsim::FaultInjection::FailNth(nth, winsim::TagFilter::All());
        ByteRing* ring = reinterpret_cast<ByteRing*>(1);
        EXPECT_EQ(ByteRingCreate(&ring), STATUS_INSUFFICIENT_RESOURCES);
        EXPECT_EQ(ring, nullptr);
        winsim::FaultInjection::Disarm();
    }
    EXPECT_TRUE(winsim::Pool::LeaksSince(mark).empty());
}

}  // namespace
