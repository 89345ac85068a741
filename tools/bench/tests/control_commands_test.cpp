// The control device's commands through their printed output.
#include <gtest/gtest.h>

#include <sstream>

#include "bench_test.h"

namespace bench {
namespace {

using ControlCommandsTest = BenchTest;

TEST_F(ControlCommandsTest, WithoutAnAdapterNoControlDeviceOpens)
{
    for (const char* line : {"info", "config", "events", "monitor fetch", "loopback 0 on", "setconfig 0 0 com=3"}) {
        EXPECT_EQ(Run(line), "error: no control device opens\n") << line;
        EXPECT_FALSE(last);
    }
    EXPECT_EQ(Run("fwversion"), "error: open \\\\.\\QTR84PR0 ERROR_FILE_NOT_FOUND(2)\n");
    EXPECT_EQ(Run("ioctl 2 0x222C58 0 1574"), "error: open \\\\.\\QTR84PR2 ERROR_FILE_NOT_FOUND(2)\n");
}

TEST_F(ControlCommandsTest, AnAdapterWithoutRegisteredPortsAnswersEmptyTables)
{
    Run("plug A1 ports=0");
    EXPECT_EQ(Run("info"), "info count=0\n");
    EXPECT_EQ(Run("config"), "config count=0 model=6\n");
    EXPECT_EQ(Run("setconfig 0 0 com=3"), "error: no record 0 in a table of 0\n");
    EXPECT_EQ(Run("events"), "");
    EXPECT_TRUE(last);
}

TEST_F(ControlCommandsTest, FirmwareVersionLoopbackAndRawRequests)
{
    Run("plug A1 firmware=app:QTR-TEST-1");
    EXPECT_EQ(Run("fwversion"), "fwversion 0 \"QTR-TEST-1\" 11\n");
    EXPECT_EQ(Run("fwversion 0x0"), "fwversion 0 \"QTR-TEST-1\" 11\n");
    EXPECT_EQ(Run("loopback 0 on"), "loopback ok\n");
    EXPECT_EQ(Run("loopback 0 off"), "loopback ok\n");
    EXPECT_EQ(Run("loopback 1 on"), "error: loopback ERROR_GEN_FAILURE(31)\n");
    EXPECT_EQ(Run("loopback 0 maybe"), "error: usage: loopback SLOT on|off\n");

    EXPECT_EQ(Run("ioctl 0 0x222C70 0 64"),
              "ioctl ok 11\nioctl data 51 54 52 2d 54 45 53 54 2d 31 00\n");
    EXPECT_EQ(Run("ioctl 0 0x222C44 0 0"), "ioctl ok 0\n");
    Run("debuglog");
    EXPECT_EQ(Run("ioctl 0 0x222C6C 0 0"), "error: ioctl ERROR_INVALID_PARAMETER(87)\n");
    // What the driver tells a support engineer about the refusal.
    EXPECT_EQ(Run("debuglog"), "debuglog \"84prusb: control request 0x222C6C failed 0xC000000D\"\n");
    EXPECT_EQ(Run("debuglog"), "");
    EXPECT_EQ(Run("ioctl 0 0x222C74 0 0"), "error: ioctl ERROR_INVALID_FUNCTION(1)\n");
    EXPECT_EQ(Run("ioctl 0 0x222C48 0 55"), "error: ioctl ERROR_INVALID_PARAMETER(87)\n");
    EXPECT_EQ(Run("ioctl 0 0x222C60 1934 0"), "ioctl ok 1934\n");
    EXPECT_EQ(Run("ioctl 0 0x222C58"), "error: usage: ioctl N CODE INLEN OUTLEN\n");
}

TEST_F(ControlCommandsTest, MonitorStartsStopsAndFetchesNothingWithoutTraffic)
{
    Run("plug A1");
    EXPECT_EQ(Run("monitor start"), "");
    EXPECT_TRUE(last);
    EXPECT_EQ(Run("monitor fetch"), "");
    EXPECT_EQ(Run("monitor stop"), "");
    EXPECT_EQ(Run("monitor pause"), "error: usage: monitor start|stop|fetch\n");
    EXPECT_FALSE(last);
}

}  // namespace
}  // namespace bench
