// The diagnostics windows' polling against the simulated PC: the real driver
// behind its control device, events posted through the driver's producer,
// serial traffic through a loopback plug, the log file on the PC's disk.
#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>
#include <string>
#include <vector>

#include "assistant/diag/event_log_file.h"
#include "assistant/diag/event_polling.h"
#include "assistant/diag/monitor_polling.h"
#include "bench_session.h"

namespace {

struct LogView : diag::EventLogView {
    void AppendLine(const char* text) override
    {
        lines.push_back(text);
        arena.Append(text, (*nextLineNumber)++);
    }
    void ShowOverruns(int count) override { overrunPane = "OVRs: " + std::to_string(count); }
    void Halt() override { ++halts; }

    std::vector<std::string> lines;
    diag::LineArena arena;
    ULONG* nextLineNumber = nullptr;
    std::string overrunPane = "OVRs: 0";
    int halts = 0;
};

class DiagnosticsDriverTest : public ::testing::Test {
protected:
    DiagnosticsDriverTest() { view.nextLineNumber = &state.nextLineNumber; }
    ~DiagnosticsDriverTest() override
    {
        channel.Close();
        monitorChannel.Close();
    }

    void Bench(const std::string& line) { ASSERT_TRUE(session.RunLine(line)) << out.str(); }
    std::vector<std::string> FileLines(const std::string& path)
    {
        std::istringstream text(session.RunQuietly("file get " + path));
        std::vector<std::string> lines;
        for (std::string line; std::getline(text, line);) lines.push_back(line);
        return lines;
    }

