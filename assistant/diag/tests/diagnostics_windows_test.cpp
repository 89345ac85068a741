// The two diagnostics windows in the running Assistant on the simulated PC,
// driven as a user drives them: commands, toolbar, status panes, what the
// views paint, the log file and the clipboard.
#include <gtest/gtest.h>

#include <windows.h>

#include <commctrl.h>

#include <sstream>
#include <string>
#include <vector>

#include "assistant/res/resource.h"
#include "bench_session.h"
#include "ui/gdi/display_list.h"

namespace {

constexpr char kMainTitle[] = "Tessary QTR84PX-1 Serial Adapter Assistant";
constexpr char kEventsTitle[] = "Tessary QTR84PX-1 Serial Adapter -- Driver Events Log";
constexpr char kMonitorTitle[] = "Tessary QTR84PX-1 Serial Adapter -- Line Monitor";
constexpr int kDiagnosticsPage = IDD_DIAGNOSTICS_PAGE;
constexpr int kToolbar = 0xE800;
constexpr int kStatusBar = 0xE801;

struct Found {
    int id;
    const char* className;
    HWND window;
};

BOOL CALLBACK FindChild(HWND window, LPARAM lParam)
{
    auto& found = *reinterpret_cast<Found*>(lParam);
    char name[64] = "";
    GetClassNameA(window, name, sizeof(name));
    const bool idMatches = found.id == 0 || GetDlgCtrlID(window) == found.id;
    const bool classMatches = found.className == nullptr || std::string(name) == found.className;
    if (idMatches && classMatches) {
        found.window = window;
        return FALSE;
    }
    return TRUE;
}

HWND Descendant(HWND parent, int id, const char* className = nullptr)
{
    Found found{id, className, nullptr};
    EnumChildWindows(parent, FindChild, reinterpret_cast<LPARAM>(&found));
    return found.window;
}

// A channel window of the monitor by its title.
struct Titled {
    std::string title;
    HWND window;
};

BOOL CALLBACK FindTitled(HWND window, LPARAM lParam)
{
    auto& found = *reinterpret_cast<Titled*>(lParam);
    char text[128] = "";
    GetWindowTextA(window, text, sizeof(text));
    if (found.title == text) {
        found.window = window;
        return FALSE;
    }
    return TRUE;
}

// What a view painted, one row per line: the texts drawn at the same height
// joined by a blank, each with the colour it was drawn in.
struct Row {
    std::string text;
    std::vector<COLORREF> colours;
};

std::vector<Row> Painted(HWND view)
{
    std::vector<Row> rows;
    LONG top = -1;
    for (const auto& item : winsim::ui::DisplayListOf(view)) {
        if (item.kind != winsim::ui::DisplayItem::Kind::kText) continue;
        if (rows.empty() || item.rect.top != top) {
            rows.push_back({item.text, {item.color}});
            top = item.rect.top;
        } else {
            rows.back().text += " " + item.text;
            rows.back().colours.push_back(item.color);
        }
    }
    return rows;
}

std::vector<std::string> Texts(const std::vector<Row>& rows)
{
    std::vector<std::string> texts;
    for (const Row& row : rows) texts.push_back(row.text);
    return texts;
}

class DiagnosticsWindowsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        Bench("plug A1");
        Bench("assistant start");
        Bench("wait 1s");  // the main dialog's device poll fills its table
        main = FindWindowA(nullptr, kMainTitle);
        ASSERT_NE(main, nullptr) << out.str();
    }
    void Bench(const std::string& line) { ASSERT_TRUE(session.RunLine(line)) << out.str(); }
    std::string Quiet(const std::string& line) { return session.RunQuietly(line); }

    // The page's button is hidden; its click is what the page acts on.
    HWND OpenEventsWindow()
    {
        HWND page = Descendant(main, kDiagnosticsPage);
        PostMessageA(page, WM_COMMAND, MAKEWPARAM(IDC_OPEN_EVENTS_WINDOW, BN_CLICKED),
                     reinterpret_cast<LPARAM>(GetDlgItem(page, IDC_OPEN_EVENTS_WINDOW)));
        session.RunLine("wait 1ms");
        return FindWindowA(nullptr, kEventsTitle);
    }
    HWND OpenMonitorWindow()
    {
        Bench("ui select 1085 3");  // the Diagnostics tab
        Bench("ui click 167:1074");
        return FindWindowA(nullptr, kMonitorTitle);
    }
    static HWND View(HWND frame) { return Descendant(frame, 0, "QtrMdiChild"); }
    static std::string Pane(HWND frame, int pane)
    {
        char text[256] = "";
        SendMessageA(Descendant(frame, kStatusBar), SB_GETTEXTA, static_cast<WPARAM>(pane),
                     reinterpret_cast<LPARAM>(text));
        return text;
    }
    static bool ButtonEnabled(HWND frame, UINT command)
    {
        return SendMessageA(Descendant(frame, kToolbar), TB_ISBUTTONENABLED, command, 0) != 0;
    }
    void Command(const char* title, UINT command)
    {
        Bench(std::string("ui activate \"") + title + "\"");
        Bench("ui command " + std::to_string(command));
    }

    std::ostringstream out;
    bench::Session session{out, bench::SessionOptions{}};
    HWND main = nullptr;
};

