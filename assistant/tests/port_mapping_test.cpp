// The port mapping page's view of the simulated PC: which lines its port
// list shows, what it tells about a COM number, when the remap is open, and
// what a remap leaves in the COM-port database and the driver.
#include <gtest/gtest.h>

#include <cstring>
#include <sstream>
#include <string>
#include <vector>

#include "assistant/app/com_information.h"
#include "assistant/app/com_names.h"
#include "assistant/app/port_list_lines.h"
#include "assistant/app/port_remap.h"
#include "bench_session.h"

namespace {

using assistant::ComFacts;
using assistant::RemapOutcome;

struct SilentLog : assistant::StatusLog {
    void AppendStatusLine(const std::string& text) override { lines.push_back(text); }
    std::vector<std::string> lines;
};

class PortMappingTest : public ::testing::Test {
protected:
    void TearDown() override { FreePortNameList(scan); }

    std::string Bench(const std::string& line)
    {
        out.str("");
        EXPECT_TRUE(session.RunLine(line)) << out.str();
        return out.str();
    }

    // The page's picture of the machine as it is now.
    void Look()
    {
        FreePortNameList(scan);
        scan = BuildPortNameList();
        ASSERT_NE(scan, nullptr);
        usage.Refresh();
        info = {};
        driver.GetDeviceInfoTable(info);
    }

    std::vector<std::string> Lines(bool showAll)
    {
        Look();
        std::vector<std::string> texts;
        for (const assistant::PortListLine& line : assistant::PortListLines(*scan, usage, info, showAll)) {
            texts.push_back(std::to_string(line.comNumber) + "|" + line.text);
        }
        return texts;
    }

    std::string Information(int comNumber)
    {
        Look();
        return assistant::ComInformationText(assistant::GatherComFacts(*scan, usage, info, comNumber));
    }

