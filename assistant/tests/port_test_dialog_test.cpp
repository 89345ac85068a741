// The port test as a user runs it: the Assistant on the simulated PC, its
// Properties page driven through the bench's ui commands, the lines plugged
// into the adapter's ports, and what the page, the status log, the driver
// and the Assistant's process show afterwards.
#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>
#include <string>
#include <vector>

#include "assistant/res/resource.h"
#include "bench_test.h"
#include "sched/scheduler.h"

namespace bench {
namespace {

constexpr int kPropertiesPage = 165;

HWND FindDescendant(HWND root, int id)
{
    struct Search {
        int id;
        HWND found;
    } search{id, nullptr};
    EnumChildWindows(
        root,
        [](HWND window, LPARAM context) -> BOOL {
            auto* s = reinterpret_cast<Search*>(context);
            if (GetDlgCtrlID(window) != s->id) return TRUE;
            s->found = window;
            return FALSE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

class PortTestDialogTest : public BenchTest {
protected:
    void SetUp() override
    {
        Run("plug A1");
        Run("assistant start");
        ASSERT_TRUE(last);
        program = session.Machine().Programs().Current();
        ASSERT_NE(program, nullptr);
        mainDialog = TargetOf(*program);
        page = FindDescendant(mainDialog, kPropertiesPage);
        ASSERT_NE(page, nullptr);
        Do("ui select 1085 1");
        handlesBefore = program->process->Handles().Count();
    }

    void Do(const std::string& line)
    {
        Run(line);
        ASSERT_TRUE(last) << line << ": " << out.str();
    }
    std::string Text(int id)
    {
        const std::string line = Run("ui text 165:" + std::to_string(id));
        const size_t open = line.find('"');
        return line.substr(open + 1, line.rfind('"') - open - 1);
    }
    HWND Control(int id) const { return GetDlgItem(page, id); }
    // The status log's texts without their time, leaving out the poll's port-use lines.
    std::vector<std::string> TestLog()
    {
        std::istringstream items(Run("ui items 1016"));
        std::vector<std::string> lines;
        std::string line;
        while (std::getline(items, line)) {
            const size_t text = line.find(" -- ");
            std::string entry = line.substr(text + 4, line.size() - text - 5);
            if (entry.find("IN USE") == std::string::npos) lines.push_back(entry);
        }
        return lines;
    }
    // The icon control 1027 shows now, as an id of the test icons (0: none).
    int ShownIcon()
    {
        const auto shown = reinterpret_cast<HICON>(SendMessageA(Control(IDC_TEST_STATUS_ICON), STM_GETICON, 0, 0));
        if (shown == nullptr) return 0;
        // Shared icons are per program: look them up as the Assistant.
        winsim::ui::BindThreadToProgram(program->windows);
        const auto module = reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(mainDialog, GWLP_HINSTANCE));
        int id = -1;
        for (int candidate : {IDI_TEST_IDLE, IDI_TEST_PASSED, IDI_TEST_FAILED}) {
            if (LoadIconA(module, MAKEINTRESOURCEA(candidate)) == shown) id = candidate;
        }
        winsim::ui::BindThreadToProgram(nullptr);
        return id;
    }
    // The icon over two blink phases: the same both times when still.
    std::pair<int, int> IconOverOneSecond()
    {
        const int first = ShownIcon();
        Do("wait 500ms");
        return {first, ShownIcon()};
    }
    static int64_t NowMs() { return winsim::Scheduler::Instance().Now() / winsim::kTicksPerMillisecond; }
    void ChooseInternalLoopback()
    {
        // The page keeps this mode's radio hidden; a program could still check it.
        SendMessageA(Control(IDC_MODE_TX_ONLY), BM_SETCHECK, BST_UNCHECKED, 0);
        SendMessageA(Control(IDC_MODE_INT_LOOPBACK), BM_SETCHECK, BST_CHECKED, 0);
    }
    size_t Handles() const { return program->process->Handles().Count(); }

    GuiProgram* program = nullptr;
    HWND mainDialog = nullptr;
    HWND page = nullptr;
    size_t handlesBefore = 0;
};

TEST_F(PortTestDialogTest, AQuickTxOnlyTestAt9600SendsTwoChunksOf63AndPasses)
{
    EXPECT_EQ(Text(IDC_TEST_STATUS_TEXT), "READY TO TEST");
    Do("monitor start");
    Do("ui select 165:1080 \"9600\"");
    Do("ui click 165:1002");
    Do("wait 3s");
    EXPECT_EQ(Text(IDC_TEST_STATUS_TEXT), "* PASSED *");
    EXPECT_EQ(Text(IDC_TEST_THIS_PORT), "Test This Port");
    EXPECT_EQ(IconOverOneSecond(), std::make_pair(IDI_TEST_PASSED, IDI_TEST_PASSED));
    EXPECT_EQ(TestLog(), (std::vector<std::string>{"Serial Test Started in TX-Only Mode",
                                                   "++++ Serial Test Completed With No Errors ++++"}));
    // The pattern 0 to 62 twice; the adapter's messages carry 62 bytes at most.
    const std::string chunk =
        "00 01 02 03 04 05 06 07 08 09 0a 0b 0c 0d 0e 0f 10 11 12 13 14 15 16 17 18 19 1a 1b 1c 1d 1e 1f 20 21 22 "
        "23 24 25 26 27 28 29 2a 2b 2c 2d 2e 2f 30 31 32 33 34 35 36 37 38 39 3a 3b 3c 3d\n";
    EXPECT_EQ(Run("monitor fetch"), "monitor slot=0 com=3 tx overrun=0 " + chunk +
                                        "monitor slot=1 com=3 tx overrun=0 3e\n"
                                        "monitor slot=2 com=3 tx overrun=0 " + chunk +
                                        "monitor slot=3 com=3 tx overrun=0 3e\n");
    // The test is over: its port, its event handles and its thread are gone.
    EXPECT_EQ(Handles(), handlesBefore);
    EXPECT_EQ(Run("open COM3"), "open COM3 ok\n");
}

TEST_F(PortTestDialogTest, ExternalLoopbackPassesThroughAPlugAndFailsAfterThreeEmptyReadsWithout)
{
    Do("line A1 1 loopback");
    Do("ui click 165:1004");
    Do("ui select 165:1080 \"115200\"");
    Do("ui click 165:1002");
    Do("wait 3s");
    EXPECT_EQ(Text(IDC_TEST_STATUS_TEXT), "* PASSED *");
    EXPECT_EQ(ShownIcon(), IDI_TEST_PASSED);

    Do("line A1 1 none");
    Do("ui select 1085 3");
    Do("ui click 1090");
    Do("ui select 1085 1");
    Do("ui click 165:1002");
    Do("wait 6s");
    EXPECT_EQ(Text(IDC_TEST_STATUS_TEXT), "! SERIAL TEST FAILED !");
    EXPECT_EQ(IconOverOneSecond(), std::make_pair(IDI_TEST_FAILED, IDI_TEST_FAILED));
    EXPECT_EQ(TestLog(), (std::vector<std::string>{"Serial Test Started in External Loopback Mode",
                                                   "*** Port Test Read Zero Bytes: Reposting read",
                                                   "*** Port Test Read Zero Bytes: Reposting read",
                                                   "*** Port Test Read Error: No RX data after 2 retries",
                                                   "#### Serial Test Completed With Errors ####"}));
    EXPECT_EQ(Handles(), handlesBefore);
}

TEST_F(PortTestDialogTest, InternalLoopbackPassesWithNothingPluggedAndIsSwitchedOffAfterwards)
{
    ChooseInternalLoopback();
    Do("ui click 165:1002");
    Do("wait 3s");
    EXPECT_EQ(Text(IDC_TEST_STATUS_TEXT), "* PASSED *");
    EXPECT_EQ(TestLog(), (std::vector<std::string>{"Serial Test Started in Internal Loopback Mode",
                                                   "++++ Serial Test Completed With No Errors ++++"}));
    // Back to the line: what is written no longer comes back.
    Do("open COM3");
    Do("write COM3 \"x\"");
    EXPECT_EQ(Run("read COM3 1 timeout=100ms"), "read COM3 0\n");
}

TEST_F(PortTestDialogTest, At110BaudTheChunkIsTwoBytesAndEachByteGives90Ms)
{
    Do("ui click 165:1004");
    Do("ui select 165:1080 \"110\"");
    Do("monitor start");
    const int64_t start = NowMs();
    Do("ui click 165:1002");
    while (Text(IDC_TEST_STATUS_TEXT) != "! SERIAL TEST FAILED !" && NowMs() - start < 10000) Do("wait 10ms");
    // The flush's one-byte read, then three empty reads of two bytes: 1 s plus 90 ms a byte each;
    // closing gives the two bytes the handshake held back their line time.
    const int64_t expected = (1000 + 90) + 3 * (1000 + 2 * 90) + 2 * 90;
    EXPECT_GE(NowMs() - start, expected);
    EXPECT_LE(NowMs() - start, expected + 30);
    EXPECT_EQ(Run("monitor fetch"), "monitor slot=0 com=3 tx overrun=0 00 01\n");
}

TEST_F(PortTestDialogTest, AllPortsSkipsABusyPortAndClearsItsFlagWhenNoneStarted)
{
    Do("open COM4");
    Do("wait 1s");
    // The click's handler flushes each port for a second and runs its test;
    // the click returns once the handler has, so the page reads as it ended.
    Do("ui click 165:1003");
    EXPECT_EQ(Text(IDC_TEST_STATUS_TEXT), "* PASSED *");
    EXPECT_EQ(Text(IDC_TEST_ALL_PORTS), "Test All Ports");
    const std::vector<std::string> log = TestLog();
    EXPECT_EQ(std::count(log.begin(), log.end(), "Serial Test Started in TX-Only Mode"), 3);
    EXPECT_EQ(std::count(log.begin(), log.end(), "++++ Serial Test Completed With No Errors ++++"), 3);
    // COM4 stayed the bench's.
    EXPECT_EQ(Run("write COM4 \"still mine\""), "write COM4 10\n");

    // With every port busy the button is disabled; a click that reaches the
    // page anyway starts nothing and must leave the all-ports flag down.
    for (const char* com : {"COM3", "COM5", "COM6"}) Do(std::string("open ") + com);
    Do("wait 1s");
    SendMessageA(page, WM_COMMAND, MAKEWPARAM(IDC_TEST_ALL_PORTS, BN_CLICKED),
                 reinterpret_cast<LPARAM>(Control(IDC_TEST_ALL_PORTS)));
    for (const char* com : {"COM3", "COM4", "COM5", "COM6"}) Do(std::string("close ") + com);
    Do("wait 1s");
    Do("ui click 165:1002");
    // A flag left up would have made the page refuse this test.
    const std::vector<std::string> after = TestLog();
    EXPECT_EQ(std::count(after.begin(), after.end(), "Serial Test Started in TX-Only Mode"), 4);
    EXPECT_EQ(Text(IDC_TEST_STATUS_TEXT), "* PASSED *");
    EXPECT_EQ(Handles(), handlesBefore);
}

TEST_F(PortTestDialogTest, StoppingAllPortsKeepsTheAdaptersLoopbackOnUntilTheLastPortStops)
{
    // Port 2 busy and skipped; the stop still goes over ports 1 to 4.
    Do("open COM4");
    Do("wait 1s");
    ChooseInternalLoopback();
    Do("ui click 165:1026");
    Do("ui click 165:1003");
    Do("wait 8s");
    EXPECT_EQ(Text(IDC_TEST_STATUS_TEXT), "TEST IN PROGRESS");
    Do("ui click 165:1003");
    Do("wait 5s");
    EXPECT_EQ(Text(IDC_TEST_STATUS_TEXT), "* PASSED *");
    EXPECT_EQ(Text(IDC_TEST_ALL_PORTS), "Test All Ports");
    const std::vector<std::string> log = TestLog();
    EXPECT_EQ(std::count(log.begin(), log.end(), "++++ Serial Test Completed With No Errors ++++"), 3);
    EXPECT_EQ(std::count(log.begin(), log.end(), "#### Serial Test Completed With Errors ####"), 0)
        << testing::PrintToString(log);
    EXPECT_EQ(Handles(), handlesBefore);
    // Off once all have stopped.
    Do("open COM3");
    Do("write COM3 \"x\"");
    EXPECT_EQ(Run("read COM3 1 timeout=100ms"), "read COM3 0\n");
    // And the count of running tests came back to none: a new test starts.
    Do("close COM3");
    Do("wait 1s");
    Do("ui click 165:1025");
    Do("ui click 165:1002");
    Do("wait 3s");
    EXPECT_EQ(Text(IDC_TEST_STATUS_TEXT), "* PASSED *");
}

TEST_F(PortTestDialogTest, AContinuousTestStoppedWhileDataFlowsEndsPassedWithItsStatistics)
{
    Do("line A1 1 loopback");
    Do("ui click 165:1004");
    Do("ui click 165:1026");
    Do("ui select 165:1080 \"115200\"");
    Do("ui click 165:1002");
    Do("wait 5s");
    EXPECT_EQ(Text(IDC_TEST_STATUS_TEXT), "TEST IN PROGRESS");
    EXPECT_EQ(IconOverOneSecond().second, 0) << "the running icon blinks";
    EXPECT_TRUE(IsWindowVisible(Control(IDC_TEST_PROGRESS)));
    const std::string total = Text(IDC_TEST_TOTAL);
    ASSERT_EQ(total.rfind("Total Bytes: ", 0), 0u) << total;
    EXPECT_GT(std::stoul(total.substr(13)), 10000u);
    const std::string rate = Text(IDC_TEST_RATE);
    ASSERT_NE(rate.find(" KBPS"), std::string::npos) << rate;
    EXPECT_GT(std::stod(rate), 10.0);
    EXPECT_LT(std::stod(rate), 115.2);

    Do("ui click 165:1002");
    Do("wait 2s");
    EXPECT_EQ(Text(IDC_TEST_STATUS_TEXT), "* PASSED *");
    EXPECT_EQ(IconOverOneSecond(), std::make_pair(IDI_TEST_PASSED, IDI_TEST_PASSED));
    EXPECT_EQ(TestLog(), (std::vector<std::string>{"Serial Test Started in External Loopback Mode",
                                                   "++++ Serial Test Completed With No Errors ++++"}));
    EXPECT_EQ(Handles(), handlesBefore);
}

TEST_F(PortTestDialogTest, APulledPlugKeepsAContinuousTestRunningWithTheBlinkingFailureIconUntilStopped)
{
    Do("line A1 1 loopback");
    Do("ui click 165:1004");
    Do("ui click 165:1026");
    Do("ui click 165:1002");
    Do("wait 2s");
    Do("line A1 1 none");
    Do("wait 8s");
    EXPECT_EQ(Text(IDC_TEST_STATUS_TEXT), "TEST IN PROGRESS");
    const auto blink = IconOverOneSecond();
    EXPECT_EQ(std::max(blink.first, blink.second), IDI_TEST_FAILED);
    EXPECT_EQ(std::min(blink.first, blink.second), 0);
    Do("ui click 165:1002");
    Do("wait 3s");
    EXPECT_EQ(Text(IDC_TEST_STATUS_TEXT), "! SERIAL TEST FAILED !");
    EXPECT_EQ(IconOverOneSecond(), std::make_pair(IDI_TEST_FAILED, IDI_TEST_FAILED));
    const std::vector<std::string> log = TestLog();
    EXPECT_GE(std::count(log.begin(), log.end(), "*** Port Test Read Error: No RX data after 2 retries"), 2);
    EXPECT_EQ(log.back(), "#### Serial Test Completed With Errors ####");
    EXPECT_EQ(Handles(), handlesBefore);
}

TEST_F(PortTestDialogTest, ClosingTheAssistantEndsARunningTestAndFreesItsPort)
{
    Do("line A1 1 loopback");
    Do("ui click 165:1004");
    Do("ui click 165:1026");
    Do("ui click 165:1002");
    Do("wait 2s");
    const std::string closing = Run("ui close");
    // The close waits for the worker's last transfer.
    const std::string closed = closing + Run("wait 3s");
    EXPECT_NE(closed.find("assistant 1 exited 0"), std::string::npos) << closed;
    EXPECT_EQ(Run("open COM3"), "open COM3 ok\n");
}

}  // namespace
}  // namespace bench
