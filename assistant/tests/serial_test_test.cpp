// The port test's COM port and worker against the simulated PC: what the
// worker writes, reads and compares, the retries and the lines it posts, and
// what it leaves behind. A window on the test's thread stands in for the
// dialog and collects the posted messages.
#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>
#include <string>
#include <vector>

#include "assistant/app/app_messages.h"
#include "assistant/app/driver_access.h"
#include "assistant/app/posted_text.h"
#include "assistant/diag/serial_test.h"
#include "assistant/res/resource.h"
#include "bench_session.h"
#include "sched/scheduler.h"
#include "um/um_process.h"

namespace {

using assistant::kExternalLoopback;
using assistant::kInternalLoopback;
using assistant::kTxOnly;

struct Posted {
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    std::string text;
};

std::vector<Posted>* g_posted = nullptr;
constexpr UINT_PTR kWaitTimer = 99;

LRESULT CALLBACK CollectorProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message >= WM_APP && g_posted != nullptr) {
        std::string text;
        if (message == assistant::kStatusTextMessage || message == assistant::kTestStatusMessage) {
            text = assistant::TakePostedText(lParam);
        }
        g_posted->push_back({message, wParam, lParam, text});
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

struct RecordedLog : assistant::StatusLog {
    void AppendStatusLine(const std::string& text) override { lines.push_back(text); }
    std::vector<std::string> lines;
};

class SerialTestTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        g_posted = &posted;
        WNDCLASSA windowClass{};
        windowClass.lpfnWndProc = CollectorProc;
        windowClass.lpszClassName = "PortTestCollector";
        RegisterClassA(&windowClass);
        dialog = CreateWindowExA(0, "PortTestCollector", "collector", WS_OVERLAPPED, 0, 0, 10, 10, nullptr, nullptr,
                                 nullptr, nullptr);
        ASSERT_NE(dialog, nullptr);
        Bench("plug A1");
        handlesBefore = winsim::um::CurrentProcess().Handles().Count();
    }
    // Whatever a test did with the port, it leaves no handle behind.
    void TearDown() override
    {
        EXPECT_EQ(winsim::um::CurrentProcess().Handles().Count(), handlesBefore);
        DestroyWindow(dialog);
        UnregisterClassA("PortTestCollector", nullptr);
        g_posted = nullptr;
    }

    void Bench(const std::string& line) { ASSERT_TRUE(session.RunLine(line)) << out.str(); }
    static int64_t NowMs() { return winsim::Scheduler::Instance().Now() / winsim::kTicksPerMillisecond; }

    // Opens COM3 (port 1 of A1) and configures it as the test does.
    void OpenAndConfigure(CSerialTest& test, DWORD baud, bool handshake)
    {
        ASSERT_EQ(test.Open(3), 1);
        ASSERT_EQ(test.Configure(baud, NOPARITY, ONESTOPBIT, 8, handshake), 0);
    }
    void Dispatch()
    {
        MSG msg;
        ASSERT_GT(GetMessageA(&msg, nullptr, 0, 0), 0);
        DispatchMessageA(&msg);
    }
    // Pumps the window's messages until the worker says it has ended.
    void RunUntilWorkerEnds(CSerialTest& test)
    {
        while (posted.empty() || posted.back().message != assistant::kWorkerEndedMessage) {
            Dispatch();
        }
        EXPECT_TRUE(test.WorkerFinished());
        test.ReleaseWorker();
    }
    // Pumps messages while `milliseconds` of simulated time pass.
    void RunFor(UINT milliseconds)
    {
        SetTimer(dialog, kWaitTimer, milliseconds, nullptr);
        for (;;) {
            MSG msg;
            ASSERT_GT(GetMessageA(&msg, nullptr, 0, 0), 0);
            if (msg.message == WM_TIMER && msg.wParam == kWaitTimer) break;
            DispatchMessageA(&msg);
        }
        KillTimer(dialog, kWaitTimer);
    }
    // A quick test of COM3 run to its end; the worker reports for `port`.
    void RunQuickTest(CSerialTest& test, int mode, int port = 0)
    {
        ASSERT_TRUE(test.StartWorker(mode, true, dialog, 0, port));
        RunUntilWorkerEnds(test);
    }
    // A continuous test of COM3 through a loopback plug at 115200 with the
    // handshake, left running for `milliseconds`.
    void StartContinuousThroughPlug(CSerialTest& test, UINT milliseconds)
    {
        Bench("line A1 1 loopback");
        OpenAndConfigure(test, 115200, true);
        ASSERT_TRUE(test.StartWorker(kExternalLoopback, false, dialog, 0, 0));
        RunFor(milliseconds);
    }
    // A peer on COM3's line that sends the bytes first, first+step, ... up to last, once.
    void Feed(int first, int last, int step)
    {
        std::string hex = "hex:";
        for (int k = first; k != last + step; k += step) {
            const char digits[] = "0123456789abcdef";
            hex += digits[k / 16];
            hex += digits[k % 16];
        }
        Bench("line A1 1 feed " + hex);
    }
    std::vector<std::string> StatusLines() const { return Texts(assistant::kStatusTextMessage); }
    std::vector<std::string> Texts(UINT message) const
    {
        std::vector<std::string> texts;
        for (const Posted& entry : posted) {
            if (entry.message == message) texts.push_back(entry.text);
        }
        return texts;
    }
    size_t Count(UINT message, WPARAM wParam) const
    {
        size_t count = 0;
        for (const Posted& entry : posted) count += entry.message == message && entry.wParam == wParam ? 1 : 0;
        return count;
    }
    // What the monitor saw going out of COM3.
    int MonitorTxBytes()
    {
        std::istringstream lines(session.RunQuietly("monitor fetch"));
        int bytes = 0;
        std::string line;
        while (std::getline(lines, line)) {
            std::istringstream words(line);
            std::string word, slot, com, direction, overrun;
            words >> word >> slot >> com >> direction >> overrun;
            if (com != "com=3" || direction != "tx") continue;
            while (words >> word) ++bytes;
        }
        return bytes;
    }

    std::ostringstream out;
    bench::Session session{out, bench::SessionOptions{}};
    std::vector<Posted> posted;
    HWND dialog = nullptr;
    size_t handlesBefore = 0;
};