    std::ostringstream out;
    bench::Session session{out, bench::SessionOptions{}};
    SilentLog log;
    assistant::DriverAccess driver{log};
    PortNameList* scan = nullptr;
    assistant::ComPortUsage usage;
    DeviceInfoTable info{};
};

const std::string kPort = "Tessary QTR84PX-1 Serial Adapter Port";

TEST(ComNamesTest, OnlyComFollowedByDigitsNamesANumber)
{
    int number = 0;
    EXPECT_TRUE(assistant::ParseComName("COM5", number));
    EXPECT_EQ(number, 5);
    EXPECT_TRUE(assistant::ParseComName("COM256", number));
    EXPECT_EQ(number, 256);
    for (const char* name : {"COMxx", "COM", "com5", "COM5x", "LPT1", "", "COM99999999999"}) {
        EXPECT_FALSE(assistant::ParseComName(name, number)) << name;
    }
    EXPECT_FALSE(assistant::ParseComName(nullptr, number));
}

TEST(ComNamesTest, AnAdapterPortIsKnownByTheFirst37CharactersOfItsName)
{
    EXPECT_TRUE(assistant::IsAdapterPortDescription("Tessary QTR84PX-1 Serial Adapter Port (COM3)"));
    EXPECT_TRUE(assistant::IsAdapterPortDescription("Tessary QTR84PX-1 Serial Adapter Port"));
    EXPECT_FALSE(assistant::IsAdapterPortDescription("Tessary QTR84PX-1 Serial Adapter"));
    EXPECT_FALSE(assistant::IsAdapterPortDescription("Communications Port (COM1)"));
}

TEST_F(PortMappingTest, WithoutShowAllOnlyAdapterPortsAreListedInComOrder)
{
    Bench("serialport add COM12 \"Modem (COM12)\"");
    Bench("plug A1");
    Bench("serialport add COM1 \"Communications Port (COM1)\"");
    EXPECT_EQ(Lines(false), (std::vector<std::string>{
                                "3|COM3\tIdle\t" + kPort + " (COM3)",
                                "4|COM4\tIdle\t" + kPort + " (COM4)",
                                "5|COM5\tIdle\t" + kPort + " (COM5)",
                                "6|COM6\tIdle\t" + kPort + " (COM6)",
                            }));
    const std::vector<std::string> all = Lines(true);
    ASSERT_EQ(all.size(), 6u);
    EXPECT_EQ(all.front(), "1|COM1\t\tCommunications Port (COM1)");
    EXPECT_EQ(all.back(), "12|COM12\t\tModem (COM12)");
}

TEST_F(PortMappingTest, StateWordsFollowTheDatabaseAndTheAdapterTable)
{
    Bench("plug A1");
    Bench("open COM4");
    Bench("comdb release 6");
    const std::vector<std::string> plugged = Lines(false);
    ASSERT_EQ(plugged.size(), 4u);
    EXPECT_EQ(plugged[1], "4|COM4\tBUSY\t" + kPort + " (COM4)");
    EXPECT_EQ(plugged[3], "6|COM6\t?\t" + kPort + " (COM6)");
    Bench("close COM4");
    Bench("unplug A1");
    const std::vector<std::string> unplugged = Lines(false);
    ASSERT_EQ(unplugged.size(), 4u);
    EXPECT_EQ(unplugged[0], "3|COM3\tDISC\t" + kPort + " (COM3)");
    EXPECT_EQ(unplugged[3], "6|COM6\t?\t" + kPort + " (COM6)");
}

TEST_F(PortMappingTest, ABoardPortWhoseNumberIsNotClaimedReadsQuestionMark)
{
    Bench("serialport add COM1 \"Communications Port (COM1)\"");
    Bench("comdb release 1");
    EXPECT_EQ(Lines(true), (std::vector<std::string>{"1|COM1\t?\tCommunications Port (COM1)"}));
    EXPECT_TRUE(Lines(false).empty());
}

TEST_F(PortMappingTest, EveryCaseOfTheInformationTextHasItsText)
{
    Bench("plug A1");
    Bench("open COM5");
    Bench("serialport add COM1 \"Communications Port (COM1)\"");
    Bench("serialport add COM2 \"Communications Port (COM2)\"");
    Bench("comdb release 2");
    Bench("comdb claim 20");
    EXPECT_EQ(Information(5), "This COM port is in use and currently BUSY.");
    EXPECT_EQ(Information(6), "This COM port is in use and currently Idle.");
    EXPECT_EQ(Information(1), "This COM port is mapped to a known device; connection state unknown.");
    EXPECT_EQ(Information(2),
              "WARNING: This COM port is mapped to a known device but is marked as unclaimed. This indicates a "
              "possible configuration discrepancy in the system registry.");
    EXPECT_EQ(Information(20),
              "WARNING: This COM port is claimed but not mapped to any known device type. This indicates either a "
              "possible configuration discrepancy in the system registry or a non-standard serial device "
              "configuration.");
    EXPECT_EQ(Information(30), "This COM port is currently not in use.");
    EXPECT_EQ(Information(300), "This COM port is currently not in use.");
    Bench("close COM5");
    Bench("unplug A1");
    EXPECT_EQ(Information(5), "This COM port is mapped to a Tessary device that has been unplugged.");
}

TEST_F(PortMappingTest, AnOpenPortClosesTheRemapOfItsAdapterAndTheCommandsOfAll)
{
    Bench("plug A1");
    Bench("plug B2");
    Bench("open COM8");
    Look();
    const assistant::MappingEnabling onBusyAdapter = assistant::MappingEnablingFor(info, 7);
    EXPECT_FALSE(onBusyAdapter.remapAllowed);
    EXPECT_FALSE(onBusyAdapter.allIdle);
    const assistant::MappingEnabling onOtherAdapter = assistant::MappingEnablingFor(info, 3);
    EXPECT_TRUE(onOtherAdapter.remapAllowed);
    EXPECT_FALSE(onOtherAdapter.allIdle);
    EXPECT_TRUE(assistant::ComPortBusy(info, 8));
    EXPECT_FALSE(assistant::ComPortBusy(info, 7));
    EXPECT_TRUE(assistant::MappingEnablingFor(info, 1).remapAllowed);  // no adapter port carries it
    Bench("close COM8");
    Look();
    EXPECT_TRUE(assistant::MappingEnablingFor(info, 7).allIdle);
}

class PortRemapTest : public PortMappingTest {
protected:
    RemapOutcome Remap(int oldCom, int newCom)
    {
        return assistant::RemapComPort(driver, snapshot, working, oldCom, newCom);
    }

