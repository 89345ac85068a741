// The Assistant's main dialog on the simulated PC, driven through the
// bench's commands as a user and the world around it would drive it, and
// read as a Win32 observer reads it.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "assistant_test.h"

namespace bench {
namespace {

using MainDialogTest = AssistantTest;

TEST_F(MainDialogTest, ASecondStartHandsOverSilently)
{
    Run("plug A1");
    Start();
    EXPECT_EQ(Run("assistant start"), "assistant 2 exited 0\n") << "no box, no window of its own";
    EXPECT_EQ(Run("ui windows"), "window \"Tessary QTR84PX-1 Serial Adapter Assistant\" #32770 active\n");
}

// The tab control holds the pages and stands for their controls in the tab
// order, so the dialog manager's default focus is the status tree, which
// selects its first item as it takes the focus; a click on a tab focuses the
// tab control, whose arrow keys then change the page.
TEST_F(MainDialogTest, TheFocusStartsInTheStatusTreeAndAClickedTabTakesIt)
{
    Run("plug A1");
    Start();
    const std::string report = Run("ui report");
    EXPECT_TRUE(Has(report, "\nfocus 164:1083 active\n")) << report;
    EXPECT_TRUE(Has(report, "\nitem 164:1083 0 \"QTR84PX1-1\" selected ")) << report;
    Run("ui select 1085 0");
    EXPECT_TRUE(Has(Run("ui report"), "\nfocus 1085 active\n"));
    Run("ui key right");
    EXPECT_TRUE(Has(Run("ui dump"), "control 1085 SysTabControl32 \"\" visible enabled sel=1 items=5\n"));
}

TEST_F(MainDialogTest, ArrivalsRemovalsAndPortUseAreLoggedWithinAPoll)
{
    Run("plug A1");
    Start();
    EXPECT_TRUE(Log().empty()) << "what is there at the start is no arrival";
    Run("plug A2");
    Run("wait 500ms");
    EXPECT_EQ(Log(), std::vector<std::string>{"QTR84PX1 Adapter INSERTED: COM7 COM8 COM9 COM10"});
    EXPECT_EQ(uidump::ItemLines(Control("165:1055"), "1055"),
              (std::vector<std::string>{"item 1055 0 \"QTR84PX1-1\" selected", "item 1055 1 \"QTR84PX1-2\""}));
    Run("ui select 1085 \"Properties\"");
    Run("open COM3");
    Run("wait 500ms");
    EXPECT_EQ(Log().back(), "QTR84PX1-1, Port-1 (COM3): IN USE");
    EXPECT_FALSE(Enabled("165:1064")) << "an open port's FIFO cannot change";
    Run("close COM3");
    Run("wait 500ms");
    EXPECT_EQ(Log().back(), "QTR84PX1-1, Port-1 (COM3): NOT IN USE");
    EXPECT_TRUE(Enabled("165:1064"));
    Run("unplug A1");
    Run("wait 500ms");
    EXPECT_EQ(Log().back(), "QTR84PX1 Adapter REMOVED: COM3 COM4 COM5 COM6");
    EXPECT_EQ(Log().size(), 4u) << "one line for each change";
}

TEST_F(MainDialogTest, AnUnchangedTableDoesNoWindowWork)
{
    Run("plug A1");
    Start();
    const std::string before = Run("ui stats");
    Run("wait 5s");
    const std::string after = Run("ui stats");
    EXPECT_EQ(after.substr(after.find(" paints=")), before.substr(before.find(" paints=")));
    EXPECT_NE(after, before) << "the poll's ticks were delivered";
}

TEST_F(MainDialogTest, TheFourHundredAndFirstLinePushesOutTheFirst)
{
    Run("plug A1");
    Start();
    for (int i = 0; i < 201; ++i) {
        Run("open COM4");
        Run("wait 500ms");
        Run("close COM4");
        Run("wait 500ms");
    }
    const std::vector<std::string> log = Log();
    ASSERT_EQ(log.size(), 400u) << "402 lines were written";
    EXPECT_EQ(log.front(), "QTR84PX1-1, Port-2 (COM4): IN USE") << "the first two went";
    EXPECT_EQ(log.back(), "QTR84PX1-1, Port-2 (COM4): NOT IN USE");
}

TEST_F(MainDialogTest, AnEditedFifoEnablesUpdateUntilItIsBack)
{
    Run("plug A1");
    Start();
    Run("ui select 1085 \"Properties\"");
    EXPECT_FALSE(Enabled("165:1069"));
    Run("ui select 165:1064 \"56\"");
    EXPECT_TRUE(Enabled("165:1069"));
    Run("ui select 165:1064 \"16 (Default)\"");
    EXPECT_FALSE(Enabled("165:1069")) << "the working copy equals the driver's again";
}

TEST_F(MainDialogTest, CancelAtTheLeaveQuestionKeepsTheEditAndNoLeavesWithoutAskingAgain)
{
    Run("plug A1");
    Start();
    Run("ui select 1085 \"Properties\"");
    Run("ui select 165:1064 \"56\"");
    const std::string question =
        "msgbox \"Tessary Serial Adapter -- Update Driver Configuration\" \"Update Driver Configuration Before "
        "Exiting?\" yesnocancel question\n";
    EXPECT_EQ(Run("ui close"), question);
    EXPECT_EQ(Run("ui answer cancel"), "");
    EXPECT_EQ(Text("165:1064"), "56");
    EXPECT_TRUE(Enabled("165:1069"));
    EXPECT_EQ(Run("ui close"), question);
    const std::string leaving = Run("ui answer no");
    EXPECT_FALSE(Has(leaving, "msgbox")) << leaving;
    EXPECT_TRUE(Has(leaving, "assistant 1 exited 0")) << leaving;
    EXPECT_TRUE(Has(Run("config"), "config adapter=0 port=0 com=3 txTiming=1 rxFifo=16")) << "nothing was sent";
}

TEST_F(MainDialogTest, YesAtTheLeaveQuestionSendsTheEditFirst)
{
    Run("plug A1");
    Start();
    Run("ui select 1085 \"Properties\"");
    Run("ui select 165:1064 \"56\"");
    Run("ui close");
    EXPECT_TRUE(Has(Run("ui answer yes"), "assistant 1 exited 0"));
    EXPECT_TRUE(Has(Run("config"), "port=0 com=3 txTiming=1 rxFifo=56")) << out.str();
}

TEST_F(MainDialogTest, DoubleClickingAPortOpensItsProperties)
{
    Run("plug A1");
    Run("plug A2");
    Start();
    Run("ui open 164:1083 \"COM8: Idle\"");
    EXPECT_TRUE(Has(Run("ui items 1085"), "item 1085 1 \"Properties\" selected"));
    EXPECT_EQ(Text("165:1055"), "QTR84PX1-2");
    EXPECT_EQ(Text("165:1092"), "COM8:");
}

constexpr char kNoDriverAtStart[] = "*** RefreshDeviceConfigTableGUI: Cannot Open QTR84PX1 Device Driver";

// No adapter plugged, or the driver never installed: either way no control
// device opens.
class NoControlDeviceDialogTest : public AssistantTest, public ::testing::WithParamInterface<bool> {
protected:
    NoControlDeviceDialogTest() : AssistantTest(SessionOptions{.driverInstalled = GetParam()}) {}
};

TEST_P(NoControlDeviceDialogTest, TheDialogWaitsQuietlyAndKeepsPolling)
{
    Start();
    EXPECT_TRUE(Has(Run("ui items 164:1083"), "item 164:1083 0 \"")) << "the no-adapter line";
    EXPECT_FALSE(Enabled("165:1055")) << "nothing to configure";
    const std::vector<std::string> log = Log();
    EXPECT_EQ(log, std::vector<std::string>{kNoDriverAtStart}) << "the start's configuration read";
    const std::string before = Run("ui stats");
    const std::string waited = Run("wait 5s");
    EXPECT_EQ(waited, "") << "no box";
    EXPECT_NE(Run("ui stats"), before);
    EXPECT_EQ(Log(), log);
    // With debug events logged, every poll says why it found nothing.
    Run("ui select 1085 3");  // Diagnostics
    Run("ui click 167:1106");
    Run("wait 1s");
    EXPECT_EQ(Log(), (std::vector<std::string>{kNoDriverAtStart,
                                               "DBG: *** GetDeviceInfoTable: Invalid Device Handle Specified",
                                               "DBG: *** GetDeviceInfoTable: Invalid Device Handle Specified"}));
}

INSTANTIATE_TEST_SUITE_P(AdapterOrDriver, NoControlDeviceDialogTest, ::testing::Values(true, false),
                         [](const ::testing::TestParamInfo<bool>& info) {
                             return info.param ? "NoAdapter" : "DriverNotInstalled";
                         });

TEST_F(MainDialogTest, AnAdapterPluggedWhileNoneWasIsInsertedAtTheNextPoll)
{
    Start();
    Run("plug A1");
    Run("wait 500ms");
    EXPECT_EQ(Log(), (std::vector<std::string>{kNoDriverAtStart, "QTR84PX1 Adapter INSERTED: COM3 COM4 COM5 COM6"}));
}

class DriverNotInstalledTest : public AssistantTest {
protected:
    DriverNotInstalledTest() : AssistantTest(SessionOptions{.driverInstalled = false}) {}
};

TEST_F(DriverNotInstalledTest, AnAdapterWithoutItsDriverIsNoAdapter)
{
    Start();
    Run("plug A1");
    Run("wait 1s");
    EXPECT_EQ(Log(), std::vector<std::string>{kNoDriverAtStart});
    EXPECT_TRUE(Has(Run("ui items 164:1083"), "item 164:1083 0 \""));
    const std::string modules = Text("100:1050");
    EXPECT_TRUE(Has(modules, "USB Driver\t84prusb64.sys\t?\t?\r\n")) << modules;
    EXPECT_TRUE(Has(modules, "Firmware Version String:  \"?\"")) << modules;
}

}  // namespace
}  // namespace bench
