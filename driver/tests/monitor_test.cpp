// The line monitor ring: capture, start and stop, overflow marks, fetch sizes.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <vector>

#include "machine/machine.h"
#include "services/monitor.h"
#include "verifier/pool.h"

namespace {

class MonitorTest : public ::testing::Test {
protected:
    winsim::Machine machine;
    winsim::PoolMark mark = winsim::Pool::Mark();
    std::unique_ptr<AdapterExtension> extension = std::make_unique<AdapterExtension>();
    AdapterEntry entry = {};

    void SetUp() override
    {
        std::memset(extension.get(), 0, sizeof(AdapterExtension));
        entry.comNumbers[0] = 3;
        entry.comNumbers[1] = 4;
        entry.comNumbers[2] = 5;
        entry.comNumbers[3] = 6;
        extension->adapterEntry = &entry;
        MonitorInitialize();
    }
    void TearDown() override { EXPECT_TRUE(winsim::Pool::LeaksSince(mark).empty()); }

    // Adds a record whose first payload byte is its number.
    void Add(ULONG number, ULONG port = 0, ULONG kind = kMonitorReceived, ULONG length = 4)
    {
        std::vector<UCHAR> payload(length, 0xEE);
        payload[0] = static_cast<UCHAR>(number);
        MonitorAdd(extension.get(), port, kind, payload.data(), length);
    }
    std::vector<MonitorRecord> Fetch(ULONG bufferBytes = 10000)
    {
        std::vector<UCHAR> buffer(bufferBytes);
        ULONG bytes = MonitorFetch(buffer.data(), bufferBytes);
        EXPECT_EQ(bytes % sizeof(MonitorRecord), 0u);
        std::vector<MonitorRecord> records(bytes / sizeof(MonitorRecord));
        if (bytes != 0) std::memcpy(records.data(), buffer.data(), bytes);
        return records;
    }
    std::vector<MonitorRecord> FetchAll()
    {
        std::vector<MonitorRecord> all;
        for (;;) {
            auto some = Fetch(100000);
            if (some.empty()) return all;
            all.insert(all.end(), some.begin(), some.end());
        }
    }
};

TEST_F(MonitorTest, RecordCarriesPayloadAfterAZeroByteWithPortComNumberKindAndTime)
{
    MonitorStart();
    const UCHAR payload[10] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10};
    MonitorAdd(extension.get(), 2, kMonitorTransmitted, payload, sizeof(payload));
    auto records = Fetch();
    ASSERT_EQ(records.size(), 1u);
    const MonitorRecord& record = records[0];
    EXPECT_EQ(record.slot, 0u);
    EXPECT_EQ(record.comNumber, 5u);
    EXPECT_EQ(record.kind, kMonitorTransmitted);
    EXPECT_EQ(record.overrun, 0u);
    EXPECT_EQ(record.length, 11u);
    EXPECT_EQ(record.data[0], 0);
    EXPECT_EQ(std::memcmp(&record.data[1], payload, sizeof(payload)), 0);
    EXPECT_EQ(record.reserved0 | record.reserved1 | record.reserved2, 0u);
    LARGE_INTEGER now;
    KeQuerySystemTime(&now);
    EXPECT_EQ(static_cast<LONGLONG>(record.time), now.QuadPart);
    // Consumed: the next fetch is empty.
    EXPECT_TRUE(Fetch().empty());
}

TEST_F(MonitorTest, LongPayloadIsCutTo511Bytes)
{
    MonitorStart();
    std::vector<UCHAR> payload(600);
    for (size_t i = 0; i < payload.size(); ++i) payload[i] = static_cast<UCHAR>(i);
    MonitorAdd(extension.get(), 0, kMonitorReceived, payload.data(), static_cast<ULONG>(payload.size()));
    auto records = Fetch();
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].length, 512u);
    EXPECT_EQ(std::memcmp(&records[0].data[1], payload.data(), 511), 0);
}