// --- The port's configuration -----------------------------------------------

TEST_F(SerialTestTest, ChunkIsAQuarterSecondOfTheLineBetweenOneAndSixtyThree)
{
    const DWORD cases[][2] = {{110, 2}, {300, 7}, {600, 15}, {2400, 60}, {2560, 63}, {9600, 63}, {921600, 63}};
    for (const auto& [baud, chunk] : cases) {
        CSerialTest test;
        OpenAndConfigure(test, baud, false);
        EXPECT_EQ(test.Chunk(), chunk) << baud;
        test.Close();
    }
}

TEST_F(SerialTestTest, AnEmptyReadEndsAfterOneSecondPlusTheBytesAtTheirMultiplier)
{
    // 110 baud: 90 ms a byte; 2 bytes asked for.
    CSerialTest slow;
    OpenAndConfigure(slow, 110, false);
    BYTE buffer[2];
    int64_t start = NowMs();
    EXPECT_EQ(slow.Read(buffer, 2), 0);
    EXPECT_EQ(NowMs() - start, 1000 + 2 * 90);
    slow.Close();
    // 9600 baud: the multiplier is held at 1 ms.
    CSerialTest fast;
    OpenAndConfigure(fast, 9600, false);
    BYTE chunk[63];
    start = NowMs();
    EXPECT_EQ(fast.Read(chunk, 63), 0);
    EXPECT_EQ(NowMs() - start, 1000 + 63);
    start = NowMs();
    EXPECT_EQ(fast.Flush(), 0);
    EXPECT_EQ(NowMs() - start, 1000 + 1);
}

