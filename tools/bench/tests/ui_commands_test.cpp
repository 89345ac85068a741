// The `ui` commands driving the window system's test program as a user
// would, and what the program leaves behind.
#include <gtest/gtest.h>

#include <cstring>

#include "bench_test.h"
#include "gui/gui_programs.h"

namespace bench {
namespace {

using UiCommandsTest = BenchTest;

bool Has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

TEST_F(UiCommandsTest, TheProgramStartsWithItsMainDialogAndEndsWithNothingLeft)
{
    EXPECT_EQ(Run("testprogram start"), "window opened \"UI Test Program\"\ntestprogram 1 running\n");
    EXPECT_EQ(Run("ui windows"), "window \"UI Test Program\" #32770 active\n");
    GuiProgram* program = session.Machine().Programs().Current();
    ASSERT_NE(program, nullptr);
    EXPECT_GT(program->windows->windows.load(), 10);
    EXPECT_EQ(Run("ui click 2"), "window closed \"UI Test Program\"\ntestprogram 1 exited 2\n");
    EXPECT_EQ(program->windows->windows.load(), 0);
    EXPECT_EQ(program->windows->gdiObjects.load(), 0);
    Run("ui dump");
    EXPECT_FALSE(last);
}

// The layout comes back in the template's numbers: dialog units to pixels
// and back round as MulDiv does (y 203 is 329.875 pixels at 13 per 8; cut
// off to 329 it would read back as 202).
TEST_F(UiCommandsTest, TheReportGivesTheTemplatesRectanglesBackWithTheItems)
{
    Run("testprogram start");
    const std::string report = Run("ui report");
    EXPECT_TRUE(Has(report, "rect 0 0 0 400 224\n")) << report;
    EXPECT_TRUE(Has(report, "rect 1 149 203 50 14\n")) << report;
    EXPECT_TRUE(Has(report, "rect 1030 165 36 90 10\n")) << report;
    EXPECT_TRUE(Has(report, "control 1020 ComboBox \"COM1\" visible enabled sel=0 items=4\n")) << report;
    EXPECT_TRUE(Has(report, "item 1020 3 \"COM4\"\n")) << report;
    EXPECT_LT(report.find("control 1020 "), report.find("item 1020 0 "));
    EXPECT_LT(report.find("item 1020 0 "), report.find("rect 0 "));
}

TEST_F(UiCommandsTest, ATimerTickThatChangesNothingTouchesNoWindow)
{
    Run("testprogram start");
    const std::string before = Run("ui stats");
    Run("wait 5s");
    const std::string idle = Run("ui stats");
    const auto paintsOf = [](const std::string& stats) { return stats.substr(stats.find(" paints=")); };
    EXPECT_EQ(paintsOf(idle), paintsOf(before));
    EXPECT_NE(idle, before);  // the ticks themselves were delivered

    Run("ui click 1030");  // from now on every tick writes the tick count
    const std::string debugging = Run("ui stats");
    Run("wait 1s");
    EXPECT_NE(paintsOf(Run("ui stats")), paintsOf(debugging));
    EXPECT_TRUE(Has(Run("ui text 1002"), "text 1002 \"Ticks: "));
}

TEST_F(UiCommandsTest, MessageBoxWaitsForTheAnswerWhileTheOwnerKeepsTicking)
{
    Run("testprogram start");
    Run("ui click 1030");
    EXPECT_EQ(Run("ui click 1060"),
              "msgbox \"UI Test -- Question\" \"Apply the new settings?\" yesno question\n");
    EXPECT_EQ(Run("ui windows"),
              "window \"UI Test -- Question\" #32770 active\nwindow \"UI Test Program\" #32770 disabled\n");
    EXPECT_EQ(Run("ui text 1002"), "error: no control 1002\n");  // the box is the target
    Run("ui activate \"UI Test Program\"");
    const std::string ticks = Run("ui text 1002");
    EXPECT_EQ(Run("ui text 1002"), ticks);  // reading lets no time pass
    Run("wait 2s");
    EXPECT_NE(Run("ui text 1002"), ticks);  // the owner's timer kept running
    Run("ui activate \"UI Test --\"");
    Run("ui answer cancel");
    EXPECT_FALSE(last);  // a yes/no box has no Cancel
    EXPECT_EQ(Run("ui answer yes"), "");
    EXPECT_EQ(Run("ui windows"), "window \"UI Test Program\" #32770 active\n");
    EXPECT_TRUE(Has(Run("ui items 1016"), "item 1016 2 \"answer: yes\""));
}

TEST_F(UiCommandsTest, AGrayedMenuItemIsRefusedOnceItsPopupHasOpened)
{
    Run("testprogram start");
    Run("ui click 1110");
    EXPECT_EQ(Run("ui command 32783"), "");  // Halt grays itself
    EXPECT_EQ(Run("ui command 32783"), "error: menu item 32783 is disabled\n");
    Run("ui activate \"UI Test Program\"");
    const std::string log = Run("ui items 1016");
    // The second pick opened the pop-up, which decided the state, and reached the item; no command followed.
    EXPECT_TRUE(Has(log, "item 1016 4 \"menu: halt\"\nitem 1016 5 \"menu: opened\"\nitem 1016 6 \"menu: popup 0\"\n"
                         "item 1016 7 \"menu: select 32783\"\n"));
    EXPECT_FALSE(Has(log, "item 1016 8"));

    // The About dialog's template names a menu bar with a grayed item.
    Run("ui click 1061");
    Run("ui activate \"About UI Test\"");
    EXPECT_EQ(Run("ui command 32810"), "error: menu item 32810 is disabled\n");
    EXPECT_EQ(Run("ui command 1"), "window closed \"About UI Test\"\n");
}

TEST_F(UiCommandsTest, AToolbarsCommandIsItsButtonsClick)
{
    Run("testprogram start");
    Run("ui click 1062");
    const std::string before = Run("ui items 2001");
    EXPECT_EQ(Run("ui command 40002"), "error: toolbar button 40002 is disabled\n");  // Resume, while running
    EXPECT_EQ(Run("ui items 2001"), before);
    EXPECT_EQ(Run("ui command 40001"), "");
    const std::string halted = Run("ui items 2001");
    EXPECT_NE(halted, before);
    EXPECT_EQ(Run("ui command 40001"), "error: toolbar button 40001 is disabled\n");
    EXPECT_EQ(Run("ui command 40002"), "");
    EXPECT_EQ(Run("ui items 2001"), before);
}

TEST_F(UiCommandsTest, TheFramesMenusAndChannelsGoWithItsWindow)
{
    Run("testprogram start");
    GuiProgram* program = session.Machine().Programs().Current();
    ASSERT_NE(program, nullptr);
    const int64_t windows = program->windows->windows.load();
    const int64_t userObjects = program->windows->userObjects.load();
    Run("ui click 1110");
    Run("ui command 32790");
    Run("ui command 32790");
    EXPECT_EQ(program->windows->windows.load(), windows + 4);  // frame, MDI client, two channels
    EXPECT_EQ(program->windows->userObjects.load(), userObjects + 5);  // the bar and its four pop-ups
    EXPECT_EQ(Run("ui command 32787"), "window closed \"UI Test Monitor\"\n");
    EXPECT_EQ(program->windows->windows.load(), windows);
    EXPECT_EQ(program->windows->userObjects.load(), userObjects);
    Run("ui click 2");
    EXPECT_EQ(program->windows->userObjects.load(), 0);
}

TEST_F(UiCommandsTest, AmbiguousAndMissingControlsAreErrors)
{
    Run("testprogram start");
    EXPECT_EQ(Run("ui text 4242"), "error: no control 4242\n");
    EXPECT_EQ(Run("ui select 1030 0"), "error: control 1030 is a Button, not a list\n");
    EXPECT_EQ(Run("ui select 1020 9"), "error: no item 9 of 4\n");
    EXPECT_EQ(Run("ui select 1070 \"Nowhere\""), "error: no item \"Nowhere\"\n");
    EXPECT_EQ(Run("ui select 1070 3"), "error: no item 3 of 3\n");
    EXPECT_EQ(Run("ui open 1080 \"COM9\""), "error: no item \"COM9\"\n");
    EXPECT_EQ(Run("ui open 1070 \"Ports\""), "error: control 1070 is a SysTabControl32, not a tree\n");
    EXPECT_EQ(Run("ui frobnicate"), std::string("error: ") +
                                        "usage: ui windows|activate \"TITLE\"|dump|report|text CONTROL|items CONTROL|"
                                        "click CONTROL|select CONTROL INDEX|\"TEXT\"|open CONTROL \"TEXT\"|"
                                        "scroll CONTROL PART|command ID|key KEY|close|answer BUTTON|savefile PATH|"
                                        "cancel|clipboard|stats|screen|screenshot FILE\n");
}

TEST_F(UiCommandsTest, AToolbarButtonIsClickedOnlyWhenAUserCouldReachIt)
{
    Run("testprogram start");
    EXPECT_EQ(Run("ui click 1062"), "window opened \"UI Test Bars\"\n");
    EXPECT_EQ(Run("ui click 40002"), "error: toolbar button 40002 is disabled\n");
    EXPECT_EQ(Run("ui text 2002"), "text 2002 \"Ready\"\n");
    EXPECT_EQ(Run("ui click 40001"), "");
    EXPECT_EQ(Run("ui click 40001"), "error: toolbar button 40001 is disabled\n");
    EXPECT_EQ(Run("ui click 2001:40002"), "");
    EXPECT_EQ(Run("ui click 2002:40002"), "error: no control 2002:40002\n");  // not a toolbar
    EXPECT_EQ(Run("ui click 40009"), "error: no control 40009\n");
    EXPECT_TRUE(Has(Run("ui items 2002"), "item 2002 1 \"Enabled\"\n"));
}

TEST_F(UiCommandsTest, TheSaveDialogIsAnsweredWhicheverWindowIsTheTarget)
{
    Run("testprogram start");
    Run("ui click 1062");
    EXPECT_EQ(Run("ui savefile cancel"), "error: no save-file dialog is open\n");
    EXPECT_EQ(Run("ui click 40004"), "filedialog \"UI Test -- Save Lines As\" \"lines.txt\"\n");
    Run("ui activate \"UI Test Program\"");
    EXPECT_EQ(Run("ui savefile \"C:\\\\saved\""), "");
    Run("ui activate \"UI Test Bars\"");
    EXPECT_EQ(Run("ui text 2002"), "text 2002 \"saved C:\\\\saved.txt\"\n");
    EXPECT_EQ(Run("ui click 40003"), "");
    EXPECT_EQ(Run("ui clipboard"), "clipboard enhmetafile\nclipboard text \"alpha\"\nclipboard text \"beta\"\n"
                                   "clipboard text \"gamma\"\n");
    Run("ui close");
    GuiProgram* program = session.Machine().Programs().Current();
    ASSERT_NE(program, nullptr);
    Run("ui key escape");
    EXPECT_EQ(program->windows->windows.load(), 0);
    EXPECT_EQ(program->windows->gdiObjects.load(), 0);  // the metafile is the clipboard's
}

// Text put on the clipboard as CF_TEXT is offered as CF_UNICODETEXT too;
// both are read by their names.
TEST_F(UiCommandsTest, TheClipboardNamesTheStandardFormats)
{
    Run("testprogram start");
    GuiProgram* program = session.Machine().Programs().Current();
    ASSERT_NE(program, nullptr);
    ASSERT_TRUE(OpenClipboard(TargetOf(*program)));
    EmptyClipboard();
    HGLOBAL text = GlobalAlloc(GMEM_MOVEABLE, 6);
    std::memcpy(GlobalLock(text), "COM3\n", 6);
    GlobalUnlock(text);
    EXPECT_NE(SetClipboardData(CF_TEXT, text), nullptr);
    CloseClipboard();
    EXPECT_EQ(Run("ui clipboard"), "clipboard text\nclipboard unicodetext\n");
}

}  // namespace
}  // namespace bench
