// The line monitor's store and its line texts: what a channel window keeps,
// and what one of its lines reads and where it is drawn.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "assistant/diag/monitor_row.h"
#include "assistant/diag/monitor_store.h"

namespace {

MonitorRecord Payload(ULONG kind, const std::vector<BYTE>& bytes, ULONG slot = 17, ULONGLONG time = 5000)
{
    MonitorRecord record{};
    record.slot = slot;
    record.time = time;
    record.comNumber = 3;
    record.kind = kind;
    record.length = static_cast<ULONG>(bytes.size()) + 1;
    std::memcpy(record.data + 1, bytes.data(), bytes.size());
    return record;
}

diag::MonitorTexts Format(diag::LineMonText& formatter, const MonitorRecord& record, bool hex)
{
    diag::MonitorTexts texts;
    formatter.Format(record, hex, texts);
    return texts;
}

TEST(MonitorStore, KeepsRecordsOldestFirstWithArrivalNumbers)
{
    auto store = std::make_unique<diag::MonitorStore>();
    for (ULONG i = 0; i < 3; ++i) store->Add(Payload(kMonitorKindSent, {}, i));
    EXPECT_EQ(store->Used(), 3u);
    EXPECT_EQ(store->Record(0)->slot, 0u);
    EXPECT_EQ(store->Record(2)->slot, 2u);
    EXPECT_EQ(store->Record(3), nullptr);
    EXPECT_EQ(store->Arrival(0), 1u);
    EXPECT_EQ(store->Arrival(2), 3u);
}

TEST(MonitorStore, WhenFullKeepsTheNewest32768)
{
    auto store = std::make_unique<diag::MonitorStore>();
    const ULONG total = diag::MonitorStore::kSlots + 5;
    for (ULONG i = 0; i < total; ++i) store->Add(Payload(kMonitorKindReceived, {}, i));
    EXPECT_EQ(store->Used(), diag::MonitorStore::kSlots);
    EXPECT_EQ(store->Record(0)->slot, 5u);
    EXPECT_EQ(store->Arrival(0), 6u);
    EXPECT_EQ(store->Record(diag::MonitorStore::kSlots - 1)->slot, total - 1);
}

TEST(MonitorStore, ClearStartsTheArrivalsAgain)
{
    auto store = std::make_unique<diag::MonitorStore>();
    for (ULONG i = 0; i < 4; ++i) store->Add(Payload(kMonitorKindReceived, {}, i));
    store->Clear();
    EXPECT_EQ(store->Used(), 0u);
    EXPECT_EQ(store->Record(0), nullptr);
    store->Add(Payload(kMonitorKindReceived, {}, 9));
    EXPECT_EQ(store->Record(0)->slot, 9u);
    EXPECT_EQ(store->Arrival(0), 1u);
}

TEST(LineMonText, CharacterModeLeavesOutZeroBytes)
{
    diag::LineMonText formatter;
    const auto texts = Format(formatter, Payload(kMonitorKindReceived, {'A', 'B', 0, 'C'}), false);
    EXPECT_STREQ(texts.data, "RX:ABC");
    EXPECT_EQ(texts.dataLength, 6);
    EXPECT_EQ(texts.colour, diag::kColourReceived);
}

TEST(LineMonText, HexModeShowsSentBytesInRed)
{
    diag::LineMonText formatter;
    const auto texts = Format(formatter, Payload(kMonitorKindSent, {0x0D, 0x0A}), true);
    EXPECT_STREQ(texts.data, "TX: 0D 0A");
    EXPECT_EQ(texts.colour, diag::kColourSent);
}

TEST(LineMonText, ARecordWithoutPayloadIsBlack)
{
    diag::LineMonText formatter;
    const auto texts = Format(formatter, Payload(kMonitorKindReceived, {}), true);
    EXPECT_STREQ(texts.data, "RX:");
    EXPECT_EQ(texts.colour, diag::kColourNoData);
}

TEST(LineMonText, TimeCountsFromTheFirstRecordFormattedUntilReset)
{
    diag::LineMonText formatter;
    EXPECT_STREQ(Format(formatter, Payload(kMonitorKindSent, {1}, 17, 1000), true).time, "17 (0.000.000)");
    EXPECT_STREQ(Format(formatter, Payload(kMonitorKindSent, {1}, 18, 1000 + 15012340), true).time,
                 "18 (1.501.234)");
    // Earlier than the base: the difference wraps and is printed unsigned.
    EXPECT_STREQ(Format(formatter, Payload(kMonitorKindSent, {1}, 19, 990), true).time, "19 (2133437386.955.160)");
    formatter.ResetTimeBase();
    EXPECT_STREQ(Format(formatter, Payload(kMonitorKindSent, {1}, 20, 77777777), true).time, "20 (0.000.000)");
}

TEST(LineMonText, LongPayloadsAreCutToWholeBytes)
{
    diag::LineMonText formatter;
    const std::vector<BYTE> many(511, 0x41);
    const auto hex = Format(formatter, Payload(kMonitorKindSent, many), true);
    // 132 bytes fit in hex: "TX:" and 132 times " 41".
    EXPECT_EQ(hex.dataLength, 3 + 132 * 3);
    EXPECT_EQ(std::string(hex.data).substr(hex.dataLength - 3), " 41");
    const auto characters = Format(formatter, Payload(kMonitorKindSent, many), false);
    EXPECT_EQ(characters.dataLength, diag::kMonitorDataTextSize - 1);
}

TEST(LineMonText, ALengthBeyondTheDataIsNotFollowed)
{
    diag::LineMonText formatter;
    MonitorRecord record = Payload(kMonitorKindReceived, std::vector<BYTE>(511, 'q'));
    record.length = 0xFFFFFFFF;
    const auto texts = Format(formatter, record, false);
    EXPECT_EQ(texts.dataLength, diag::kMonitorDataTextSize - 1);
    EXPECT_EQ(std::string(texts.data + 3), std::string(diag::kMonitorDataTextSize - 4, 'q'));
}

class MonitorRowTest : public ::testing::Test {
protected:
    MonitorRowTest() { texts = Format(formatter, Payload(kMonitorKindSent, {0x0D, 0x0A}), true); }
    diag::MonitorRow Layout(int hOffset)
    {
        diag::MonitorRow row;
        diag::LayoutMonitorRow(1, texts, hOffset, 8, row);
        return row;
    }
    static std::string Drawn(const char* text, int count) { return std::string(text, static_cast<size_t>(count)); }