TEST_F(SerialTestTest, ConfigureSetsTheLineAndCloseRestoresThePortsOwnTimeouts)
{
    HANDLE before = CreateFileA("\\\\.\\COM3", GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                FILE_FLAG_OVERLAPPED, nullptr);
    ASSERT_NE(before, INVALID_HANDLE_VALUE);
    COMMTIMEOUTS own = {7, 8, 9, 10, 11};
    ASSERT_TRUE(SetCommTimeouts(before, &own));
    DCB xonxoff{};
    xonxoff.DCBlength = sizeof(xonxoff);
    ASSERT_TRUE(GetCommState(before, &xonxoff));
    xonxoff.fOutX = xonxoff.fInX = 1;
    xonxoff.fAbortOnError = 1;
    ASSERT_TRUE(SetCommState(before, &xonxoff));
    CloseHandle(before);

    CSerialTest test;
    EXPECT_EQ(test.Open(3), 1);
    // Exclusive, as any application's open.
    CSerialTest second;
    EXPECT_EQ(second.Open(3), 0);
    EXPECT_EQ(test.Configure(57600, NOPARITY, ONESTOPBIT, 8, true), 0);
    test.Close();

    HANDLE after = CreateFileA("\\\\.\\COM3", GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                               FILE_FLAG_OVERLAPPED, nullptr);
    ASSERT_NE(after, INVALID_HANDLE_VALUE);
    DCB state{};
    state.DCBlength = sizeof(state);
    ASSERT_TRUE(GetCommState(after, &state));
    EXPECT_EQ(state.BaudRate, 57600u);
    EXPECT_EQ(state.ByteSize, 8);
    EXPECT_EQ(state.Parity, NOPARITY);
    EXPECT_EQ(state.StopBits, ONESTOPBIT);
    EXPECT_EQ(state.fOutxCtsFlow, 1u);
    EXPECT_EQ(state.fOutxDsrFlow, 1u);
    EXPECT_EQ(state.fDtrControl, static_cast<DWORD>(DTR_CONTROL_ENABLE));
    EXPECT_EQ(state.fRtsControl, static_cast<DWORD>(RTS_CONTROL_ENABLE));
    EXPECT_EQ(state.fOutX, 0u);
    EXPECT_EQ(state.fInX, 0u);
    EXPECT_EQ(state.fAbortOnError, 0u);
    COMMTIMEOUTS timeouts{};
    ASSERT_TRUE(GetCommTimeouts(after, &timeouts));
    EXPECT_EQ(timeouts.ReadIntervalTimeout, 7u);
    EXPECT_EQ(timeouts.ReadTotalTimeoutMultiplier, 8u);
    EXPECT_EQ(timeouts.ReadTotalTimeoutConstant, 9u);
    EXPECT_EQ(timeouts.WriteTotalTimeoutMultiplier, 10u);
    EXPECT_EQ(timeouts.WriteTotalTimeoutConstant, 11u);
    CloseHandle(after);
}

TEST_F(SerialTestTest, WithoutHandshakeDtrAndRtsAreHeldOffAndNoPortMeansNegativeResults)
{
    CSerialTest test;
    BYTE byte = 0;
    EXPECT_EQ(test.Write(&byte, 1), -1);
    EXPECT_EQ(test.Read(&byte, 1), -1);
    EXPECT_EQ(test.Configure(9600, NOPARITY, ONESTOPBIT, 8, false), -1);
    EXPECT_EQ(test.Open(20), 0);
    OpenAndConfigure(test, 9600, false);
    test.Close();
    HANDLE port = CreateFileA("\\\\.\\COM3", GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                              FILE_FLAG_OVERLAPPED, nullptr);
    DCB state{};
    state.DCBlength = sizeof(state);
    ASSERT_TRUE(GetCommState(port, &state));
    EXPECT_EQ(state.fOutxCtsFlow, 0u);
    EXPECT_EQ(state.fDtrControl, static_cast<DWORD>(DTR_CONTROL_DISABLE));
    EXPECT_EQ(state.fRtsControl, static_cast<DWORD>(RTS_CONTROL_DISABLE));
    CloseHandle(port);
}

// --- Quick tests --------------------------------------------------------------

