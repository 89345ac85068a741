// The progress bar: positions kept within the range, steps that start over
// past the end, and repaints only for a change.
#include <commctrl.h>

#include "ui_test.h"

namespace winsim::ui::test {
namespace {

using ProgressBarTest = UiTest;

TEST_F(ProgressBarTest, PositionsStayInTheRangeAndStepsStartOver)
{
    HWND bar = CreateWindowExA(0, PROGRESS_CLASSA, "", WS_POPUP, 0, 0, 100, 10, nullptr, nullptr, nullptr, nullptr);
    EXPECT_EQ(SendMessageA(bar, PBM_GETRANGE, TRUE, 0), 0);
    EXPECT_EQ(SendMessageA(bar, PBM_GETRANGE, FALSE, 0), 100);
    EXPECT_EQ(SendMessageA(bar, PBM_SETRANGE32, 10, 50), MAKELONG(0, 100));
    EXPECT_EQ(SendMessageA(bar, PBM_GETPOS, 0, 0), 10);  // moved into the new range
    EXPECT_EQ(SendMessageA(bar, PBM_SETPOS, 70, 0), 10);
    EXPECT_EQ(SendMessageA(bar, PBM_GETPOS, 0, 0), 50);
    EXPECT_EQ(SendMessageA(bar, PBM_DELTAPOS, static_cast<WPARAM>(-5), 0), 50);
    EXPECT_EQ(SendMessageA(bar, PBM_GETPOS, 0, 0), 45);
    EXPECT_EQ(SendMessageA(bar, PBM_SETSTEP, 15, 0), 10);
    EXPECT_EQ(SendMessageA(bar, PBM_STEPIT, 0, 0), 45);
    EXPECT_EQ(SendMessageA(bar, PBM_GETPOS, 0, 0), 20);  // 60 is past 50: starts over at 10 + (60 - 10) % 40
    SendMessageA(bar, PBM_SETPOS, 35, 0);
    SendMessageA(bar, PBM_STEPIT, 0, 0);
    EXPECT_EQ(SendMessageA(bar, PBM_GETPOS, 0, 0), 50);  // the end itself is reached

    PBRANGE range{};
    SendMessageA(bar, PBM_GETRANGE, FALSE, reinterpret_cast<LPARAM>(&range));
    EXPECT_EQ(range.iLow, 10);
    EXPECT_EQ(range.iHigh, 50);
    DestroyWindow(bar);
}

TEST_F(ProgressBarTest, OnlyAChangeOfPositionRepaints)
{
    HWND bar = CreateWindowExA(0, PROGRESS_CLASSA, "", WS_POPUP | WS_VISIBLE, 0, 0, 100, 10, nullptr, nullptr,
                               nullptr, nullptr);
    UpdateWindow(bar);
    SendMessageA(bar, PBM_SETPOS, 0, 0);
    RECT update{};
    EXPECT_FALSE(GetUpdateRect(bar, &update, FALSE));
    SendMessageA(bar, PBM_SETPOS, 30, 0);
    EXPECT_TRUE(GetUpdateRect(bar, &update, FALSE));
    DestroyWindow(bar);
}

}  // namespace
}  // namespace winsim::ui::test
