// The COM port commands through their printed output.
#include <gtest/gtest.h>

#include <sstream>

#include "bench_test.h"

namespace bench {
namespace {

using ComCommandsTest = BenchTest;

TEST_F(ComCommandsTest, PlugNamesThePortsAndASecondAdapterTakesTheNextFour)
{
    EXPECT_EQ(Run("plug A"), "plugged A\nadapter A slot=0 com=3,4,5,6\n");
    EXPECT_EQ(Run("plug B"), "plugged B\nadapter B slot=1 com=7,8,9,10\n");
}

TEST_F(ComCommandsTest, OpenIsExclusiveAndCloseFreesThePort)
{
    Run("plug A");
    EXPECT_EQ(Run("open COM4"), "open COM4 ok\n");
    EXPECT_EQ(Run("open COM4"), "error: open COM4 ERROR_ACCESS_DENIED(5)\n");
    EXPECT_FALSE(last);
    EXPECT_EQ(Run("close COM4"), "close COM4 ok\n");
    EXPECT_EQ(Run("close COM4"), "error: COM4 is not open\n");
    EXPECT_EQ(Run("open COM4"), "open COM4 ok\n");
    EXPECT_EQ(Run("open COM12"), "error: open COM12 ERROR_FILE_NOT_FOUND(2)\n");
}

TEST_F(ComCommandsTest, CommWriteAndReadReportWhatHappened)
{
    Run("plug A");
    Run("open COM3");
    EXPECT_EQ(Run("comm COM3 baud=115200 data=8 parity=none stop=1 rtscts=on"), "comm COM3 ok\n");
    EXPECT_EQ(Run("comm COM3 parity=sometimes"), "error: no parity sometimes\n");
    Run("comm COM3 data=9");
    EXPECT_FALSE(last);
    EXPECT_EQ(Run("write COM3 \"hello\""), "write COM3 5\n");
    EXPECT_EQ(Run("write COM3 hex:0d0a"), "write COM3 2\n");
    // Nothing on the line's far end: nothing comes back.
    EXPECT_EQ(Run("read COM3 8"), "read COM3 0\n");
    EXPECT_EQ(Run("read COM3 8 timeout=20ms"), "read COM3 0\n");
    EXPECT_EQ(Run("read COM9 8"), "error: COM9 is not open\n");
    EXPECT_EQ(Run("read LPT1 8"), "error: not a COM name: LPT1\n");
}


TEST_F(ComCommandsTest, GeographicMappingGivesTheSocketsNumbersToWhicheverAdapterIsIn)
{
    Run("reg set HKLM\\System\\CurrentControlSet\\Services\\QTR84PR UseGeoUsbInstance sz 1");
    EXPECT_EQ(Run("plug A"), "plugged A\nadapter A slot=0 com=3,4,5,6\n");
    Run("unplug A");
    // Another adapter in the same socket: the socket's numbers.
    EXPECT_EQ(Run("plug B"), "plugged B\nadapter B slot=0 com=3,4,5,6\n");
    // A in the next socket is new there.
    EXPECT_EQ(Run("plug A"), "plugged A\nadapter A slot=1 com=7,8,9,10\n");
    Run("unplug A");
    Run("unplug B");
    // Back to dynamic mode: B's instances are its own, new, and take the next
    // free numbers; the sockets' instances keep theirs.
    Run("reg set HKLM\\System\\CurrentControlSet\\Services\\QTR84PR UseGeoUsbInstance sz 0");
    EXPECT_EQ(Run("plug B"), "plugged B\nadapter B slot=0 com=11,12,13,14\n");
}

}  // namespace
}  // namespace bench
