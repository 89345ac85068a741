// The line monitor's polling against a scripted driver: switching the
// driver's monitor, routing records by COM number, overruns, failures and
// the channel table.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "assistant/diag/monitor_polling.h"
#include "common/control_codes.h"
#include "scripted_driver.h"

namespace {

using diag_test::ScriptedDriver;

struct Channel : diag::MonitorChannelWindow {
    void AddRecord(const MonitorRecord& record) override { slots.push_back(record.slot); }
    std::vector<ULONG> slots;
};

struct FrameView : diag::MonitorFrameView {
    void StartPollTimer() override { timer = true; }
    void StopPollTimer() override { timer = false; }
    void ShowMonitoring(bool on) override { state = on ? "Enabled" : "Halted"; }
    void ShowOverruns(int count) override { overrunPane = count; }
    bool timer = false;
    std::string state;
    int overrunPane = -1;
};

struct Rec {
    ULONG slot;
    ULONG com;
    ULONG overrun = 0;
};

std::vector<BYTE> Records(const std::vector<Rec>& list)
{
    std::vector<BYTE> bytes(list.size() * sizeof(MonitorRecord));
    for (size_t i = 0; i < list.size(); ++i) {
        MonitorRecord record{};
        record.slot = list[i].slot;
        record.comNumber = list[i].com;
        record.kind = kMonitorKindSent;
        record.overrun = list[i].overrun;
        record.length = 2;
        record.data[1] = 'x';
        std::memcpy(bytes.data() + i * sizeof(record), &record, sizeof(record));
    }
    return bytes;
}

class MonitorPollingTest : public ::testing::Test {
protected:
    void Watch(int entry, ULONG com, Channel& window)
    {
        state.channels[entry].channelId = com;
        state.channels[entry].window = &window;
    }

