// Standard scroll bars: Windows' clamping of the position to the last page,
// the defaults, a bar shown only while there is something to scroll, and
// clicks on a bar's parts arriving as WM_VSCROLL codes.
#include "ui_test.h"

namespace winsim::ui::test {
namespace {

using ScrollBarTest = UiTest;

HWND Scrolled(std::vector<int>* codes)
{
    RegisterHandlerClass("Scrolled");
    return CreateHandlerWindow("Scrolled", "scrolled", WS_OVERLAPPED | WS_VSCROLL | WS_HSCROLL, nullptr, 0,
                               [codes](HWND, UINT message, WPARAM wParam, LPARAM, LRESULT* result) {
                                   if (message != WM_VSCROLL && message != WM_HSCROLL) return false;
                                   codes->push_back((message == WM_HSCROLL ? 100 : 0) + LOWORD(wParam));
                                   *result = 0;
                                   return true;
                               });
}

SCROLLINFO Read(HWND hwnd, int bar)
{
    SCROLLINFO info{sizeof(info), SIF_ALL};
    EXPECT_TRUE(GetScrollInfo(hwnd, bar, &info));
    return info;
}

TEST_F(ScrollBarTest, ThePositionStopsWhereTheLastPageBegins)
{
    std::vector<int> codes;
    HWND hwnd = Scrolled(&codes);
    int low = -1, high = -1;
    EXPECT_TRUE(GetScrollRange(hwnd, SB_VERT, &low, &high));
    EXPECT_EQ(low, 0);
    EXPECT_EQ(high, 100);

    SCROLLINFO set{sizeof(set), SIF_RANGE | SIF_PAGE | SIF_POS, 0, 99, 10, 95};
    EXPECT_EQ(SetScrollInfo(hwnd, SB_VERT, &set, TRUE), 90);  // 99 - (10 - 1)
    EXPECT_EQ(GetScrollPos(hwnd, SB_VERT), 90);
    EXPECT_EQ(SetScrollPos(hwnd, SB_VERT, -5, TRUE), 90);
    EXPECT_EQ(GetScrollPos(hwnd, SB_VERT), 0);

    // A page wider than the range is cut to it; no page leaves nMax itself reachable.
    set = SCROLLINFO{sizeof(set), SIF_PAGE | SIF_POS, 0, 0, 500, 50};
    SetScrollInfo(hwnd, SB_VERT, &set, TRUE);
    EXPECT_EQ(Read(hwnd, SB_VERT).nPage, 100u);
    EXPECT_EQ(Read(hwnd, SB_VERT).nPos, 0);
    set = SCROLLINFO{sizeof(set), SIF_PAGE | SIF_POS, 0, 0, 0, 500};
    SetScrollInfo(hwnd, SB_VERT, &set, TRUE);
    EXPECT_EQ(Read(hwnd, SB_VERT).nPos, 99);

    // A narrower range pulls the position in.
    EXPECT_TRUE(SetScrollRange(hwnd, SB_VERT, 10, 20, TRUE));
    EXPECT_EQ(GetScrollPos(hwnd, SB_VERT), 20);
    EXPECT_EQ(Read(hwnd, SB_VERT).nTrackPos, 20);
    EXPECT_EQ(GetScrollPos(hwnd, SB_HORZ), 0);  // the other bar is its own
    DestroyWindow(hwnd);
}

TEST_F(ScrollBarTest, AWindowWithoutTheStyleHasNoBarToRead)
{
    RegisterHandlerClass("Plain");
    HWND hwnd = CreateHandlerWindow("Plain", "plain", WS_OVERLAPPED, nullptr, 0, nullptr);
    SCROLLINFO info{sizeof(info), SIF_ALL};
    EXPECT_FALSE(GetScrollInfo(hwnd, SB_VERT, &info));
    EXPECT_FALSE(GetScrollInfo(hwnd, 7, &info));
    DestroyWindow(hwnd);
}

TEST_F(ScrollBarTest, ClicksOnABarsPartsScrollTheWindow)
{
    std::vector<int> codes;
    HWND hwnd = Scrolled(&codes);
    SetWindowPos(hwnd, nullptr, 0, 0, 200, 300, SWP_NOZORDER);
    SCROLLINFO set{sizeof(set), SIF_RANGE | SIF_PAGE | SIF_POS, 0, 99, 10, 0};
    SetScrollInfo(hwnd, SB_VERT, &set, TRUE);
    RECT client;
    GetClientRect(hwnd, &client);
    auto clickAt = [&](int x, int y) {
        POINT point{x, y};
        ClientToScreen(hwnd, &point);
        const LPARAM where = MAKELPARAM(point.x, point.y);
        const LRESULT hit = SendMessageA(hwnd, WM_NCHITTEST, 0, where);
        SendMessageA(hwnd, WM_NCLBUTTONDOWN, static_cast<WPARAM>(hit), where);
    };
    const int bar = client.right + 2;
    clickAt(bar, 2);                   // the up arrow
    clickAt(bar, client.bottom - 2);   // the down arrow
    clickAt(bar, client.bottom - 25);  // the track below the thumb at the top
    clickAt(bar, 20);                  // the thumb itself: no scrolling without a drag
    clickAt(10, client.bottom + 2);    // the horizontal bar's left arrow
    clickAt(10, 10);                   // the client area
    EXPECT_EQ(codes, (std::vector<int>{SB_LINEUP, SB_ENDSCROLL, SB_LINEDOWN, SB_ENDSCROLL, SB_PAGEDOWN, SB_ENDSCROLL,
                                       100 + SB_LINELEFT, 100 + SB_ENDSCROLL}));
    DestroyWindow(hwnd);
}

TEST_F(ScrollBarTest, ShowingAndHidingABarGivesTheClientAreaBackAndSaysSo)
{
    std::vector<int> widths;
    RegisterHandlerClass("Sized");
    HWND hwnd = CreateHandlerWindow("Sized", "sized", WS_OVERLAPPED, nullptr, 0,
                                    [&widths](HWND, UINT message, WPARAM, LPARAM lParam, LRESULT*) {
                                        if (message == WM_SIZE) widths.push_back(LOWORD(lParam));
                                        return false;
                                    });
    RECT before;
    GetClientRect(hwnd, &before);
    widths.clear();
    EXPECT_TRUE(ShowScrollBar(hwnd, SB_VERT, TRUE));
    EXPECT_TRUE(GetWindowLongPtrA(hwnd, GWL_STYLE) & WS_VSCROLL);
    EXPECT_TRUE(ShowScrollBar(hwnd, SB_VERT, TRUE));  // already shown: no news
    EXPECT_EQ(widths, std::vector<int>{before.right - GetSystemMetrics(SM_CXVSCROLL)});
    EXPECT_TRUE(ShowScrollBar(hwnd, SB_BOTH, FALSE));
    EXPECT_FALSE(GetWindowLongPtrA(hwnd, GWL_STYLE) & (WS_VSCROLL | WS_HSCROLL));
    EXPECT_EQ(widths.back(), before.right);
    EXPECT_FALSE(ShowScrollBar(hwnd, 7, TRUE));
    DestroyWindow(hwnd);
}

bool Shown(HWND hwnd, DWORD bar) { return (GetWindowLongPtrA(hwnd, GWL_STYLE) & bar) != 0; }

TEST_F(ScrollBarTest, ABarShowsOnlyWhileItsRangeHasSomethingToScroll)
{
    std::vector<int> codes;
    HWND hwnd = Scrolled(&codes);
    SCROLLINFO set{sizeof(set), SIF_RANGE | SIF_PAGE, 0, 9, 10, 0};
    SetScrollInfo(hwnd, SB_VERT, &set, TRUE);
    EXPECT_FALSE(Shown(hwnd, WS_VSCROLL));  // ten lines, ten shown
    EXPECT_TRUE(Shown(hwnd, WS_HSCROLL));   // the other bar keeps its 0 to 100
    EXPECT_EQ(Read(hwnd, SB_VERT).nMax, 9);  // a hidden bar keeps what was set

    set = SCROLLINFO{sizeof(set), SIF_PAGE, 0, 0, 5, 0};
    SetScrollInfo(hwnd, SB_VERT, &set, TRUE);
    EXPECT_FALSE(Shown(hwnd, WS_VSCROLL));  // a page alone does not bring it back
    EXPECT_TRUE(SetScrollRange(hwnd, SB_VERT, 0, 50, TRUE));
    EXPECT_TRUE(Shown(hwnd, WS_VSCROLL));
    EXPECT_TRUE(SetScrollRange(hwnd, SB_VERT, 5, 5, TRUE));
    EXPECT_FALSE(Shown(hwnd, WS_VSCROLL));

    // SIF_DISABLENOSCROLL keeps a bar that has nothing to scroll.
    set = SCROLLINFO{sizeof(set), SIF_RANGE | SIF_PAGE | SIF_DISABLENOSCROLL, 0, 9, 10, 0};
    SetScrollInfo(hwnd, SB_HORZ, &set, TRUE);
    EXPECT_TRUE(Shown(hwnd, WS_HSCROLL));
    DestroyWindow(hwnd);

    // A window created without bars gets one when a range needs it.
    RegisterHandlerClass("Plain");
    HWND plain = CreateHandlerWindow("Plain", "plain", WS_OVERLAPPED, nullptr, 0, nullptr);
    EXPECT_TRUE(SetScrollRange(plain, SB_HORZ, 0, 100, TRUE));
    EXPECT_TRUE(Shown(plain, WS_HSCROLL));
    EXPECT_FALSE(Shown(plain, WS_VSCROLL));
    DestroyWindow(plain);
}

}  // namespace
}  // namespace winsim::ui::test
