// The far ends of the serial lines through what the COM ports then see.
#include "bench_test.h"

namespace bench {
namespace {

using LineCommandTest = BenchTest;

TEST_F(LineCommandTest, LoopbackReturnsWhatIsWrittenAndNoneTakesThePlugOut)
{
    Run("plug A");
    EXPECT_EQ(Run("line A 1 loopback"), "");
    EXPECT_TRUE(last);
    Run("open COM3");
    Run("write COM3 \"ping\"");
    EXPECT_EQ(Run("read COM3 10 timeout=50ms"), "read COM3 4 70 69 6e 67\n");
    Run("line A 1 none");
    Run("write COM3 \"ping\"");
    EXPECT_EQ(Run("read COM3 10 timeout=50ms"), "read COM3 0\n");
    // Port 2 never had a plug.
    Run("open COM4");
    Run("write COM4 \"x\"");
    EXPECT_EQ(Run("read COM4 1 timeout=50ms"), "read COM4 0\n");
}

TEST_F(LineCommandTest, ANullModemCableJoinsPortsOfTwoAdaptersBothWays)
{
    Run("plug A");
    Run("plug B");
    Run("line A 2 nullmodem B 4");
    Run("open COM4");
    Run("open COM10");
    Run("write COM4 \"to b\"");
    Run("write COM10 \"to a\"");
    EXPECT_EQ(Run("read COM10 4 timeout=50ms"), "read COM10 4 74 6f 20 62\n");
    EXPECT_EQ(Run("read COM4 4 timeout=50ms"), "read COM4 4 74 6f 20 61\n");
    // A loopback plug in B's port pulls the cable out of both.
    Run("line B 4 loopback");
    Run("write COM4 \"lost\"");
    EXPECT_EQ(Run("read COM10 4 timeout=50ms"), "read COM10 0\n");
    EXPECT_EQ(Run("read COM4 4 timeout=50ms"), "read COM4 0\n");
}

TEST_F(LineCommandTest, AFedPeerSendsItsTextOnce)
{
    Run("plug A");
    Run("open COM5");
    EXPECT_EQ(Run("line A 3 feed \"hello\""), "");
    EXPECT_EQ(Run("read COM5 10 timeout=50ms"), "read COM5 5 68 65 6c 6c 6f\n");
    EXPECT_EQ(Run("read COM5 10 timeout=50ms"), "read COM5 0\n");
}

TEST_F(LineCommandTest, PlugsStayInTheirConnectorsWhileTheAdapterRestartsOrIsOut)
{
    Run("plug A");
    Run("line A 1 loopback");
    // A COM remap restarts the adapter with a new application run.
    EXPECT_EQ(Run("setconfig 0 0 com=9"), "setconfig ok 1934\nadapter A restarted\n");
    Run("unplug A");
    Run("plug A");
    Run("open COM9");
    Run("write COM9 \"back\"");
    EXPECT_EQ(Run("read COM9 4 timeout=50ms"), "read COM9 4 62 61 63 6b\n");
}

TEST_F(LineCommandTest, MistakesAreErrors)
{
    EXPECT_EQ(Run("line A 1 loopback"), "error: A was never plugged\n");
    EXPECT_FALSE(last);
    Run("plug A");
    EXPECT_EQ(Run("line A 0 loopback"), "error: a port is 1 to 4, not 0\n");
    EXPECT_EQ(Run("line A 5 loopback"), "error: '5' is out of range (at most 4)\n");
    EXPECT_EQ(Run("line A 1 nullmodem A 1"), "error: a null-modem cable needs two ports\n");
    EXPECT_EQ(Run("line A 1 nullmodem Z 1"), "error: Z was never plugged\n");
    EXPECT_EQ(Run("line A 1 jumper"),
              "error: usage: line NAME PORT none|loopback|nullmodem OTHER PORT2|feed TEXT\n");
    EXPECT_EQ(Run("line A 1 loopback extra"),
              "error: usage: line NAME PORT none|loopback|nullmodem OTHER PORT2|feed TEXT\n");
}

}  // namespace
}  // namespace bench
