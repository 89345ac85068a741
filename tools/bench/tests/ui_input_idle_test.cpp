// The `ui` input commands return once the program has handled the input and
// waits for more: a handler that waits ends first, a modal loop counts as
// waiting, and a handler that outlasts the bound is an error.
#include <gtest/gtest.h>

#include "bench_test.h"
#include "commands/ui_commands.h"
#include "gui/gui_programs.h"

namespace bench {
namespace {

constexpr winsim::Ticks kMs = winsim::kTicksPerMillisecond;

class IdleClockTest : public BenchTest {
protected:
    winsim::Ticks ElapsedMs() { return (session.Machine().Sim().Now() - start_) / kMs; }
    void StartClock() { start_ = session.Machine().Sim().Now(); }

private:
    winsim::Ticks start_ = 0;
};

class UiInputIdleTest : public IdleClockTest {
protected:
    void SetUp() override { ASSERT_EQ(Run("testprogram start"), "window opened \"UI Test Program\"\ntestprogram 1 running\n"); }
};

// The test program's commands without a control (its uitest_ids.h).
constexpr const char* kSlowApply = "ui command 1201";  // sleeps 2 s in the handler
constexpr const char* kWaitWorker = "ui command 1202";  // waits 1.5 s for a thread's event, answering reads
constexpr const char* kStall = "ui command 1203";       // 60 s in the handler, answering reads

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

// The stall answers sent messages: a read in the middle of it would show
// "stalling", so the read waits for the handler to end.
TEST_F(UiInputIdleTest, AHandlerThatOutlastsTheBoundIsAnErrorAndAReadWaitsForItsEnd)
{
    StartClock();
    EXPECT_EQ(Run(kStall),
              "error: the program is still handling the input after 30 s: a message handler has not returned\n");
    EXPECT_EQ(ElapsedMs(), 30000);
    EXPECT_EQ(Run("ui text 1050"), "text 1050 \"stalled a minute\"\n");
    EXPECT_EQ(ElapsedMs(), 60000);
    Run(kSlowApply);
    EXPECT_TRUE(last);
    EXPECT_EQ(Run("ui text 1050"), "text 1050 \"applied\"\n");

    // A second stall given while the first runs: a read once the first ended
    // finds the second in its handler and gives up after 30 s too.
    Run(kStall);
    Run(kStall);
    EXPECT_FALSE(last);
    StartClock();
    EXPECT_EQ(Run("ui dump"),
              "error: the program is still handling the input after 30 s: a message handler has not returned\n");
    EXPECT_EQ(ElapsedMs(), 30000);
}

// A program that shows its window a second after it starts and then spends
// two more seconds before its loop, with its window titled "starting".
int WINAPI SlowStartMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    Sleep(1000);
    HWND window = CreateWindowExA(0, "Static", "starting", WS_POPUP | WS_VISIBLE, 0, 0, 100, 20, nullptr, nullptr,
                                  nullptr, nullptr);
    Sleep(2000);
    SetWindowTextA(window, "ready");
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0)) DispatchMessageA(&msg);
    DestroyWindow(window);
    return 0;
}

using ProgramStartTest = IdleClockTest;

TEST_F(ProgramStartTest, AStartedProgramIsReadOnceItWaitsForItsUser)
{
    StartClock();
    GuiProgram& program = session.Machine().Programs().Start("slowstart", SlowStartMain, "C:\\slow.exe", {});
    StartedWhenIdle(session, program);
    EXPECT_EQ(ElapsedMs(), 3000);
    ASSERT_EQ(VisibleWindowsOf(program).size(), 1u);
    EXPECT_EQ(Run("ui windows").rfind("window \"ready\" Static active\n", 0), 0u);
}

}  // namespace
}  // namespace bench
