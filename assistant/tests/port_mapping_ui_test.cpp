// The Port Mapping page, its modal dialog and the mapping commands, driven
// through the bench's ui commands as a user would, on the simulated PC with
// the real library, driver, port driver and ports class installer.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "bench_test.h"
#include "ui/gdi/display_list.h"
#include "window_report.h"

namespace bench {
namespace {

bool Has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

const std::string kPort = "Tessary QTR84PX-1 Serial Adapter Port";
const std::string kPortKey =
    "\"HKLM\\\\System\\\\CurrentControlSet\\\\Enum\\\\USB\\\\VID_2B84&PID_0841&MI_03\\\\A1&0&0003\\\\Device "
    "Parameters\"";
const std::string kCleanCaption = "Tessary QTR84PX-1 Serial Adapter Assistant -- Important Warning";
const std::string kModeCaption = "Tessary Serial Adapter -- Configure COM Port Mapping Mode";

class PortMappingUiTest : public BenchTest {
protected:
    // The Assistant with its Port Mapping tab in front.
    void StartOnMappingPage()
    {
        ASSERT_TRUE(Has(Run("assistant start"), "assistant 1 running")) << out.str();
        Run("ui select 1085 2");
        ASSERT_TRUE(last) << out.str();
    }
    // The "pool total" line alone.
    std::string PoolLine()
    {
        const std::string total = PoolTotal();
        return total.substr(0, total.find('\n'));
    }
    // Half a second and more: the poll has seen what changed.
    void Poll() { Run("wait 1s"); }
    std::string PortLine(int index)
    {
        const std::string items = Run("ui items 145:1054");
        const std::string start = "item 145:1054 " + std::to_string(index) + " ";
        const size_t at = items.find(start);
        return at == std::string::npos ? "" : items.substr(at + start.size(), items.find('\n', at) - at - start.size());
    }
    std::string Line(const std::string& com, const std::string& state, const std::string& description)
    {
        return "\"" + com + "\\t" + state + "\\t" + description + "\"";
    }
};

// The colours the COM number list drew an entry's text in, field and dropped list alike.
std::vector<COLORREF> ColoursOf(HWND combo, const std::string& text)
{
    std::vector<COLORREF> colours;
    for (const winsim::ui::DisplayItem& item : winsim::ui::DisplayListOf(combo)) {
        if (item.kind == winsim::ui::DisplayItem::Kind::kText && item.text == text) {
            colours.push_back(item.color);
        }
    }
    return colours;
}

TEST_F(PortMappingUiTest, NumbersInUseAreDrawnGrayAndNeverHighlighted)
{
    Run("plug A1");
    StartOnMappingPage();
    Run("ui select 145:1054 2");
    std::string error;
    HWND combo = uidump::FindControl(uidump::FindTopLevel("Tessary QTR84PX-1 Serial Adapter Assistant"), "145:1061",
                                     &error);
    ASSERT_NE(combo, nullptr) << error;
    PostMessageA(combo, CB_SHOWDROPDOWN, TRUE, 0);
    Run("wait 10ms");
    const COLORREF gray = GetSysColor(COLOR_GRAYTEXT);
    // COM5 is the selection, drawn in the field and in the list, and in use.
    EXPECT_EQ(ColoursOf(combo, "COM5 (in use)"), (std::vector<COLORREF>{gray, gray}));
    EXPECT_EQ(ColoursOf(combo, "COM4 (in use)"), (std::vector<COLORREF>{gray}));
    EXPECT_EQ(ColoursOf(combo, "COM9"), (std::vector<COLORREF>{GetSysColor(COLOR_WINDOWTEXT)}));
    // A free selection is highlighted in the list.
    PostMessageA(combo, CB_SETCURSEL, 8, 0);
    Run("wait 10ms");
    EXPECT_EQ(ColoursOf(combo, "COM9"),
              (std::vector<COLORREF>{GetSysColor(COLOR_WINDOWTEXT), GetSysColor(COLOR_HIGHLIGHTTEXT)}));
    EXPECT_EQ(ColoursOf(combo, "COM5 (in use)"), (std::vector<COLORREF>{gray}));
    PostMessageA(combo, CB_SHOWDROPDOWN, FALSE, 0);
    EXPECT_EQ(Run("comdb"), "comdb claimed 3,4,5,6\n");  // choosing by program is no user's choice
}

TEST_F(PortMappingUiTest, ShowAllAddsOtherDevicesAndMarksUnclaimedNumbers)
{
    Run("serialport add COM1 \"Communications Port (COM1)\"");
    Run("serialport add COM2 \"Communications Port (COM2)\"");
    Run("comdb release 2");
    Run("plug A1");
    StartOnMappingPage();
    EXPECT_EQ(PortLine(0), Line("COM3", "Idle", kPort + " (COM3)") + " selected");
    EXPECT_EQ(PortLine(4), "");
    Run("ui click 145:1109");
    EXPECT_EQ(PortLine(0), Line("COM1", "", "Communications Port (COM1)"));
    EXPECT_EQ(PortLine(1), Line("COM2", "?", "Communications Port (COM2)"));
    EXPECT_EQ(PortLine(2), Line("COM3", "Idle", kPort + " (COM3)") + " selected");
    EXPECT_EQ(PortLine(5), Line("COM6", "Idle", kPort + " (COM6)"));
    Run("ui select 145:1054 1");
    EXPECT_EQ(Run("ui text 145:1115"),
              "text 145:1115 \"WARNING: This COM port is mapped to a known device but is marked as unclaimed. This "
              "indicates a possible configuration discrepancy in the system registry.\"\n");
}

TEST_F(PortMappingUiTest, AnUnpluggedAdaptersPortReadsDisc)
{
    Run("plug A1");
    Run("plug B2");
    StartOnMappingPage();
    Run("unplug A1");
    Poll();
    EXPECT_EQ(PortLine(0), Line("COM3", "DISC", kPort + " (COM3)") + " selected");
    EXPECT_EQ(PortLine(4), Line("COM7", "Idle", kPort + " (COM7)"));
    EXPECT_EQ(Run("ui text 145:1115"),
              "text 145:1115 \"This COM port is mapped to a Tessary device that has been unplugged.\"\n");
    Run("ui select 145:1054 4");
    EXPECT_EQ(Run("ui text 145:1115"), "text 145:1115 \"This COM port is in use and currently Idle.\"\n");
}

TEST_F(PortMappingUiTest, TheSameNumberAsksNothing)
{
    Run("plug A1");
    StartOnMappingPage();
    Run("ui select 145:1054 2");
    EXPECT_TRUE(Has(Run("ui items 145:1061"), "item 145:1061 4 \"COM5 (in use)\" selected"));
    EXPECT_EQ(Run("ui select 145:1061 4"), "");
    EXPECT_TRUE(last);
    EXPECT_EQ(Run("comdb"), "comdb claimed 3,4,5,6\n");
}

TEST_F(PortMappingUiTest, ANumberInUseGetsTheStrongerWarningAndNoPutsTheListBack)
{
    Run("serialport add COM1 \"Communications Port (COM1)\"");
    Run("plug A1");
    StartOnMappingPage();
    Run("ui select 145:1054 2");
    EXPECT_EQ(Run("ui select 145:1061 0"),
              "msgbox \"Tessary Serial Adapter -- Comport Remap: Mapped COM Port Name Warning\" \"You are about to "
              "change the COM Port name for the selected device from COM5 to COM1.\\r\\r*** Warning: The port you're "
              "trying to assign to the selected Tessary adapter is already in use by another device.  If you "
              "continue, serious problems may result. ***\\r\\rDo you want to continue?\" yesno warning\n");
    Run("ui answer no");
    EXPECT_TRUE(Has(Run("ui items 145:1061"), "item 145:1061 4 \"COM5 (in use)\" selected"));
    EXPECT_EQ(Run("comdb"), "comdb claimed 1,3,4,5,6\n");
}

TEST_F(PortMappingUiTest, ARemapMovesTheNumberEverywhereAndLeavesNothingUnsent)
{
    Run("plug A1");
    StartOnMappingPage();
    Run("ui select 145:1054 2");
    EXPECT_EQ(Run("ui select 145:1061 8"),
              "msgbox \"Tessary Serial Adapter -- COM Port Name Setting Change\" \"You are about to change the COM "
              "Port name for the selected device from COM5 to COM9.\\r\\rDo you want to continue?\" yesno warning\n");
    EXPECT_TRUE(Has(Run("ui answer yes"), "msgbox \"Tessary Serial Adapter -- COM Port Remap\" \"The Port remapping "
                                          "request succeeded.\" ok information\n"));
    Run("ui answer ok");
    Poll();
    EXPECT_EQ(Run("comdb"), "comdb claimed 3,4,6,9\n");
    EXPECT_EQ(Run("reg get " + kPortKey + " PortName"), "reg " + kPortKey + " PortName sz \"COM9\"\n");
    EXPECT_EQ(Run("info"), "info count=1\ninfo slot=0 COM3:idle COM4:idle COM9:idle COM6:idle\n");
    EXPECT_EQ(PortLine(3), Line("COM9", "Idle", kPort + " (COM9)") + " selected");
    EXPECT_TRUE(Has(Run("ui items 145:1061"), "item 145:1061 8 \"COM9 (in use)\" selected"));
    // Leaving asks nothing: the remap is no unsent change.
    const std::string closing = Run("ui close");
    EXPECT_FALSE(Has(closing, "msgbox")) << closing;
    EXPECT_TRUE(Has(closing, "assistant 1 exited")) << closing;
}

TEST_F(PortMappingUiTest, AnOpenPortRefusesTheRemapAndClosesItsAdaptersList)
{
    Run("plug A1");
    Run("plug B2");
    StartOnMappingPage();
    Run("open COM8");
    Poll();
    Run("ui select 145:1054 2");
    EXPECT_EQ(Run("ui select 145:1061 7"),
              "msgbox \"Tessary Serial Adapter -- Comport Remap: Open Connection Warning\" \"The selected device port "
              "currently has an open connection to an application.\\r\\rYou must close this connection before "
              "remapping this device port to a different COM name\" ok warning\n");
    Run("ui answer ok");
    EXPECT_EQ(Run("comdb"), "comdb claimed 3,4,5,6,7,8,9,10\n");
    Run("ui select 145:1054 4");
    EXPECT_EQ(Run("ui select 145:1061 20"), "error: control 145:1061 is disabled\n");
    const std::string page = Run("ui dump");
    EXPECT_TRUE(Has(page, "control 145:1107 Static \"COM port mapping for selected adapter port:\" visible disabled"));
    EXPECT_TRUE(Has(page, "control 145:1110 Button \"Delete All Tessary QTR84PX-1 Serial Adapter COM Port Mappings\" "
                          "visible disabled"));
    Run("close COM8");
    Poll();
    EXPECT_TRUE(Has(Run("ui dump"), "control 145:1061 ComboBox \"COM7 (in use)\" visible enabled"));
}

TEST_F(PortMappingUiTest, APortOpenedWhileTheQuestionWasOpenStillRefusesTheRemap)
{
    Run("plug A1");
    StartOnMappingPage();
    Run("ui select 145:1054 2");
    Run("ui select 145:1061 8");
    Run("open COM5");
    Poll();
    EXPECT_TRUE(Has(Run("ui answer yes"), "msgbox \"Tessary Serial Adapter -- Comport Remap: Open Connection Warning\""));
    Run("ui answer ok");
    EXPECT_EQ(Run("comdb"), "comdb claimed 3,4,5,6\n");
    EXPECT_EQ(Run("info"), "info count=1\ninfo slot=0 COM3:idle COM4:idle COM5:busy COM6:idle\n");
    Run("close COM5");
}

TEST_F(PortMappingUiTest, TheDeleteButtonOpensAgainWhenTheBusyAdapterIsGone)
{
    Run("plug A1");
    StartOnMappingPage();
    Run("open COM3");
    Poll();
    EXPECT_TRUE(Has(Run("ui dump"), "control 145:1110 Button \"Delete All Tessary QTR84PX-1 Serial Adapter COM Port "
                                    "Mappings\" visible disabled"));
    Run("unplug A1");  // with the port still open: the last the page saw of it was busy
    Poll();
    EXPECT_TRUE(Has(Run("ui dump"), "control 145:1110 Button \"Delete All Tessary QTR84PX-1 Serial Adapter COM Port "
                                    "Mappings\" visible enabled"));
    Run("close COM3");
}

TEST_F(PortMappingUiTest, TheModeChangeAsksUntilTheAdapterIsUnpluggedThenWritesTheModeAndCleans)
{
    Run("plug A1");
    StartOnMappingPage();
    EXPECT_EQ(Run("ui command 32800"),
              "msgbox \"" + kModeCaption + "\" \"You are about to change the method by which the Tessary QTR84PX-1 "
              "Serial Adapter driver maps devices to COM ports. This will erase all existing COM port assignments in "
              "the registry for the Tessary QTR84PX-1 Serial Adapter, and change the method by which COM ports are "
              "assigned to future instances of the Adapter. All Tessary QTR84PX-1 Serial Adapter devices on your "
              "system must be unplugged before continuing with this operation.\\r\\rDo you want to continue?\" yesno "
              "warning\n");
    const std::string unplug = "msgbox \"" + kModeCaption + "\" \"Please UNPLUG all Tessary QTR84PX-1 Serial Adapter "
                               "devices then PRESS OK TO CONTINUE (or press Cancel to return to the Assistant).\" "
                               "okcancel warning\n";
    EXPECT_EQ(Run("ui answer yes"), unplug);
    EXPECT_EQ(Run("ui answer ok"), unplug);
    EXPECT_EQ(Run("ui answer ok"), unplug);
    EXPECT_EQ(Run("unplug A1"), "unplugged A1\n");
    Poll();
    EXPECT_EQ(Run("ui answer ok"),
              "msgbox \"Tessary Serial Adapter\" \"Port Mapping Mode Configuration Update Complete.\\rYou may now "
              "reconnect your Tessary QTR84PX-1 Serial Adapter devices\" ok information\n");
    EXPECT_EQ(Run("reg get HKLM\\System\\CurrentControlSet\\Services\\QTR84PR UseGeoUsbInstance"),
              "reg HKLM\\System\\CurrentControlSet\\Services\\QTR84PR UseGeoUsbInstance sz \"1\"\n");
    Run("ui answer ok");
    EXPECT_EQ(Run("portscan"), "portscan 0\n");
    EXPECT_EQ(Run("comdb"), "comdb claimed none\n");
    EXPECT_EQ(Run("ui items 145:1054"), "");
    // The mode last written is no pending change, and choosing it again asks nothing.
    EXPECT_EQ(Run("ui command 32800"), "");
    EXPECT_FALSE(Has(Run("ui close"), "msgbox"));
}

TEST_F(PortMappingUiTest, CancelAtTheUnplugQuestionLeavesTheModeAsItWas)
{
    Run("plug A1");
    StartOnMappingPage();
    Run("ui command 32800");
    Run("ui answer yes");
    EXPECT_EQ(Run("ui answer cancel"), "");
    EXPECT_EQ(Run("reg get HKLM\\System\\CurrentControlSet\\Services\\QTR84PR UseGeoUsbInstance"),
              "error: open HKLM\\System\\CurrentControlSet\\Services\\QTR84PR: ERROR_FILE_NOT_FOUND(2)\n");
    EXPECT_EQ(Run("comdb"), "comdb claimed 3,4,5,6\n");
}

TEST_F(PortMappingUiTest, AfterACleanAReinsertedAdapterGetsNewNumbersAndIsLoggedAsInserted)
{
    Run("plug A1");
    Run("plug B2");
    Run("unplug A1");
    Run("unplug B2");
    StartOnMappingPage();
    EXPECT_EQ(PortLine(4), Line("COM7", "DISC", kPort + " (COM7)"));
    EXPECT_TRUE(Has(Run("ui click 145:1110"), "msgbox \"" + kCleanCaption + "\" \"You are about to delete all "
                                              "TESSARY QTR84PX-1 SERIAL ADAPTER COM Port mappings"));
    EXPECT_EQ(Run("ui answer ok"),
              "msgbox \"Tessary QTR84PX-1 Serial Adapter Assistant -- Registry Clean\" \"Registry Clean Operation "
              "Complete.\\r\\rYou may now reconnect your TESSARY QTR84PX-1 SERIAL ADAPTERS.\" ok information\n");
    Run("ui answer ok");
    EXPECT_EQ(Run("ui items 145:1054"), "");
    EXPECT_EQ(Run("plug B2"), "plugged B2\nadapter B2 slot=0 com=3,4,5,6\n");
    Poll();
    EXPECT_TRUE(Has(Run("ui items 167:1016"), "QTR84PX1 Adapter INSERTED: COM3 COM4 COM5 COM6\""));
    EXPECT_EQ(PortLine(0), Line("COM3", "Idle", kPort + " (COM3)") + " selected");
}

// From the menu: the page's own button refreshes the page once more afterwards in any case.
TEST_F(PortMappingUiTest, TheCleanAsksUntilUnpluggedAndCancelThereLeavesThePageAlone)
{
    Run("plug A1");
    StartOnMappingPage();
    Run("ui click 145:1109");
    Run("serialport add COM1 \"Communications Port (COM1)\"");  // the page has not looked since
    Run("ui command 32773");
    const std::string unplug =
        "msgbox \"" + kCleanCaption + "\" \"You must unplug all TESSARY QTR84PX-1 SERIAL ADAPTERS in order to delete "
        "the associated COM Port mappings from the system registry.\\r\\nREMOVE YOUR TESSARY QTR84PX-1 SERIAL ADAPTERS "
        "NOW THEN PRESS \\\"OK\\\" OR PRESS CANCEL TO RETURN TO THE ASSISTANT.\" okcancel warning\n";
    EXPECT_EQ(Run("ui answer ok"), unplug);
    EXPECT_EQ(Run("ui answer ok"), unplug);
    EXPECT_EQ(Run("ui answer cancel"), "");
    EXPECT_EQ(PortLine(0), Line("COM3", "Idle", kPort + " (COM3)") + " selected");
    EXPECT_EQ(Run("comdb"), "comdb claimed 1,3,4,5,6\n");
}

TEST_F(PortMappingUiTest, CancelAtTheFirstCleanQuestionStillRefreshesThePage)
{
    Run("plug A1");
    StartOnMappingPage();
    Run("ui click 145:1109");
    Run("serialport add COM1 \"Communications Port (COM1)\"");
    EXPECT_EQ(PortLine(0), Line("COM3", "Idle", kPort + " (COM3)") + " selected");
    Run("ui command 32773");
    EXPECT_EQ(Run("ui answer cancel"), "");
    EXPECT_EQ(PortLine(0), Line("COM1", "", "Communications Port (COM1)"));
    EXPECT_EQ(Run("comdb"), "comdb claimed 1,3,4,5,6\n");
}

TEST_F(PortMappingUiTest, TheModalDialogFollowsThePollAndLeavesNothingBehind)
{
    const std::string baseline = PoolLine();
    StartOnMappingPage();
    EXPECT_EQ(Run("ui command 32779"), "window opened \"Com Port Mappings\"\n");
    EXPECT_EQ(Run("ui items 1054"), "");
    Run("plug A1");
    Poll();
    EXPECT_TRUE(Has(Run("ui items 1054"), "item 1054 0 " + Line("COM3", "Idle", kPort + " (COM3)") + " selected"));
    // A remap from the dialog asks over the dialog, and the dialog keeps the new line.
    Run("ui select 1054 1");
    EXPECT_TRUE(Has(Run("ui select 1061 19"), "msgbox \"Tessary Serial Adapter -- COM Port Name Setting Change\""));
    Run("ui answer yes");
    Run("ui answer ok");
    Poll();
    EXPECT_TRUE(Has(Run("ui items 1054"), "item 1054 3 " + Line("COM20", "Idle", kPort + " (COM20)") + " selected"));
    EXPECT_EQ(Run("ui key escape"), "window closed \"Com Port Mappings\"\n");
    EXPECT_EQ(PortLine(3), Line("COM20", "Idle", kPort + " (COM20)") + " selected");
    Run("ui close");
    Run("unplug A1");
    EXPECT_EQ(PoolLine(), baseline);
}

}  // namespace
}  // namespace bench