TEST_F(DiagnosticsWindowsTest, TheHiddenButtonOpensNothingFromOutside)
{
    EXPECT_FALSE(session.RunLine("ui click 167:1073"));
    Bench("ui command 1073");
    EXPECT_EQ(FindWindowA(nullptr, kEventsTitle), nullptr);
}

TEST_F(DiagnosticsWindowsTest, TheEventsWindowOpensOnceEnabledWithNoOverruns)
{
    HWND frame = OpenEventsWindow();
    ASSERT_NE(frame, nullptr);
    EXPECT_EQ(Pane(frame, 1), "Enabled");
    EXPECT_EQ(Pane(frame, 2), "OVRs: 0");
    EXPECT_FALSE(ButtonEnabled(frame, ID_EVENTS_RESUME));
    EXPECT_TRUE(ButtonEnabled(frame, ID_EVENTS_HALT));
    EXPECT_FALSE(ButtonEnabled(frame, ID_EVENTS_LOG_TO_FILE));
    // A second open leaves the one window.
    EXPECT_EQ(OpenEventsWindow(), frame);
    Bench("wait 300ms");
    EXPECT_EQ(Texts(Painted(View(frame))),
              std::vector<std::string>{"0000: +++++++ Driver Loaded Successfully +++++++"});
}

TEST_F(DiagnosticsWindowsTest, AClearFollowedByNewEventsStartsAtZero)
{
    HWND frame = OpenEventsWindow();
    Bench("testaid postevent 40 1 2 0 0 0 0 0 0 3");
    Bench("wait 300ms");
    Command(kEventsTitle, ID_EVENTS_CLEAR);
    Bench("wait 1s");
    Bench("testaid postevent 41 1 2 5 0 0 0 0 0 2");
    Bench("wait 300ms");
    EXPECT_EQ(Texts(Painted(View(frame))), (std::vector<std::string>{
                                               "0000: Events Request returned 112 bytes (2 Records)",
                                               "0001: 0 (3 0.000.000): closeComplete (1/2)  5",
                                               "0002: 1 (4 0.000.000): closeComplete (1/2)  5",
                                           }));
    EXPECT_EQ(Pane(frame, 2), "OVRs: 0");
}

TEST_F(DiagnosticsWindowsTest, TwoLossesShowTwoOverrunLinesAndTheCount)
{
    HWND frame = OpenEventsWindow();
    for (int loss = 0; loss < 2; ++loss) {
        Bench("testaid postevent 22 1 1 0 0 0 0 0 0 501");
        Bench("wait 1s");
    }
    EXPECT_EQ(Pane(frame, 2), "OVRs: 2");
    // The view shows its last rows; the file holds them all.
    Command(kEventsTitle, ID_EVENTS_LOG_TO_FILE);
    Bench("ui savefile \"C:\\\\losses.txt\"");
    std::istringstream file(Quiet("file get C:\\losses.txt"));
    int marks = 0;
    for (std::string line; std::getline(file, line);) marks += line.find("*** Buffer Overrun ***") != std::string::npos;
    EXPECT_EQ(marks, 2);
}

