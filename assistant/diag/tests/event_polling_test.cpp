// The event window's timer tick against a scripted driver: clearing, how
// many requests a tick sends, overruns, failures and the re-entrancy guard.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "assistant/diag/event_polling.h"
#include "common/control_codes.h"
#include "scripted_driver.h"

namespace {

using diag_test::ScriptedDriver;

struct RecordingView : diag::EventLogView {
    void AppendLine(const char* text) override
    {
        lines.push_back(text);
        if (onAppend) onAppend();
    }
    void ShowOverruns(int count) override { overrunPane = "OVRs: " + std::to_string(count); }
    void Halt() override { ++halts; }

    std::vector<std::string> lines;
    std::string overrunPane;
    int halts = 0;
    std::function<void()> onAppend;
};

// A reply of `count` open-complete events numbered from seq, 1 ms apart.
std::vector<BYTE> Events(ULONG count, ULONG seq, std::vector<ULONG> gaps = {})
{
    std::vector<BYTE> bytes(count * sizeof(EventRecord));
    for (ULONG i = 0; i < count; ++i) {
        EventRecord record{};
        record.entry.code = 40;
        record.entry.unit = 1;
        record.entry.port = 2;
        record.entry.time = 50000000 + 10000ull * (seq + i);
        record.entry.seq = seq + i;
        for (const ULONG gap : gaps) record.gap |= gap == i ? 1u : 0u;
        std::memcpy(bytes.data() + i * sizeof(EventRecord), &record, sizeof(record));
    }
    return bytes;
}

class EventPollingTest : public ::testing::Test {
protected:
    EventPollingTest() { polling.enabled = 1; }

    std::vector<std::string> LinesContaining(const std::string& part) const
    {
        std::vector<std::string> found;
        for (const std::string& line : view.lines) {
            if (line.find(part) != std::string::npos) found.push_back(line);
        }
        return found;
    }

