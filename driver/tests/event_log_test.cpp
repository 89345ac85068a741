// The event log: staging, drain, wrap, gap marks and fetch sizes.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "machine/machine.h"
#include "services/event_log.h"
#include "verifier/pool.h"

namespace {

class EventLogTest : public ::testing::Test {
protected:
    winsim::Machine machine;
    winsim::PoolMark mark = winsim::Pool::Mark();

    void SetUp() override { EventLogInitialize(); }
    void TearDown() override { EXPECT_TRUE(winsim::Pool::LeaksSince(mark).empty()); }

    static void Post(ULONG count, ULONG code = 0x21)
    {
        for (ULONG i = 0; i < count; ++i) {
            EventEntry event = {};
            event.code = code;
            event.unit = 1;
            event.port = 2;
            event.param0 = -5;
            event.param5 = static_cast<int32_t>(i);
            event.param6 = 0xABCD;
            EventLogPost(event);
        }
    }
    static std::vector<EventRecord> Fetch(ULONG bufferBytes = 5600)
    {
        std::vector<UCHAR> buffer(bufferBytes);
        ULONG bytes = EventLogFetch(buffer.data(), bufferBytes);
        EXPECT_EQ(bytes % sizeof(EventRecord), 0u);
        std::vector<EventRecord> records(bytes / sizeof(EventRecord));
        if (bytes != 0) std::memcpy(records.data(), buffer.data(), bytes);
        return records;
    }
    static std::vector<EventRecord> FetchAll()
    {
        std::vector<EventRecord> all;
        for (;;) {
            auto some = Fetch(56000);
            if (some.empty()) return all;
            all.insert(all.end(), some.begin(), some.end());
        }
    }
};

TEST_F(EventLogTest, EmptyLogFetchesNothing) { EXPECT_TRUE(Fetch().empty()); }

TEST_F(EventLogTest, PostedEntriesComeBackWholeNumberedFromZeroWithoutGaps)
{
    Post(3);
    auto records = Fetch();
    ASSERT_EQ(records.size(), 3u);
    LARGE_INTEGER now;
    KeQuerySystemTime(&now);
    for (uint32_t i = 0; i < 3; ++i) {
        const EventEntry& entry = records[i].entry;
        EXPECT_EQ(entry.seq, i);
        EXPECT_EQ(records[i].gap, 0u);
        EXPECT_EQ(entry.code, 0x21u);
        EXPECT_EQ(entry.unit, 1u);
        EXPECT_EQ(entry.port, 2u);
        EXPECT_EQ(entry.param0, -5);
        EXPECT_EQ(entry.param5, static_cast<int32_t>(i));
        EXPECT_EQ(entry.param6, 0xABCDu);
        EXPECT_EQ(static_cast<LONGLONG>(entry.time), now.QuadPart);
    }
    EXPECT_TRUE(Fetch().empty());  // read destructively
}

TEST_F(EventLogTest, ZeroCodeIsNotPosted)
{
    Post(1, 0);
    EXPECT_TRUE(Fetch().empty());
}

TEST_F(EventLogTest, EntryOverwrittenInTheLogShowsAsGapOnTheOldestRemaining)
{
    // 501 entries drained in two steps so the staging ring never overflows.
    Post(400);
    EventLogDrain();
    Post(101);
    auto records = FetchAll();
    ASSERT_EQ(records.size(), 500u);
    EXPECT_EQ(records[0].entry.seq, 1u);
    EXPECT_EQ(records[0].gap, 1u);
    for (uint32_t i = 1; i < records.size(); ++i) {
        ASSERT_EQ(records[i].entry.seq, i + 1);
        ASSERT_EQ(records[i].gap, 0u);
    }
}

TEST_F(EventLogTest, StagingOverflowLosesTheOldestAndTheReaderSeesTheJump)
{
    Post(3);  // seq 0, 1, 2
    auto first = Fetch();
    ASSERT_EQ(first.size(), 3u);
    for (const auto& record : first) EXPECT_EQ(record.gap, 0u);
    // seq 3..504 without a drain: the staging ring keeps 5..504.
    Post(502);
    auto records = FetchAll();
    ASSERT_EQ(records.size(), 500u);
    EXPECT_EQ(records[0].entry.seq, 5u);
    EXPECT_EQ(records[0].gap, 1u);
    EXPECT_EQ(records[1].entry.seq, 6u);
    EXPECT_EQ(records[1].gap, 0u);
    EXPECT_EQ(records.back().entry.seq, 504u);
}

TEST_F(EventLogTest, FetchReturnsOnlyWholeRecordsThatFit)
{
    Post(10);
    EXPECT_TRUE(Fetch(55).empty());
    EXPECT_EQ(Fetch(111).size(), 1u);
    EXPECT_EQ(Fetch(200).size(), 3u);
    auto rest = FetchAll();
    ASSERT_EQ(rest.size(), 6u);
    EXPECT_EQ(rest[0].entry.seq, 4u);
    EXPECT_EQ(rest[0].gap, 0u);
}

TEST_F(EventLogTest, FullBufferReturnsAtMostOneHundredRecords)
{
    Post(250);
    EXPECT_EQ(Fetch(5600).size(), 100u);
    EXPECT_EQ(Fetch(5600).size(), 100u);
    EXPECT_EQ(Fetch(5600).size(), 50u);
}

}  // namespace