TEST_F(SerialTestTest, QuickTxOnlyAt9600WritesTwoChunksOf63AndPasses)
{
    Bench("monitor start");
    CSerialTest test;
    OpenAndConfigure(test, 9600, false);
    RunQuickTest(test, kTxOnly);
    EXPECT_EQ(test.BytesWritten(), 126u);
    EXPECT_EQ(test.BytesRead(), 0u);
    EXPECT_EQ(StatusLines(),
              (std::vector<std::string>{"Serial Test Started in TX-Only Mode",
                                        "++++ Serial Test Completed With No Errors ++++"}));
    EXPECT_EQ(Texts(assistant::kTestStatusMessage), (std::vector<std::string>{"* PASSED *"}));
    EXPECT_EQ(Count(assistant::kTestPassedMessage, 0), 1u);
    EXPECT_EQ(Count(assistant::kTestFailedMessage, 0), 0u);
    EXPECT_EQ(test.Chunk(), 63u);
    test.Close();
    EXPECT_EQ(MonitorTxBytes(), 126);
}

TEST_F(SerialTestTest, QuickExternalLoopbackWithAPlugReadsBackAndComparesTheChunks)
{
    Bench("line A1 1 loopback");
    CSerialTest test;
    OpenAndConfigure(test, 115200, true);
    test.SetDebugLogging(true);
    RunQuickTest(test, kExternalLoopback, 2);
    EXPECT_EQ(test.BytesWritten(), 126u);
    EXPECT_EQ(test.BytesRead(), 126u);
    EXPECT_EQ(StatusLines(),
              (std::vector<std::string>{"SerialTestThread Start", "Serial Test Started in External Loopback Mode",
                                        "++++ Serial Test Completed With No Errors ++++", "SerialTestThread Exit"}));
    EXPECT_EQ(Count(assistant::kTestPassedMessage, 2), 1u);
    EXPECT_EQ(Count(assistant::kWorkerEndedMessage, 2), 1u);
    test.Close();
}

TEST_F(SerialTestTest, QuickLoopbackWithNothingPluggedFailsAfterThreeEmptyReads)
{
    CSerialTest test;
    OpenAndConfigure(test, 9600, true);
    const int64_t start = NowMs();
    RunQuickTest(test, kExternalLoopback, 1);
    // Each empty read of 63 bytes ends at 1 s + 63 ms.
    EXPECT_GE(NowMs() - start, 3 * 1063);
    EXPECT_LT(NowMs() - start, 3 * 1063 + 100);
    EXPECT_EQ(test.BytesWritten(), 63u);
    EXPECT_EQ(StatusLines(),
              (std::vector<std::string>{"Serial Test Started in External Loopback Mode",
                                        "*** Port Test Read Zero Bytes: Reposting read",
                                        "*** Port Test Read Zero Bytes: Reposting read",
                                        "*** Port Test Read Error: No RX data after 2 retries",
                                        "#### Serial Test Completed With Errors ####"}));
    EXPECT_EQ(Texts(assistant::kTestStatusMessage), (std::vector<std::string>{"! SERIAL TEST FAILED !"}));
    EXPECT_EQ(Count(assistant::kTestFailedMessage, 1), 1u);
    EXPECT_EQ(Count(assistant::kTestPassedMessage, 1), 0u);
    // A quick test's failure is final at once: no blinking icon.
    EXPECT_EQ(Count(assistant::kTestIconMessage, IDI_TEST_FAILED), 0u);
}

TEST_F(SerialTestTest, InternalLoopbackOfTheAdapterPassesWithNothingPlugged)
{
    RecordedLog log;
    assistant::DriverAccess driver(log);
    ASSERT_EQ(driver.SetInternalLoopbackMode(0, 0, 1), assistant::kRequestDone);
    CSerialTest test;
    OpenAndConfigure(test, 230400, false);
    RunQuickTest(test, kInternalLoopback);
    EXPECT_EQ(test.BytesRead(), 126u);
    EXPECT_EQ(StatusLines(),
              (std::vector<std::string>{"Serial Test Started in Internal Loopback Mode",
                                        "++++ Serial Test Completed With No Errors ++++"}));
    test.Close();
    EXPECT_TRUE(log.lines.empty());
}

