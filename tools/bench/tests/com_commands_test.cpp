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
    // 1,200 hours would not fit the port's time-out, and must not wrap to 7.
    EXPECT_EQ(Run("read COM3 8 timeout=1200h"), "error: a read time-out is at most 4294967295 ms, not 1200h\n");
    EXPECT_EQ(Run("read COM9 8"), "error: COM9 is not open\n");
    EXPECT_EQ(Run("read LPT1 8"), "error: not a COM or pipe name: LPT1\n");
    EXPECT_EQ(Run("comm QTR84PR0\\PIPE03 baud=9600"), "error: not a COM name: QTR84PR0\\PIPE03\n");
}


TEST_F(ComCommandsTest, AWriteTheLineHoldsIsReportedPendingAndTheRunGoesOn)
{
    Run("plug A");
    Run("open COM3");
    // RTS/CTS handshake with nothing plugged in: CTS never rises.
    Run("comm COM3 baud=9600 rtscts=on");
    const std::string data = "hex:" + std::string(2 * 4000, '5');
    EXPECT_EQ(Run("write COM3 " + data), "write COM3 pending\n");
    EXPECT_TRUE(last);
    EXPECT_EQ(Run("read COM3 8"), "read COM3 0\n");
    // Closing cancels the held write and frees what it held.
    EXPECT_EQ(Run("close COM3"), "close COM3 ok\n");
    EXPECT_EQ(Run("open COM3"), "open COM3 ok\n");
    EXPECT_EQ(Run("close COM3"), "close COM3 ok\n");
}

TEST_F(ComCommandsTest, AnAdaptersPipesOpenByName)
{
    Run("plug A");
    EXPECT_EQ(Run("open QTR84PR0\\PIPE03"), "open QTR84PR0\\PIPE03 ok\n");
    EXPECT_EQ(Run("write QTR84PR0\\PIPE03 \"abc\""), "write QTR84PR0\\PIPE03 3\n");
    EXPECT_EQ(Run("open QTR84PR0\\PIPE02"), "open QTR84PR0\\PIPE02 ok\n");
    // Nothing comes from the bulk source: the read stays with the driver.
    EXPECT_EQ(Run("read QTR84PR0\\PIPE02 16"), "read QTR84PR0\\PIPE02 pending\n");
    EXPECT_EQ(Run("read QTR84PR0\\PIPE02 16 timeout=1s"), "error: a pipe read has no time-out\n");
    EXPECT_EQ(Run("close QTR84PR0\\PIPE02"), "close QTR84PR0\\PIPE02 ok\n");
    EXPECT_EQ(Run("close QTR84PR0\\PIPE03"), "close QTR84PR0\\PIPE03 ok\n");
    EXPECT_EQ(Run("open QTR84PR0\\PIPE09"), "error: open QTR84PR0\\PIPE09 ERROR_INVALID_PARAMETER(87)\n");
    EXPECT_EQ(Run("open QTR84PR0\\PIPE"), "error: '' is not a number\n");
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