    diag::LineMonText formatter;
    diag::MonitorTexts texts;
};

TEST_F(MonitorRowTest, HeadInBlackThenTheDataBehindIt)
{
    const auto row = Layout(0);
    EXPECT_EQ(Drawn(row.headText, row.headCount), "00001 17 (0.000.000):");
    EXPECT_EQ(row.headX, 5);
    EXPECT_EQ(Drawn(row.dataText, row.dataCount), "TX: 0D 0A");
    EXPECT_EQ(row.dataX, 5 + 21 * 8);
    EXPECT_EQ(row.colour, diag::kColourSent);
}

TEST_F(MonitorRowTest, AnOffsetShiftsTheHeadFirstThenTheData)
{
    auto row = Layout(6);
    EXPECT_EQ(Drawn(row.headText, row.headCount), "17 (0.000.000):");
    EXPECT_EQ(row.dataX, 5 + 15 * 8);
    row = Layout(21 + 4);
    EXPECT_EQ(row.headCount, 0);
    EXPECT_EQ(Drawn(row.dataText, row.dataCount), "0D 0A");
    EXPECT_EQ(row.dataX, 5);
    row = Layout(201);
    EXPECT_EQ(row.headCount, 0);
    EXPECT_EQ(row.dataCount, 0);
}

}  // namespace