TEST_F(DiagnosticsWindowsTest, SavingWhileHaltedStaysHalted)
{
    HWND frame = OpenEventsWindow();
    Bench("testaid postevent 40 1 2 0 0 0 0 0 0 2");
    Bench("wait 300ms");
    Command(kEventsTitle, ID_EVENTS_HALT);
    EXPECT_EQ(Pane(frame, 1), "Halted");
    Command(kEventsTitle, ID_EVENTS_LOG_TO_FILE);
    Bench("ui savefile \"C:\\\\events\"");
    EXPECT_EQ(Pane(frame, 1), "Halted");
    EXPECT_TRUE(ButtonEnabled(frame, ID_EVENTS_RESUME));
    EXPECT_FALSE(ButtonEnabled(frame, ID_EVENTS_HALT));
    const std::string file = Quiet("file get C:\\events.txt");
    EXPECT_NE(file.find("file line \"QTR12 Event Log: "), std::string::npos) << file;
    EXPECT_NE(file.find("file line \"3: 0 (0 0.000.000): openComplete (1/2)  0\""), std::string::npos) << file;
}

TEST_F(DiagnosticsWindowsTest, SavingWhileEnabledResumesPolling)
{
    HWND frame = OpenEventsWindow();
    Command(kEventsTitle, ID_EVENTS_LOG_TO_FILE);
    Bench("ui savefile \"C:\\\\events.txt\"");
    EXPECT_EQ(Pane(frame, 1), "Enabled");
    EXPECT_TRUE(ButtonEnabled(frame, ID_EVENTS_HALT));
    EXPECT_FALSE(ButtonEnabled(frame, ID_EVENTS_RESUME));
}

TEST_F(DiagnosticsWindowsTest, TheLockPanesFollowTheLockKeys)
{
    HWND frame = OpenEventsWindow();
    Bench("ui activate \"" + std::string(kEventsTitle) + "\"");
    // The CAP, NUM and SCRL panes a tick after the keys were pressed.
    auto panesAfter = [&](std::vector<std::string> keys) {
        for (const std::string& key : keys) Bench("ui key " + key);
        Bench("wait 200ms");
        return std::vector<std::string>{Pane(frame, 3), Pane(frame, 4), Pane(frame, 5)};
    };
    EXPECT_EQ(panesAfter({}), (std::vector<std::string>{"", "", ""}));
    EXPECT_EQ(panesAfter({"capslock", "scrolllock"}), (std::vector<std::string>{"CAP", "", "SCRL"}));
    EXPECT_EQ(panesAfter({"numlock", "capslock"}), (std::vector<std::string>{"", "NUM", "SCRL"}));
}

class MonitorWindowTest : public DiagnosticsWindowsTest {
protected:
    void OpenChannel(int index)
    {
        Command(kMonitorTitle, ID_MONITOR_OPEN_CHANNEL);
        Bench("ui activate \"Select Monitor Channel\"");
        Bench("ui select 1096 " + std::to_string(index));
        Bench("ui click 1");
    }
    // A loopback plug in COM3's socket and the port open at 115200 8N1.
    void Loopback()
    {
        Bench("line A1 1 loopback");
        Bench("open COM3");
        Bench("comm COM3 baud=115200 data=8 parity=none stop=1");
    }
    HWND Channel(HWND frame, const std::string& title)
    {
        Titled found{title, nullptr};
        EnumChildWindows(frame, FindTitled, reinterpret_cast<LPARAM>(&found));
        return found.window;
    }
    // The monitor window with COM3's channel open: the channel's window.
    HWND OpenCom3Channel()
    {
        HWND frame = OpenMonitorWindow();
        OpenChannel(0);
        return Channel(frame, "COM3 (ChannelID: 3)");
    }
};

TEST_F(MonitorWindowTest, ALoopbackPortShowsTxInRedAndRxInBlueInItsOwnWindowOnly)
{
    HWND frame = OpenMonitorWindow();
    ASSERT_NE(frame, nullptr);
    OpenChannel(0);  // COM3
    OpenChannel(0);  // COM4: COM3 is no longer offered
    HWND com3 = Channel(frame, "COM3 (ChannelID: 3)");
    HWND com4 = Channel(frame, "COM4 (ChannelID: 4)");
    ASSERT_NE(com3, nullptr);
    ASSERT_NE(com4, nullptr);
    EXPECT_EQ(Pane(frame, 2), "Enabled");

    Loopback();
    Bench("write COM3 hex:41420043");
    Bench("read COM3 4 timeout=100ms");
    Bench("wait 50ms");
    const auto rows = Painted(com3);
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_NE(rows[0].text.find("TX:ABC"), std::string::npos) << rows[0].text;
    EXPECT_EQ(rows[0].text.substr(0, 6), "00001 ");
    EXPECT_EQ(rows[0].colours.back(), RGB(255, 0, 0));
    EXPECT_NE(rows[1].text.find("RX:ABC"), std::string::npos) << rows[1].text;
    EXPECT_EQ(rows[1].colours.back(), RGB(0, 0, 255));
    EXPECT_TRUE(Painted(com4).empty());
    Bench("close COM3");
}