    diag::MonitorState state;
    ScriptedDriver driver;
    FrameView view;
    diag::MonitorPolling polling{state, driver, view};
    Channel com3;
    Channel com5;
};

TEST_F(MonitorPollingTest, ResumeStartsTheDriverAndPollsAtOnce)
{
    Watch(0, 3, com3);
    driver.replies.push_back(Records({{0, 3}}));
    polling.Resume();
    EXPECT_EQ(driver.requests, (std::vector<DWORD>{IOCTL_TMAN_APP_START_MONITOR, IOCTL_TMAN_APP_GET_NEXT_MONITOR}));
    EXPECT_EQ(polling.monitoring, 1);
    EXPECT_EQ(polling.driverStarted, 1);
    EXPECT_TRUE(view.timer);
    EXPECT_EQ(view.state, "Enabled");
    EXPECT_EQ(com3.slots, std::vector<ULONG>{0});
    // Resumed again while on, only the display is refreshed.
    polling.Resume();
    EXPECT_EQ(driver.requests.size(), 2u);
}

TEST_F(MonitorPollingTest, RecordsGoOnlyToTheWindowOfTheirComNumber)
{
    Watch(0, 3, com3);
    Watch(1, 5, com5);
    polling.Resume();
    driver.replies.push_back(Records({{1, 3}, {2, 7}, {3, 5}, {4, 3}}));
    polling.Poll();
    EXPECT_EQ(com3.slots, (std::vector<ULONG>{1, 4}));
    EXPECT_EQ(com5.slots, (std::vector<ULONG>{3}));
    EXPECT_EQ(polling.channelCount, 2);
}

TEST_F(MonitorPollingTest, OverrunMarksAndOversizedRepliesAreCounted)
{
    Watch(0, 3, com3);
    polling.Resume();
    driver.replies.push_back(Records({{1, 3, 1}, {2, 9, 1}, {3, 3}}));
    polling.Poll();
    EXPECT_EQ(polling.overruns, 2);
    EXPECT_EQ(view.overrunPane, 2);
    driver.replies.push_back(Records(std::vector<Rec>(18, {5, 3})));
    driver.claimedBytes = 20000;
    polling.Poll();
    EXPECT_EQ(polling.overruns, 3);
    EXPECT_EQ(com3.slots.size(), 2u + 18u);
    polling.ClearOverruns();
    EXPECT_EQ(view.overrunPane, 0);
}

TEST_F(MonitorPollingTest, FullRepliesAreFollowedByMoreRequestsInTheSameTick)
{
    Watch(0, 3, com3);
    polling.Resume();
    const int before = driver.Count(IOCTL_TMAN_APP_GET_NEXT_MONITOR);
    driver.replies.push_back(Records(std::vector<Rec>(18, {1, 3})));
    driver.replies.push_back(Records(std::vector<Rec>(18, {2, 3})));
    driver.replies.push_back(Records(std::vector<Rec>(5, {3, 3})));
    driver.replies.push_back(Records(std::vector<Rec>(18, {4, 3})));
    polling.Poll();
    EXPECT_EQ(driver.Count(IOCTL_TMAN_APP_GET_NEXT_MONITOR) - before, 3);
    EXPECT_EQ(com3.slots.size(), 41u);
    // A driver that never runs dry is asked no more than its ring can hold.
    driver.replies.clear();
    driver.standingReply = Records(std::vector<Rec>(18, {5, 3}));
    const int fetched = driver.Count(IOCTL_TMAN_APP_GET_NEXT_MONITOR);
    polling.Poll();
    EXPECT_EQ(driver.Count(IOCTL_TMAN_APP_GET_NEXT_MONITOR) - fetched, diag::kMonitorFetchesPerTick);
}

TEST_F(MonitorPollingTest, ClosingEveryChannelStopsTheDriverAtTheNextTick)
{
    Watch(0, 3, com3);
    polling.Resume();
    state.channels[0].window = nullptr;
    polling.Poll();
    EXPECT_EQ(driver.requests.back(), IOCTL_TMAN_APP_STOP_MONITOR);
    EXPECT_FALSE(driver.IsOpen());
    EXPECT_FALSE(view.timer);
    EXPECT_EQ(polling.monitoring, 0);
    EXPECT_EQ(polling.driverStarted, 0);
}

TEST_F(MonitorPollingTest, AFailedFetchClosesAndTheNextTickStartsTheDriverAgain)
{
    Watch(0, 3, com3);
    polling.Resume();
    driver.failCode = IOCTL_TMAN_APP_GET_NEXT_MONITOR;
    polling.Poll();
    EXPECT_FALSE(driver.IsOpen());
    EXPECT_EQ(driver.requests.back(), IOCTL_TMAN_APP_STOP_MONITOR);
    EXPECT_EQ(polling.monitoring, 1);
    driver.failCode = 0;
    polling.Poll();
    EXPECT_EQ(driver.Count(IOCTL_TMAN_APP_START_MONITOR), 2);
    EXPECT_TRUE(driver.IsOpen());
}

TEST_F(MonitorPollingTest, ANoOpenDeviceLeavesMonitoringOnToRetry)
{
    Watch(0, 3, com3);
    driver.opens = false;
    polling.Resume();
    EXPECT_EQ(polling.monitoring, 1);
    EXPECT_TRUE(driver.requests.empty());
    driver.opens = true;
    polling.Poll();
    EXPECT_EQ(driver.requests, (std::vector<DWORD>{IOCTL_TMAN_APP_START_MONITOR, IOCTL_TMAN_APP_GET_NEXT_MONITOR}));
}

TEST_F(MonitorPollingTest, HaltSwitchesTheDriverOffAndClosesTheHandle)
{
    Watch(0, 3, com3);
    polling.Resume();
    polling.Halt();
    EXPECT_EQ(driver.requests.back(), IOCTL_TMAN_APP_STOP_MONITOR);
    EXPECT_FALSE(driver.IsOpen());
    EXPECT_EQ(view.state, "Halted");
    EXPECT_FALSE(view.timer);
}

TEST_F(MonitorPollingTest, NoNinthChannelAndNoSecondWindowForOneComNumber)
{
    Channel windows[diag::kMonitorChannels];
    EXPECT_EQ(polling.ChannelSlotFor(4), 0);
    for (int i = 0; i < diag::kMonitorChannels; ++i) Watch(i, 10 + i, windows[i]);
    EXPECT_EQ(polling.ChannelSlotFor(4), -1);
    // With the first entry free again, a COM number still watched further on gets no second window.
    state.channels[0].window = nullptr;
    EXPECT_EQ(polling.ChannelSlotFor(15), -1);
    EXPECT_EQ(polling.ChannelSlotFor(4), 0);
    EXPECT_TRUE(diag::IsMonitored(state, 17));
    EXPECT_FALSE(diag::IsMonitored(state, 10));
}

}  // namespace
