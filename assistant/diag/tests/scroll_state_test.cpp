// Scrolling the diagnostics views: lines that fit, the jump to the end when
// a line arrives, and requests at and away from the limits.
#include <gtest/gtest.h>

#include "assistant/diag/scroll_state.h"

namespace {

using diag::ScrollState;

TEST(ScrollState, RowsAreWholeLinesBelowTheMargin)
{
    ScrollState scroll;
    EXPECT_EQ(scroll.Rows(), 20);
    scroll.SetRows(0, 310, 15);
    EXPECT_EQ(scroll.Rows(), 20);
    scroll.SetRows(0, 324, 15);
    EXPECT_EQ(scroll.Rows(), 20);
    scroll.SetRows(0, 325, 15);
    EXPECT_EQ(scroll.Rows(), 21);
    scroll.SetRows(0, 5, 15);
    EXPECT_EQ(scroll.Rows(), 1);
}

TEST(ScrollState, ANewLineShowsTheLastPage)
{
    ScrollState scroll;
    scroll.SetRows(0, 160, 15);  // 10 rows
    scroll.ScrollToEnd(4);
    EXPECT_EQ(scroll.FirstVisible(), 0);
    EXPECT_FALSE(scroll.BarShown(4));
    scroll.ScrollToEnd(25);
    EXPECT_EQ(scroll.MaxFirst(), 15);
    EXPECT_EQ(scroll.FirstVisible(), 15);
    EXPECT_TRUE(scroll.BarShown(25));
}

TEST(ScrollState, RequestsMoveWithinTheRangeAndReportLimits)
{
    ScrollState scroll;
    scroll.SetRows(0, 160, 15);
    scroll.ScrollToEnd(25);
    EXPECT_FALSE(scroll.Scroll(SB_LINEDOWN, 0));
    EXPECT_FALSE(scroll.Scroll(SB_BOTTOM, 0));
    EXPECT_TRUE(scroll.Scroll(SB_LINEUP, 0));
    EXPECT_EQ(scroll.FirstVisible(), 14);
    EXPECT_TRUE(scroll.Scroll(SB_PAGEUP, 0));
    EXPECT_EQ(scroll.FirstVisible(), 4);
    EXPECT_TRUE(scroll.Scroll(SB_PAGEUP, 0));
    EXPECT_EQ(scroll.FirstVisible(), 0);
    EXPECT_FALSE(scroll.Scroll(SB_PAGEUP, 0));
    EXPECT_FALSE(scroll.Scroll(SB_TOP, 0));
    EXPECT_TRUE(scroll.Scroll(SB_PAGEDOWN, 0));
    EXPECT_EQ(scroll.FirstVisible(), 10);
    EXPECT_TRUE(scroll.Scroll(SB_PAGEDOWN, 0));
    EXPECT_EQ(scroll.FirstVisible(), 15);
    EXPECT_TRUE(scroll.Scroll(SB_THUMBTRACK, 7));
    EXPECT_EQ(scroll.FirstVisible(), 7);
    EXPECT_TRUE(scroll.Scroll(SB_THUMBPOSITION, 99));
    EXPECT_EQ(scroll.FirstVisible(), 15);
    EXPECT_FALSE(scroll.Scroll(SB_ENDSCROLL, 0));
}

TEST(ScrollState, FitKeepsTheTopLineUnlessPastTheEnd)
{
    ScrollState scroll;
    scroll.SetRows(0, 160, 15);
    scroll.ScrollToEnd(25);
    scroll.Scroll(SB_THUMBPOSITION, 5);
    scroll.SetRows(0, 310, 15);  // 20 rows: at most 5 lines above
    scroll.Fit(25);
    EXPECT_EQ(scroll.FirstVisible(), 5);
    scroll.SetRows(0, 460, 15);  // 30 rows: everything fits
    scroll.Fit(25);
    EXPECT_EQ(scroll.FirstVisible(), 0);
    EXPECT_FALSE(scroll.BarShown(25));
}

TEST(ScrollState, KeysActLikeTheMatchingRequests)
{
    EXPECT_EQ(diag::ScrollRequestForKey(VK_PRIOR), SB_PAGEUP);
    EXPECT_EQ(diag::ScrollRequestForKey(VK_NEXT), SB_PAGEDOWN);
    EXPECT_EQ(diag::ScrollRequestForKey(VK_HOME), SB_TOP);
    EXPECT_EQ(diag::ScrollRequestForKey(VK_END), SB_BOTTOM);
    EXPECT_EQ(diag::ScrollRequestForKey(VK_UP), SB_LINEUP);
    EXPECT_EQ(diag::ScrollRequestForKey(VK_DOWN), SB_LINEDOWN);
    EXPECT_EQ(diag::ScrollRequestForKey(VK_LEFT), -1);
}

TEST(ScrollColumns, MovesByCharactersAndPagesOfForty)
{
    EXPECT_EQ(diag::ScrollColumns(0, SB_LINELEFT, 0), 0);
    EXPECT_EQ(diag::ScrollColumns(0, SB_LINERIGHT, 0), 1);
    EXPECT_EQ(diag::ScrollColumns(10, SB_PAGERIGHT, 0), 50);
    EXPECT_EQ(diag::ScrollColumns(190, SB_PAGERIGHT, 0), 201);
    EXPECT_EQ(diag::ScrollColumns(30, SB_PAGELEFT, 0), 0);
    EXPECT_EQ(diag::ScrollColumns(30, SB_LEFT, 0), 0);
    EXPECT_EQ(diag::ScrollColumns(30, SB_RIGHT, 0), 201);
    EXPECT_EQ(diag::ScrollColumns(30, SB_THUMBTRACK, 77), 77);
}

}  // namespace