    std::ostringstream out;
    bench::Session session{out, bench::SessionOptions{}};
    diag::EventLogState state;
    diag::HandleChannel channel{state.device};
    LogView view;
    diag::EventPolling events{state, channel, view};
    diag::MonitorState monitorState;
    diag::HandleChannel monitorChannel{monitorState.device};
};

TEST_F(DiagnosticsDriverTest, WithoutAnAdapterTheWindowHalts)
{
    events.enabled = 1;
    events.Tick();
    EXPECT_EQ(view.lines, std::vector<std::string>{"******** Failed To Load Driver ********"});
    EXPECT_EQ(view.halts, 1);
}

TEST_F(DiagnosticsDriverTest, PostedEventsAreDecodedAndAClearStartsAtZero)
{
    Bench("plug A1");
    Bench("testaid postevent 40 1 2 0 0 0 0 0 0 2");
    events.enabled = 1;
    events.Tick();
    EXPECT_EQ(view.lines, (std::vector<std::string>{
                              "+++++++ Driver Loaded Successfully +++++++",
                              "Events Request returned 112 bytes (2 Records)",
                              "0 (0 0.000.000): openComplete (1/2)  0",
                              "1 (1 0.000.000): openComplete (1/2)  0",
                          }));
    Bench("wait 1500ms");
    Bench("testaid postevent 41 1 3 7 0 0 0 0 0");
    events.Tick();
    EXPECT_EQ(view.lines.back(), "2 (2 1.500.000): closeComplete (1/3)  7");

    events.Clear();
    Bench("wait 2s");
    Bench("testaid postevent 40 2 4 0 0 0 0 0 0");
    events.Tick();
    EXPECT_EQ(view.lines.back(), "0 (3 0.000.000): openComplete (2/4)  0");
    EXPECT_EQ(view.overrunPane, "OVRs: 0");
}

TEST_F(DiagnosticsDriverTest, EventsLostInTheDriverShowAsAnOverrun)
{
    Bench("plug A1");
    // 501 entries overwrite the first in the driver's 500-entry log.
    Bench("testaid postevent 22 1 1 0 0 0 0 0 0 501");
    events.enabled = 1;
    events.Tick();
    EXPECT_EQ(view.lines[1], "Events Request returned 5600 bytes (100 Records)");
    EXPECT_EQ(view.lines[2], "*** Buffer Overrun ***");
    EXPECT_EQ(view.lines[3], "0 (1 0.000.000): globDebug (n = 0x1  b = 0x1)");
    EXPECT_EQ(view.overrunPane, "OVRs: 1");
    // Five more ticks take the rest, 100 a tick.
    for (int i = 0; i < 5; ++i) events.Tick();
    EXPECT_EQ(state.eventNumber, 500u);
}

TEST_F(DiagnosticsDriverTest, TheSavedFileNumbersLinesSinceStartAcrossDroppedLines)
{
    // Enough lines that the arena has dropped its oldest.
    const std::string text(200, 'e');
    for (ULONG n = 0; n < 6000; ++n) view.AppendLine(text.c_str());
    const ULONG first = diag::LineArena::LineNumber(view.arena.Oldest());
    ASSERT_GT(first, 1u);

    SYSTEMTIME now{};
    now.wYear = 2026;
    now.wMonth = 3;
    now.wDay = 4;
    now.wHour = 9;
    now.wMinute = 5;
    now.wSecond = 7;
    now.wMilliseconds = 42;
    ASSERT_TRUE(diag::SaveEventLog(view.arena, "C:\\TessaryEventLog.txt", now));
    const auto lines = FileLines("C:\\TessaryEventLog.txt");
    ASSERT_EQ(lines.size(), 3 + view.arena.LineCount());
    EXPECT_EQ(lines[1], "file line \"QTR12 Event Log: 2026/03/04 09:05:07.42\"");
    EXPECT_EQ(lines[2], "file line \"\"");
    EXPECT_EQ(lines[3], "file line \"" + std::to_string(first) + ": " + text + "\"");
    EXPECT_EQ(lines.back(), "file line \"6000: " + text + "\"");
}

TEST_F(DiagnosticsDriverTest, AFileThatCannotBeCreatedIsReported)
{
    view.AppendLine("one");
    SYSTEMTIME now{};
    EXPECT_FALSE(diag::SaveEventLog(view.arena, "C:\\NoSuchFolder\\log.txt", now));
}

struct Channel : diag::MonitorChannelWindow {
    void AddRecord(const MonitorRecord& record) override { records.push_back(record); }
    std::vector<MonitorRecord> records;
};

struct FrameView : diag::MonitorFrameView {
    void StartPollTimer() override {}
    void StopPollTimer() override {}
    void ShowMonitoring(bool) override {}
    void ShowOverruns(int count) override { overruns = count; }
    int overruns = 0;
};

std::string Payload(const MonitorRecord& record)
{
    return std::string(reinterpret_cast<const char*>(record.data + 1), record.length - 1);
}

TEST_F(DiagnosticsDriverTest, ALoopbackPortShowsItsTrafficInItsOwnWindowOnly)
{
    Bench("plug A1");
    Bench("line A1 1 loopback");
    Bench("open COM3");
    Bench("comm COM3 baud=115200 data=8 parity=none stop=1");
    FrameView frame;
    diag::MonitorPolling monitor(monitorState, monitorChannel, frame);
    Channel com3;
    Channel com4;
    monitorState.channels[0] = {3, &com3};
    monitorState.channels[1] = {4, &com4};
    monitor.Resume();
    Bench("write COM3 \"hello\"");
    Bench("read COM3 5 timeout=100ms");
    monitor.Poll();
    ASSERT_EQ(com3.records.size(), 2u);
    EXPECT_EQ(com3.records[0].kind, kMonitorKindSent);
    EXPECT_EQ(Payload(com3.records[0]), "hello");
    EXPECT_EQ(com3.records[1].kind, kMonitorKindReceived);
    EXPECT_EQ(Payload(com3.records[1]), "hello");
    EXPECT_TRUE(com4.records.empty());

    // No window left: the next tick switches the driver's monitor off.
    monitorState.channels[0].window = nullptr;
    monitorState.channels[1].window = nullptr;
    monitor.Poll();
    EXPECT_EQ(monitor.monitoring, 0);
    Bench("write COM3 \"again\"");
    Bench("read COM3 5 timeout=100ms");
    Bench("monitor fetch");
    EXPECT_EQ(out.str().find("monitor slot="), std::string::npos) << out.str();
}

}  // namespace
