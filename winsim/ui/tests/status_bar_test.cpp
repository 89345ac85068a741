// The status bar: panes and their texts through SB_SETPARTS and resizes, the
// bar at its parent's bottom, pane 0 as the window text, a text written
// again unchanged repainting nothing, and its texts in the font it is as
// tall as.
#include <commctrl.h>

#include <string>

#include "ui/gdi/display_list.h"
#include "ui_test.h"

namespace winsim::ui::test {
namespace {

using StatusBarTest = UiTest;

constexpr int kStatusId = 59393;

std::string PaneText(HWND bar, int pane)
{
    const LRESULT info = SendMessageA(bar, SB_GETTEXTLENGTHA, static_cast<WPARAM>(pane), 0);
    std::string text(LOWORD(info) + 1u, '\0');
    SendMessageA(bar, SB_GETTEXTA, static_cast<WPARAM>(pane), reinterpret_cast<LPARAM>(text.data()));
    text.resize(LOWORD(info));
    return text;
}

HWND CreateFrame()
{
    RegisterHandlerClass("StatusFrame");
    return CreateHandlerWindow("StatusFrame", "Frame", WS_OVERLAPPEDWINDOW | WS_VISIBLE, nullptr, 0,
                               [](HWND, UINT, WPARAM, LPARAM, LRESULT*) { return false; });
}

// Where the bar is in its parent's client area.
RECT PlaceOf(HWND bar)
{
    RECT rect;
    GetWindowRect(bar, &rect);
    ScreenToClient(GetParent(bar), reinterpret_cast<POINT*>(&rect.left));
    ScreenToClient(GetParent(bar), reinterpret_cast<POINT*>(&rect.right));
    return rect;
}

TEST_F(StatusBarTest, PanesKeepTheirTextsWhenTheParentIsResized)
{
    HWND frame = CreateFrame();
    HWND bar = CreateStatusWindowA(WS_CHILD | WS_VISIBLE, "Ready", frame, kStatusId);
    ASSERT_NE(bar, nullptr);
    RECT client;
    GetClientRect(frame, &client);
    RECT place = PlaceOf(bar);
    EXPECT_EQ(place.bottom, client.bottom);
    EXPECT_EQ(place.right, client.right);
    EXPECT_EQ(place.bottom - place.top, 13 + 9);  // the 8-point GUI font and the bar's edges

    const int rights[6] = {100, 180, 260, 300, 340, -1};
    EXPECT_TRUE(SendMessageA(bar, SB_SETPARTS, 6, reinterpret_cast<LPARAM>(rights)));
    EXPECT_EQ(PaneText(bar, 0), "Ready");  // kept through the new parts
    EXPECT_TRUE(SendMessageA(bar, SB_SETTEXTA, 1, reinterpret_cast<LPARAM>("Enabled")));
    EXPECT_TRUE(SendMessageA(bar, SB_SETTEXTA, 2 | SBT_NOBORDERS, reinterpret_cast<LPARAM>("OVRs: 0")));
    EXPECT_FALSE(SendMessageA(bar, SB_SETTEXTA, 6, reinterpret_cast<LPARAM>("no such pane")));
    EXPECT_EQ(SendMessageA(bar, SB_GETTEXTLENGTHA, 2, 0), MAKELONG(7, SBT_NOBORDERS));

    SetWindowPos(frame, nullptr, 0, 0, 500, 300, SWP_NOZORDER | SWP_NOMOVE);
    SendMessageA(bar, WM_SIZE, 0, 0);  // the parent passes its WM_SIZE on
    GetClientRect(frame, &client);
    place = PlaceOf(bar);
    EXPECT_EQ(place.bottom, client.bottom);
    EXPECT_EQ(place.right, client.right);
    EXPECT_EQ(PaneText(bar, 1), "Enabled");
    EXPECT_EQ(PaneText(bar, 2), "OVRs: 0");
    int read[6] = {};
    EXPECT_EQ(SendMessageA(bar, SB_GETPARTS, 6, reinterpret_cast<LPARAM>(read)), 6);
    EXPECT_EQ(read[5], -1);
    RECT last{};
    ASSERT_TRUE(SendMessageA(bar, SB_GETRECT, 5, reinterpret_cast<LPARAM>(&last)));
    EXPECT_EQ(last.left, 340);
    EXPECT_EQ(last.right, client.right);

    // Fewer parts drop the texts of the ones that went.
    SendMessageA(bar, SB_SETPARTS, 2, reinterpret_cast<LPARAM>(rights));
    EXPECT_EQ(PaneText(bar, 1), "Enabled");
    SendMessageA(bar, SB_SETPARTS, 6, reinterpret_cast<LPARAM>(rights));
    EXPECT_EQ(PaneText(bar, 2), "");
    DestroyWindow(frame);
}

TEST_F(StatusBarTest, PaneZeroIsTheWindowTextAndAnUnchangedTextRepaintsNothing)
{
    HWND frame = CreateFrame();
    HWND bar = CreateStatusWindowA(WS_CHILD | WS_VISIBLE, "", frame, kStatusId);
    SendMessageA(bar, SB_SETTEXTA, 0, reinterpret_cast<LPARAM>("Copying"));
    char text[32];
    GetWindowTextA(bar, text, sizeof(text));
    EXPECT_STREQ(text, "Copying");
    SetWindowTextA(bar, "Done");
    EXPECT_EQ(PaneText(bar, 0), "Done");

    UpdateWindow(bar);
    ASSERT_FALSE(GetUpdateRect(bar, nullptr, FALSE));
    SendMessageA(bar, SB_SETTEXTA, 0, reinterpret_cast<LPARAM>("Done"));
    EXPECT_FALSE(GetUpdateRect(bar, nullptr, FALSE));
    SendMessageA(bar, SB_SETTEXTA, 0, reinterpret_cast<LPARAM>("Halted"));
    EXPECT_TRUE(GetUpdateRect(bar, nullptr, FALSE));

    // The simple pane has a text of its own.
    SendMessageA(bar, SB_SIMPLE, TRUE, 0);
    EXPECT_TRUE(SendMessageA(bar, SB_ISSIMPLE, 0, 0));
    SendMessageA(bar, SB_SETTEXTA, SB_SIMPLEID, reinterpret_cast<LPARAM>("Saving"));
    EXPECT_EQ(PaneText(bar, SB_SIMPLEID), "Saving");
    EXPECT_EQ(PaneText(bar, 0), "Halted");
    DestroyWindow(frame);
}

TEST_F(StatusBarTest, WithoutAFontOfItsOwnItDrawsInTheGuiFontItIsMeasuredBy)
{
    HWND frame = CreateFrame();
    HWND bar = CreateStatusWindowA(WS_CHILD | WS_VISIBLE, "Ready", frame, kStatusId);
    UpdateWindow(bar);
    HDC dc = GetDC(bar);
    HGDIOBJ old = SelectObject(dc, GetStockObject(DEFAULT_GUI_FONT));
    TEXTMETRICA gui{};
    GetTextMetricsA(dc, &gui);
    SelectObject(dc, old);
    ReleaseDC(bar, dc);
    RECT rect;
    GetClientRect(bar, &rect);
    EXPECT_EQ(rect.bottom, gui.tmHeight + 9);
    bool drawn = false;
    for (const DisplayItem& item : DisplayListOf(bar)) {
        if (item.kind != DisplayItem::Kind::kText) continue;
        EXPECT_EQ(item.text, "Ready");
        EXPECT_EQ(item.rect.right - item.rect.left, 5 * gui.tmAveCharWidth);
        EXPECT_EQ(item.rect.bottom - item.rect.top, gui.tmHeight);
        drawn = true;
    }
    EXPECT_TRUE(drawn);
    DestroyWindow(frame);
}

}  // namespace
}  // namespace winsim::ui::test
