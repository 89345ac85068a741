// Real-time mode on the wall clock: a command returns once the machine is
// quiet, and leaving tears the machine down at once. The bounds are
// generous; on a loaded machine set QTR_SKIP_REALTIME=1 (or run
// `ctest -LE realtime`) to leave these tests out.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <vector>

#include "bench_process.h"

namespace bench {
namespace {

using Clock = std::chrono::steady_clock;
using Lines = std::vector<std::string>;

// A plugged adapter starts in well under a second; waiting out the 30 s
// quiet bound anywhere would take far longer than this.
constexpr std::chrono::seconds kGenerousBound{10};
constexpr std::chrono::milliseconds kPatience{60'000};

class RealTimeTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        const char* skip = std::getenv("QTR_SKIP_REALTIME");
        if (skip != nullptr && *skip != '\0' && std::string(skip) != "0") GTEST_SKIP() << "QTR_SKIP_REALTIME is set";
    }
};

TEST_F(RealTimeTest, PlugInfoUnplugEndWithinSeconds)
{
    const auto start = Clock::now();
    BenchProcess bench({"qtr84bench", "--realtime", "-e", "plug a", "-e", "info", "-e", "unplug a"});
    EXPECT_EQ(bench.ReadAll(kPatience), (Lines{"plugged a", "adapter a slot=0 com=3,4,5,6", "info count=1",
                                               "info slot=0 COM3:idle COM4:idle COM5:idle COM6:idle",
                                               "unplugged a"}));
    EXPECT_EQ(bench.Wait(), 0);
    EXPECT_LT(Clock::now() - start, kGenerousBound);
}

TEST_F(RealTimeTest, EachCommandAnswersThroughThePipeAsSoonAsQuiet)
{
    BenchProcess bench({"qtr84bench", "--realtime", "/dev/stdin"});
    auto start = Clock::now();
    EXPECT_EQ(bench.Converse("plug a", 2, kPatience), (Lines{"plugged a", "adapter a slot=0 com=3,4,5,6"}));
    EXPECT_LT(Clock::now() - start, kGenerousBound);
    start = Clock::now();
    EXPECT_EQ(bench.Converse("info", 2, kPatience),
              (Lines{"info count=1", "info slot=0 COM3:idle COM4:idle COM5:idle COM6:idle"}));
    EXPECT_LT(Clock::now() - start, kGenerousBound);
    start = Clock::now();
    EXPECT_EQ(bench.Converse("unplug a", 1, kPatience), (Lines{"unplugged a"}));
    bench.CloseInput();
    EXPECT_EQ(bench.ReadAll(kPatience), Lines{});
    EXPECT_EQ(bench.Wait(), 0);
    EXPECT_LT(Clock::now() - start, kGenerousBound);
}

}  // namespace
}  // namespace bench
