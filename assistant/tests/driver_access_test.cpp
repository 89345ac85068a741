// The driver access layer against the simulated PC: which control device it
// opens, what each request returns and which failures reach the status log.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "assistant/app/driver_access.h"
#include "bench_session.h"

namespace {

using assistant::DriverAccess;

struct RecordedLog : assistant::StatusLog {
    void AppendStatusLine(const std::string& text) override { lines.push_back(text); }
    std::vector<std::string> lines;
};

class DriverAccessTest : public ::testing::Test {
protected:
    void Bench(const std::string& line) { ASSERT_TRUE(session.RunLine(line)) << out.str(); }

    std::ostringstream out;
    bench::Session session{out, bench::SessionOptions{}};
    RecordedLog log;
    DriverAccess driver{log};
};

// No adapter plugged, or the driver never installed: no control device opens.
class NoControlDeviceTest : public ::testing::TestWithParam<bool> {
protected:
    std::ostringstream out;
    bench::Session session{out, bench::SessionOptions{.driverInstalled = GetParam()}};
    RecordedLog log;
    DriverAccess driver{log};
};

TEST_P(NoControlDeviceTest, EveryRequestFindsNoDriver)
{
    DeviceInfoTable info{};
    DeviceConfigTable config{};
    EXPECT_EQ(driver.GetDeviceInfoTable(info), assistant::kNoDriver);
    EXPECT_TRUE(driver.NoDevices());
    EXPECT_EQ(driver.RefreshDeviceConfigTableGUI(config), assistant::kNoDriver);
    EXPECT_EQ(driver.UpdateDeviceConfigTable(config), assistant::kNoDriver);
    EXPECT_EQ(driver.SetInternalLoopbackMode(0, 0, 1), assistant::kNoDriver);
    EXPECT_EQ(assistant::GetFirmwareVersionString(), "?");
    // The info poll is quiet unless debug events are logged.
    EXPECT_EQ(log.lines, (std::vector<std::string>{
                             "*** RefreshDeviceConfigTableGUI: Cannot Open QTR84PX1 Device Driver",
                             "*** SetDeviceConfigTable: Cannot Open QTR84PX1 Device Driver",
                             "*** SetInternalLoopbackMode: Invalid Device Handle Specified",
                         }));
}

TEST_P(NoControlDeviceTest, DebugLoggingReportsTheMissingDriverOnEveryPoll)
{
    driver.SetDebugLogging(true);
    DeviceInfoTable info{};
    driver.GetDeviceInfoTable(info);
    driver.GetDeviceInfoTable(info);
    EXPECT_EQ(log.lines, (std::vector<std::string>(2, "DBG: *** GetDeviceInfoTable: Invalid Device Handle Specified")));
}

INSTANTIATE_TEST_SUITE_P(AdapterOrDriver, NoControlDeviceTest, ::testing::Values(true, false),
                         [](const ::testing::TestParamInfo<bool>& info) {
                             return info.param ? "NoAdapter" : "DriverNotInstalled";
                         });

TEST_F(DriverAccessTest, ReadsTheTablesAndTheFirmwareTextOfAPluggedAdapter)
{
    Bench("plug A1");
    DeviceInfoTable info{};
    DeviceConfigTable config{};
    EXPECT_EQ(driver.GetDeviceInfoTable(info), assistant::kRequestDone);
    EXPECT_FALSE(driver.NoDevices());
    ASSERT_EQ(info.count, 1);
    EXPECT_EQ(info.adapters[0].ports[0].comNumber, 3);
    EXPECT_EQ(driver.RefreshDeviceConfigTableGUI(config), assistant::kRequestDone);
    EXPECT_EQ(config.count, 1);
    EXPECT_EQ(config.adapters[0].ports[3].comNumber, 6);
    EXPECT_EQ(assistant::GetFirmwareVersionString(), "Oct 14 2013 11:10:11 Ver 1.0.772");
    EXPECT_TRUE(log.lines.empty());
}

TEST_F(DriverAccessTest, AnAnsweredTableWithoutAdaptersCountsAsNoDevices)
{
    // Without port interfaces the adapter never registers its ports, so the
    // driver answers with an empty table.
    Bench("plug A1 ports=0");
    DeviceInfoTable info{};
    EXPECT_EQ(driver.GetDeviceInfoTable(info), assistant::kRequestDone);
    EXPECT_EQ(info.count, 0);
    EXPECT_TRUE(driver.NoDevices());
}

TEST_F(DriverAccessTest, OpensTheFirstControlDeviceThatExists)
{
    for (const char* name : {"A0", "A1", "A2", "A3"}) {
        Bench(std::string("plug ") + name);
    }
    for (const char* name : {"A0", "A1", "A2"}) {
        Bench(std::string("unplug ") + name);
    }
    HANDLE slot = nullptr;
    ASSERT_TRUE(assistant::OpenDriverHandle(slot));
    assistant::CloseDriverHandle(slot);
    EXPECT_EQ(slot, nullptr);
    DeviceInfoTable info{};
    EXPECT_EQ(driver.GetDeviceInfoTable(info), assistant::kRequestDone);
    ASSERT_EQ(info.count, 1);
    EXPECT_EQ(info.adapters[0].slot, 3);
}

TEST_F(DriverAccessTest, ASlotThatHoldsAHandleKeepsIt)
{
    Bench("plug A1");
    HANDLE slot = nullptr;
    ASSERT_TRUE(assistant::OpenDriverHandle(slot));
    HANDLE first = slot;
    EXPECT_TRUE(assistant::OpenDriverHandle(slot));
    EXPECT_EQ(slot, first);
    assistant::CloseDriverHandle(slot);
}

TEST_F(DriverAccessTest, AnUpdateReachesTheDriver)
{
    Bench("plug A1");
    DeviceConfigTable config{};
    ASSERT_EQ(driver.RefreshDeviceConfigTableGUI(config), assistant::kRequestDone);
    config.adapters[0].ports[1].rxFifo = 56;
    config.adapters[0].updateFlag = kConfigUpdateFlag;
    EXPECT_EQ(driver.UpdateDeviceConfigTable(config), assistant::kRequestDone);
    session.Machine().RunUntilQuiet();
    DeviceConfigTable after{};
    ASSERT_EQ(driver.RefreshDeviceConfigTableGUI(after), assistant::kRequestDone);
    EXPECT_EQ(after.adapters[0].ports[1].rxFifo, 56);
    EXPECT_TRUE(log.lines.empty());
}

TEST_F(DriverAccessTest, ARefusedLoopbackRequestIsLoggedAndStillAnswered)
{
    Bench("plug A1");
    EXPECT_EQ(driver.SetInternalLoopbackMode(7, 0, 1), assistant::kRequestDone);
    EXPECT_EQ(log.lines, (std::vector<std::string>{"*** SetInternalLoopbackMode: Request Failed"}));
}

}  // namespace
