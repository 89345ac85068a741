// The `ui` input commands return once the program has handled the input and
// waits for more: a handler that waits ends first, a modal loop counts as
// waiting, and a handler that outlasts the bound is an error.
#include <gtest/gtest.h>

#include "bench_test.h"

namespace bench {
namespace {

constexpr winsim::Ticks kMs = winsim::kTicksPerMillisecond;

class UiInputIdleTest : public BenchTest {
protected:
    // An earlier test's program may still report its window closing.
    void SetUp() override { ASSERT_NE(Run("testprogram start").find("testprogram 1 running\n"), std::string::npos); }
    winsim::Ticks ElapsedMs() { return (session.Machine().Sim().Now() - start_) / kMs; }
    void StartClock() { start_ = session.Machine().Sim().Now(); }

private:
    winsim::Ticks start_ = 0;
};

// The test program's commands without a control (its uitest_ids.h).
constexpr const char* kSlowApply = "ui command 1201";  // sleeps 2 s in the handler
constexpr const char* kWaitWorker = "ui command 1202";  // waits 1.5 s for a thread's event, answering reads
constexpr const char* kStall = "ui command 1203";       // sleeps 60 s in the handler

// Reading lets no time pass: what it shows is what the handler left.
TEST_F(UiInputIdleTest, AReadAfterAHandlerThatWaitsSeesWhatItLeft)
{
    StartClock();
    EXPECT_EQ(Run(kSlowApply), "");
    EXPECT_TRUE(last);
    EXPECT_GE(ElapsedMs(), 2000);
    EXPECT_LT(ElapsedMs(), 2500);
    StartClock();
    EXPECT_EQ(Run("ui text 1050"), "text 1050 \"applied\"\n");
    EXPECT_EQ(ElapsedMs(), 0);

    // This handler answers sent messages while it waits: a read during it
    // would see "waiting for the worker".
    StartClock();
    EXPECT_EQ(Run(kWaitWorker), "");
    EXPECT_GE(ElapsedMs(), 1500);
    EXPECT_LT(ElapsedMs(), 2000);
    StartClock();
    EXPECT_EQ(Run("ui text 1050"), "text 1050 \"worker done\"\n");
    EXPECT_EQ(ElapsedMs(), 0);
}

TEST_F(UiInputIdleTest, AModalLoopWaitingForTheUserIsIdle)
{
    StartClock();
    EXPECT_EQ(Run("ui click 1061"), "window opened \"About UI Test\"\n");
    EXPECT_EQ(ElapsedMs(), 0);
    EXPECT_EQ(Run("ui answer ok"), "window closed \"About UI Test\"\n");

    EXPECT_EQ(Run("ui click 1060"), "msgbox \"UI Test -- Question\" \"Apply the new settings?\" yesno question\n");
    EXPECT_EQ(ElapsedMs(), 0);
    Run("ui answer yes");
    EXPECT_TRUE(last);
    EXPECT_NE(Run("ui items 1016").find("\"answer: yes\""), std::string::npos);
}

TEST_F(UiInputIdleTest, AHandlerThatOutlastsTheBoundIsAnErrorAndTheProgramRecovers)
{
    StartClock();
    EXPECT_EQ(Run(kStall),
              "error: the program is still handling the input after 30 s: a message handler has not returned\n");
    EXPECT_EQ(ElapsedMs(), 30000);
    Run("wait 31s");
    EXPECT_EQ(Run("ui text 1050"), "text 1050 \"stalled a minute\"\n");
    Run(kSlowApply);
    EXPECT_TRUE(last);
    EXPECT_EQ(Run("ui text 1050"), "text 1050 \"applied\"\n");
}

}  // namespace
}  // namespace bench