TEST_F(SerialTestTest, BytesOutOfOrderFailTheCompare)
{
    CSerialTest test;
    // With the handshake the port raises RTS, which lets the peer send.
    OpenAndConfigure(test, 9600, true);
    // 63 bytes counting down wait in the port before the worker reads.
    Feed(62, 0, -1);
    RunQuickTest(test, kExternalLoopback);
    EXPECT_EQ(test.BytesRead(), 63u);
    EXPECT_EQ(StatusLines(),
              (std::vector<std::string>{"Serial Test Started in External Loopback Mode",
                                        "*** Port Test: Read Error: Compare",
                                        "#### Serial Test Completed With Errors ####"}));
}

TEST_F(SerialTestTest, APartReadContinuesWhereItStoppedAndCountsNoError)
{
    CSerialTest test;
    OpenAndConfigure(test, 9600, true);
    // The first 10 bytes of the pattern; the other 53 come once the read has reposted.
    Feed(0, 9, 1);
    ASSERT_TRUE(test.StartWorker(kExternalLoopback, true, dialog, 0, 0));
    while (StatusLines().size() < 2) Dispatch();
    Feed(10, 62, 1);
    // The second round reads nothing: the plug is a one-off feed.
    RunUntilWorkerEnds(test);
    const std::vector<std::string> lines = StatusLines();
    ASSERT_GE(lines.size(), 3u);
    EXPECT_EQ(lines[1], "*** Port Test Read Partial: Reposting Read");
    EXPECT_EQ(test.BytesRead(), 63u);
    // The first round compared clean; only the second one's empty reads failed.
    EXPECT_EQ(std::count(lines.begin(), lines.end(), "*** Port Test: Read Error: Compare"), 0);
    EXPECT_EQ(lines.back(), "#### Serial Test Completed With Errors ####");
    EXPECT_EQ(std::count(lines.begin(), lines.end(), "*** Port Test Read Error: No RX data after 2 retries"), 1);
}

// --- Continuous tests ---------------------------------------------------------

TEST_F(SerialTestTest, AContinuousTestStoppedWhileDataFlowsEndsPassed)
{
    CSerialTest test;
    StartContinuousThroughPlug(test, 2000);
    EXPECT_FALSE(test.WorkerFinished());
    const DWORD midway = test.BytesWritten();
    EXPECT_GT(midway, 126u * 10);
    test.RequestStop();
    RunUntilWorkerEnds(test);
    EXPECT_GE(test.BytesRead() + test.Chunk(), test.BytesWritten());
    EXPECT_EQ(StatusLines(),
              (std::vector<std::string>{"Serial Test Started in External Loopback Mode",
                                        "++++ Serial Test Completed With No Errors ++++"}));
    EXPECT_EQ(Count(assistant::kTestPassedMessage, 0), 1u);
    test.Close();
}

TEST_F(SerialTestTest, APulledPlugFailsRoundsWithTheBlinkingIconButTheTestGoesOnUntilStopped)
{
    CSerialTest test;
    StartContinuousThroughPlug(test, 500);
    Bench("line A1 1 none");
    RunFor(8000);
    EXPECT_FALSE(test.WorkerFinished());
    EXPECT_GE(Count(assistant::kTestIconMessage, IDI_TEST_FAILED), 1u);
    for (const Posted& entry : posted) {
        if (entry.message == assistant::kTestIconMessage) {
            EXPECT_EQ(entry.lParam, 1);
        }
    }
    test.RequestStop();
    RunUntilWorkerEnds(test);
    EXPECT_EQ(Texts(assistant::kTestStatusMessage), (std::vector<std::string>{"! SERIAL TEST FAILED !"}));
    EXPECT_EQ(Count(assistant::kTestFailedMessage, 0), 1u);
    test.Close();
}

TEST_F(SerialTestTest, AWorkerLeftRunningIsStoppedWhenItsTestGoesAway)
{
    Bench("line A1 1 loopback");
    {
        CSerialTest test;
        OpenAndConfigure(test, 9600, true);
        ASSERT_TRUE(test.StartWorker(kExternalLoopback, false, dialog, 0, 0));
        RunFor(300);
    }
    EXPECT_EQ(winsim::um::CurrentProcess().Handles().Count(), handlesBefore);
    // Its port is free again.
    CSerialTest again;
    EXPECT_EQ(again.Open(3), 1);
}

}  // namespace