    diag::EventLogState state;
    ScriptedDriver driver;
    RecordingView view;
    diag::EventPolling polling{state, driver, view};
};

TEST_F(EventPollingTest, AnEmptyLogCostsOneRequestAndWritesNothingFurther)
{
    polling.Tick();
    EXPECT_EQ(view.lines, std::vector<std::string>{"+++++++ Driver Loaded Successfully +++++++"});
    polling.Tick();
    EXPECT_EQ(view.lines.size(), 1u);
    EXPECT_EQ(driver.Count(IOCTL_TMAN_APP_GET_NEXT_EVENT), 2);
    EXPECT_EQ(driver.openCount, 1);
}

TEST_F(EventPollingTest, AHundredRecordReplyEndsTheTick)
{
    driver.standingReply = Events(100, 0);
    polling.Tick();
    EXPECT_EQ(driver.Count(IOCTL_TMAN_APP_GET_NEXT_EVENT), 1);
    EXPECT_EQ(LinesContaining("Events Request returned"),
              std::vector<std::string>{"Events Request returned 5600 bytes (100 Records)"});
    EXPECT_EQ(LinesContaining("openComplete").size(), 100u);
    EXPECT_EQ(state.eventNumber, 100u);
}

TEST_F(EventPollingTest, ThirtyRecordRepliesTakeTwoRequestsATick)
{
    driver.standingReply = Events(30, 0);
    polling.Tick();
    EXPECT_EQ(driver.Count(IOCTL_TMAN_APP_GET_NEXT_EVENT), 2);
    EXPECT_EQ(LinesContaining("openComplete").size(), 60u);
    polling.Tick();
    EXPECT_EQ(driver.Count(IOCTL_TMAN_APP_GET_NEXT_EVENT), 4);
}

TEST_F(EventPollingTest, GapRecordsAreMarkedAndCounted)
{
    driver.replies.push_back(Events(4, 10, {1, 3}));
    polling.Tick();
    EXPECT_EQ(LinesContaining("*** Buffer Overrun ***").size(), 2u);
    EXPECT_EQ(polling.overruns, 2);
    EXPECT_EQ(view.overrunPane, "OVRs: 2");
    // The mark comes before the record it belongs to.
    const auto at = std::find(view.lines.begin(), view.lines.end(), "*** Buffer Overrun ***");
    ASSERT_NE(at + 1, view.lines.end());
    EXPECT_EQ((at + 1)->substr(0, 8), "1 (11 0.");
}

TEST_F(EventPollingTest, ClearStartsNumberTimeAndOverrunsAfreshAndClearsTheDriver)
{
    driver.replies.push_back(Events(3, 0, {0}));
    polling.Tick();
    ASSERT_EQ(polling.overruns, 1);
    polling.Clear();
    view.lines.clear();
    EXPECT_EQ(view.overrunPane, "OVRs: 0");
    driver.replies.push_back(Events(2, 7));
    polling.Tick();
    EXPECT_EQ(driver.Count(IOCTL_TMAN_APP_CLEAR_EVENTS), 1);
    EXPECT_EQ(driver.requests.back(), IOCTL_TMAN_APP_GET_NEXT_EVENT);
    ASSERT_EQ(view.lines.size(), 3u);
    EXPECT_EQ(view.lines[1], "0 (7 0.000.000): openComplete (1/2)  0");
    EXPECT_EQ(view.lines[2], "1 (8 0.001.000): openComplete (1/2)  0");
    EXPECT_EQ(polling.overruns, 0);
}

TEST_F(EventPollingTest, ADriverThatCannotBeOpenedHaltsTheWindow)
{
    driver.opens = false;
    polling.Tick();
    EXPECT_EQ(view.lines, std::vector<std::string>{"******** Failed To Load Driver ********"});
    EXPECT_EQ(view.halts, 1);
    EXPECT_TRUE(driver.requests.empty());
}

TEST_F(EventPollingTest, AFailedFetchClosesTheHandleAndTheNextTickReopens)
{
    driver.failCode = IOCTL_TMAN_APP_GET_NEXT_EVENT;
    driver.failError = 31;
    polling.Tick();
    EXPECT_EQ(view.lines.back(),
              "DBG: *** DeviceIoControl(IOCTL_TMAN_APP_GET_NEXT_EVENT) call failed: errorcode=31(0x1f) ***");
    EXPECT_FALSE(driver.IsOpen());
    driver.failCode = 0;
    polling.Tick();
    EXPECT_EQ(driver.openCount, 2);
    EXPECT_EQ(LinesContaining("Driver Loaded Successfully").size(), 2u);
}

TEST_F(EventPollingTest, AFailedClearSkipsTheFetchOfThatTick)
{
    polling.Clear();
    driver.failCode = IOCTL_TMAN_APP_CLEAR_EVENTS;
    driver.failError = 1;
    polling.Tick();
    EXPECT_EQ(view.lines.back(),
              "DBG: *** DeviceIoControl(IOCTL_TMAN_APP_CLEAR_EVENTS) call failed: errorcode=1(0x1) ***");
    EXPECT_EQ(driver.Count(IOCTL_TMAN_APP_GET_NEXT_EVENT), 0);
    EXPECT_FALSE(driver.IsOpen());
    EXPECT_EQ(polling.clearPending, 0);
}

TEST_F(EventPollingTest, AHaltedWindowOnlyClears)
{
    polling.enabled = 0;
    polling.Tick();
    EXPECT_TRUE(driver.requests.empty());
    polling.Clear();
    polling.Tick();
    EXPECT_EQ(driver.requests, std::vector<DWORD>{IOCTL_TMAN_APP_CLEAR_EVENTS});
}

TEST_F(EventPollingTest, MoreRecordsThanAskedForAreCutToAHundred)
{
    driver.replies.push_back(Events(100, 0));
    driver.claimedBytes = 101 * sizeof(EventRecord);
    polling.Tick();
    EXPECT_EQ(LinesContaining("*** Driver returned more events than requested (nRet) ***").size(), 1u);
    EXPECT_EQ(LinesContaining("openComplete").size(), 100u);
    EXPECT_EQ(driver.Count(IOCTL_TMAN_APP_GET_NEXT_EVENT), 1);
}

TEST_F(EventPollingTest, ATickStartedDuringATickIsDropped)
{
    driver.standingReply = Events(30, 0);
    int nested = 0;
    view.onAppend = [&] {
        if (nested++ == 0) polling.Tick();
    };
    polling.Tick();
    EXPECT_EQ(driver.Count(IOCTL_TMAN_APP_GET_NEXT_EVENT), 2);
    // The guard is down again afterwards.
    view.onAppend = nullptr;
    polling.Tick();
    EXPECT_EQ(driver.Count(IOCTL_TMAN_APP_GET_NEXT_EVENT), 4);
}

}  // namespace
