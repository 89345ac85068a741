// pty in virtual time and with wrong arguments; the bridge itself is tested
// with real serial programs on the wall clock (pty_serial_test.py).
#include <gtest/gtest.h>

#include "bench_test.h"

namespace bench {
namespace {

using PtyCommandTest = BenchTest;

TEST_F(PtyCommandTest, VirtualTimeHasNoPseudoTerminals)
{
    Run("plug A");
    EXPECT_EQ(Run("pty COM3"),
              "error: pty needs --realtime: a Linux program on the terminal runs on the wall clock\n");
    EXPECT_FALSE(last);
    // The port was not taken.
    EXPECT_EQ(Run("open COM3"), "open COM3 ok\n");
}

TEST_F(PtyCommandTest, OneComNameIsTheOnlyArgument)
{
    EXPECT_EQ(Run("pty"), "error: usage: pty COMn\n");
    EXPECT_EQ(Run("pty COM3 COM4"), "error: usage: pty COMn\n");
    EXPECT_EQ(Run("pty LPT1"), "error: not a COM name: LPT1\n");
    EXPECT_FALSE(last);
}

}  // namespace
}  // namespace bench
