// sleep, wake and power through their printed output.
#include <gtest/gtest.h>

#include <sstream>

#include "bench_test.h"

namespace bench {
namespace {

using PowerCommandsTest = BenchTest;

TEST_F(PowerCommandsTest, SleepTakesThePluggedAdapterDownAndWakeBringsItBack)
{
    Run("plug A1");
    EXPECT_EQ(Run("power"), "power system S0\npower A1 D0\n");
    EXPECT_EQ(Run("sleep S3"), "sleep S3\n");
    EXPECT_TRUE(last);
    // No remote wakeup in its configuration: S3 maps to D3.
    EXPECT_EQ(Run("power"), "power system S3\npower A1 D3\n");
    EXPECT_EQ(Run("wake"), "wake S0\n");
    EXPECT_EQ(Run("power"), "power system S0\npower A1 D0\n");
    EXPECT_EQ(Run("unplug A1"), "unplugged A1\n");
    EXPECT_EQ(Run("power"), "power system S0\n");
}

TEST_F(PowerCommandsTest, MistakesAreErrors)
{
    EXPECT_EQ(Run("wake"), "error: wake STATUS_INVALID_DEVICE_STATE(0xc0000184)\n");
    EXPECT_FALSE(last);
    EXPECT_EQ(Run("sleep"), "error: usage: sleep S1|S2|S3|S4|S5\n");
    EXPECT_EQ(Run("sleep S0"), "error: a sleep state is S1 to S5, not S0\n");
    EXPECT_EQ(Run("sleep s3"), "error: a sleep state is S1 to S5, not s3\n");
    EXPECT_EQ(Run("sleep S4"), "sleep S4\n");
    EXPECT_EQ(Run("sleep S3"), "error: sleep STATUS_INVALID_DEVICE_STATE(0xc0000184)\n");
    EXPECT_EQ(Run("wake now"), "error: usage: wake\n");
    EXPECT_EQ(Run("power A1"), "error: usage: power\n");
    EXPECT_EQ(Run("wake"), "wake S0\n");
}

}  // namespace
}  // namespace bench