    DeviceConfigTable snapshot{};
    DeviceConfigTable working{};
};

const std::string kPortKey =
    "\"HKLM\\\\System\\\\CurrentControlSet\\\\Enum\\\\USB\\\\VID_2B84&PID_0841&MI_03\\\\A1&0&0003\\\\Device "
    "Parameters\"";

TEST_F(PortRemapTest, ARemapMovesTheClaimTheDriverAndTheWorkingCopyTogether)
{
    Bench("plug A1");
    ASSERT_EQ(driver.RefreshDeviceConfigTableGUI(working), assistant::kRequestDone);
    EXPECT_EQ(Remap(5, 9), RemapOutcome::kDone);
    EXPECT_NE(Bench("wait 1s").find("adapter A1 restarted"), std::string::npos);
    EXPECT_EQ(Bench("comdb"), "comdb claimed 3,4,6,9\n");
    EXPECT_EQ(Bench("reg get " + kPortKey + " PortName"), "reg " + kPortKey + " PortName sz \"COM9\"\n");
    EXPECT_EQ(Bench("info"), "info count=1\ninfo slot=0 COM3:idle COM4:idle COM9:idle COM6:idle\n");
    // What was sent is what the working copy holds: nothing counts as unsent.
    EXPECT_EQ(working.adapters[0].ports[2].comNumber, 9);
    EXPECT_EQ(working.adapters[0].updateFlag, kConfigUpdateFlag);
    EXPECT_EQ(std::memcmp(&working.adapters[0], &snapshot.adapters[0], sizeof(AdapterConfig)), 0);
}

TEST_F(PortRemapTest, ANumberNoConfiguredPortCarriesTouchesNothing)
{
    Bench("plug A1");
    EXPECT_EQ(Remap(42, 9), RemapOutcome::kRecordNotFound);
    EXPECT_EQ(Bench("comdb"), "comdb claimed 3,4,5,6\n");
}

TEST_F(PortRemapTest, WhenTheDriverRefusesTheDatabaseKeepsTheOldNumber)
{
    Bench("plug A1");
    ASSERT_EQ(driver.RefreshDeviceConfigTableGUI(working), assistant::kRequestDone);
    snapshot = working;
    Bench("unplug A1");  // the configuration read and the update both fail now
    EXPECT_EQ(Remap(5, 9), RemapOutcome::kDriverRefused);
    EXPECT_EQ(Bench("comdb"), "comdb claimed 3,4,5,6\n");
    EXPECT_EQ(snapshot.adapters[0].ports[2].comNumber, 5);
    EXPECT_EQ(std::memcmp(&working, &snapshot, sizeof(working)), 0);
}

TEST_F(PortRemapTest, ARefusedRemapOntoAnotherDevicesNumberLeavesThatClaimAlone)
{
    Bench("plug A1");
    Bench("serialport add COM9 \"Communications Port (COM9)\"");
    ASSERT_EQ(driver.RefreshDeviceConfigTableGUI(snapshot), assistant::kRequestDone);
    Bench("unplug A1");
    EXPECT_EQ(Remap(5, 9), RemapOutcome::kDriverRefused);
    EXPECT_EQ(Bench("comdb"), "comdb claimed 3,4,5,6,9\n");
}

}  // namespace