TEST_F(MonitorWindowTest, HexModeShowsEveryByte)
{
    HWND frame = OpenMonitorWindow();
    OpenChannel(0);
    Command(kMonitorTitle, ID_MONITOR_HEX);
    EXPECT_FALSE(ButtonEnabled(frame, ID_MONITOR_HEX));
    EXPECT_TRUE(ButtonEnabled(frame, ID_MONITOR_ASCII));
    Loopback();
    Bench("write COM3 hex:0d0a");
    Bench("read COM3 2 timeout=100ms");
    Bench("wait 50ms");
    const auto rows = Painted(Channel(frame, "COM3 (ChannelID: 3)"));
    ASSERT_FALSE(rows.empty());
    EXPECT_NE(rows[0].text.find("TX: 0D 0A"), std::string::npos) << rows[0].text;
    EXPECT_EQ(rows[0].colours.back(), RGB(255, 0, 0));
    Bench("close COM3");
}

TEST_F(MonitorWindowTest, CopyContentsPutsTheLinesOnTheClipboard)
{
    OpenMonitorWindow();
    OpenChannel(0);
    Loopback();
    Bench("write COM3 \"hi\"");
    Bench("read COM3 2 timeout=100ms");
    Bench("wait 50ms");
    Bench("ui activate \"" + std::string(kMonitorTitle) + "\"");
    Bench("ui command " + std::to_string(ID_MONITOR_COPY_CONTENTS));
    const std::string clipboard = Quiet("ui clipboard");
    EXPECT_NE(clipboard.find("clipboard enhmetafile"), std::string::npos) << clipboard;
    EXPECT_NE(clipboard.find("clipboard text \"TX:hi\""), std::string::npos) << clipboard;
    EXPECT_NE(clipboard.find("clipboard text \"RX:hi\""), std::string::npos) << clipboard;
    Bench("close COM3");
}

TEST_F(MonitorWindowTest, ChannelTitlesAreWrittenAgainWhenTheMainDialogsTableChanges)
{
    HWND com3 = OpenCom3Channel();
    ASSERT_NE(com3, nullptr);
    auto titleAfter = [&](const std::string& change) {
        SetWindowTextA(com3, "stale");
        Bench(change);
        Bench("wait 500ms");
        char title[64] = "";
        GetWindowTextA(com3, title, sizeof(title));
        return std::string(title);
    };
    EXPECT_EQ(titleAfter("wait 1ms"), "stale") << "an unchanged table leaves the titles alone";
    EXPECT_EQ(titleAfter("plug A2"), "COM3 (ChannelID: 3)");
    EXPECT_EQ(titleAfter("open COM4"), "COM3 (ChannelID: 3)") << "a port in use changes the table too";
    EXPECT_EQ(titleAfter("unplug A2"), "COM3 (ChannelID: 3)");
    Bench("ui activate \"" + std::string(kMonitorTitle) + "\"");
    EXPECT_NE(Quiet("ui dump").find("\"COM3 (ChannelID: 3)\""), std::string::npos);
    Bench("close COM4");
}

TEST_F(MonitorWindowTest, ClosingEveryChannelSwitchesTheDriversMonitorOff)
{
    HWND com3 = OpenCom3Channel();
    ASSERT_NE(com3, nullptr);
    SendMessageA(GetParent(com3), WM_MDIDESTROY, reinterpret_cast<WPARAM>(com3), 0);
    Bench("wait 50ms");
    // Polling has stopped: Halt is grayed in the menu.
    Bench("ui activate \"" + std::string(kMonitorTitle) + "\"");
    EXPECT_FALSE(session.RunLine("ui command " + std::to_string(ID_MONITOR_HALT)));
    // With nobody polling, records the driver still took would wait in its ring.
    Loopback();
    Bench("write COM3 \"x\"");
    Bench("read COM3 1 timeout=100ms");
    EXPECT_EQ(Quiet("monitor fetch"), "");
    Bench("close COM3");
}

}  // namespace