TEST_F(MonitorTest, OffCapturesNothingAndStartEmptiesTheRing)
{
    Add(1);
    MonitorStart();
    EXPECT_TRUE(Fetch().empty());
    Add(2);
    Add(3);
    MonitorStart();  // drops 2 and 3
    Add(4);
    auto records = Fetch();
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].data[1], 4);
    EXPECT_EQ(records[0].slot, 0u);
}

TEST_F(MonitorTest, StopKeepsWhatWasCapturedAndIgnoresLaterTraffic)
{
    MonitorStart();
    Add(1);
    Add(2);
    MonitorStop();
    Add(3);
    auto records = Fetch();
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[0].data[1], 1);
    EXPECT_EQ(records[1].data[1], 2);
}

TEST_F(MonitorTest, RingHolds999AndTheNextAddDropsTheOldestAndMarksTheNewOldest)
{
    MonitorStart();
    for (ULONG i = 0; i < 999; ++i) Add(i);
    // 999 unread is still loss-free.
    auto first = Fetch(sizeof(MonitorRecord));
    ASSERT_EQ(first.size(), 1u);
    EXPECT_EQ(first[0].overrun, 0u);
    EXPECT_EQ(first[0].data[1], 0);

    MonitorStart();
    for (ULONG i = 0; i < 1000; ++i) Add(i);
    auto records = FetchAll();
    ASSERT_EQ(records.size(), 999u);
    EXPECT_EQ(records[0].data[1], 1);  // number 0 was dropped
    EXPECT_EQ(records[0].overrun, 1u);
    for (size_t i = 1; i < records.size(); ++i) {
        ASSERT_EQ(records[i].overrun, 0u) << i;
        ASSERT_EQ(records[i].data[1], static_cast<UCHAR>(i + 1)) << i;
    }
}

TEST_F(MonitorTest, MarkFollowsTheReadPositionAcrossRepeatedOverflowAndIsReportedOnce)
{
    MonitorStart();
    for (ULONG i = 0; i < 10; ++i) Add(i);
    auto early = Fetch(3 * sizeof(MonitorRecord));  // 0, 1, 2 read in time
    ASSERT_EQ(early.size(), 3u);
    for (const auto& record : early) EXPECT_EQ(record.overrun, 0u);
    // 3..1202: 1200 records into a ring of 999 while nobody reads.
    for (ULONG i = 10; i < 1203; ++i) Add(i);
    auto records = FetchAll();
    ASSERT_EQ(records.size(), 999u);
    EXPECT_EQ(records[0].overrun, 1u);
    EXPECT_EQ(records[0].data[1], static_cast<UCHAR>(1203 - 999));
    for (size_t i = 1; i < records.size(); ++i) ASSERT_EQ(records[i].overrun, 0u) << i;
    // Slots wrap round the ring.
    EXPECT_EQ(records.back().slot, 1202u % kMonitorSlots);
    Add(7);
    auto later = Fetch();
    ASSERT_EQ(later.size(), 1u);
    EXPECT_EQ(later[0].overrun, 0u);
}

TEST_F(MonitorTest, FetchTakesWholeRecordsUpTo102)
{
    MonitorStart();
    for (ULONG i = 0; i < 999; ++i) Add(i);
    EXPECT_EQ(Fetch(sizeof(MonitorRecord) - 1).size(), 0u);
    EXPECT_EQ(Fetch(sizeof(MonitorRecord) * 2 - 1).size(), 1u);
    EXPECT_EQ(Fetch(10000).size(), 18u);
    EXPECT_EQ(Fetch(100000).size(), kMonitorFetchMaxRecords);
    // 999 - 1 - 18 - 102 remain, oldest first.
    auto rest = FetchAll();
    ASSERT_EQ(rest.size(), 999u - 121u);
    EXPECT_EQ(rest[0].data[1], static_cast<UCHAR>(121));
}

TEST_F(MonitorTest, AdapterWithoutTableEntryAndBadPortsAreHandled)
{
    MonitorStart();
    Add(1, kPortsPerAdapter);  // no such port: ignored
    extension->adapterEntry = nullptr;
    Add(2, 1);
    auto records = Fetch();
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].comNumber, 0u);
}

}  // namespace
