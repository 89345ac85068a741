// The toolbar: clicks on enabled buttons only, check buttons and check
// groups, layout with separators and hidden buttons, the bar across its
// parent's top, and tool tips whose text the parent supplies.
#include <commctrl.h>

#include <cstring>
#include <vector>

#include "ui_test.h"

namespace winsim::ui::test {
namespace {

using ToolbarTest = UiTest;

constexpr int kToolbarId = 59392;
constexpr int kHalt = 32783;
constexpr int kResume = 32784;
constexpr int kHex = 32781;
constexpr int kAscii = 32782;

struct Parent {
    HWND hwnd = nullptr;
    std::vector<WPARAM> commands;
    std::vector<LPARAM> senders;
    std::vector<UINT_PTR> tipRequests;
};

void Pump()
{
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
}

HWND CreateParent(Parent* parent)
{
    RegisterHandlerClass("BarParent");
    parent->hwnd = CreateHandlerWindow(
        "BarParent", "Frame", WS_OVERLAPPEDWINDOW | WS_VISIBLE, nullptr, 0,
        [parent](HWND, UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) {
            if (message == WM_COMMAND) {
                parent->commands.push_back(wParam);
                parent->senders.push_back(lParam);
            }
            if (message == WM_NOTIFY && reinterpret_cast<NMHDR*>(lParam)->code == TTN_GETDISPINFOA) {
                auto* info = reinterpret_cast<NMTTDISPINFOA*>(lParam);
                parent->tipRequests.push_back(info->hdr.idFrom);
                std::strcpy(info->szText, "Halt Event Display");
            }
            *result = 0;
            return message == WM_COMMAND || message == WM_NOTIFY;
        });
    return parent->hwnd;
}

HWND CreateToolbar(HWND parent, DWORD style = 0)
{
    HWND toolbar = CreateWindowExA(0, TOOLBARCLASSNAMEA, nullptr, WS_CHILD | WS_VISIBLE | style, 0, 0, 0, 0, parent,
                                   reinterpret_cast<HMENU>(static_cast<UINT_PTR>(kToolbarId)), nullptr, nullptr);
    SendMessageA(toolbar, TB_BUTTONSTRUCTSIZE, sizeof(TBBUTTON), 0);
    SendMessageA(toolbar, TB_SETBITMAPSIZE, 0, MAKELONG(32, 32));
    const TBBUTTON buttons[] = {
        {0, kResume, 0, TBSTYLE_BUTTON, {}, 0, 0},
        {1, kHalt, TBSTATE_ENABLED, TBSTYLE_BUTTON, {}, 0, 0},
        {0, 0, TBSTATE_ENABLED, TBSTYLE_SEP, {}, 0, 0},
        {2, kHex, TBSTATE_ENABLED, TBSTYLE_CHECKGROUP, {}, 0, 0},
        {3, kAscii, TBSTATE_ENABLED | TBSTATE_CHECKED, TBSTYLE_CHECKGROUP, {}, 0, 0},
    };
    SendMessageA(toolbar, TB_ADDBUTTONSA, 5, reinterpret_cast<LPARAM>(buttons));
    return toolbar;
}

RECT ButtonRect(HWND toolbar, int command)
{
    RECT rect{};
    SendMessageA(toolbar, TB_GETRECT, static_cast<WPARAM>(command), reinterpret_cast<LPARAM>(&rect));
    return rect;
}

// A press and release, each at the middle of a button.
void Click(HWND toolbar, int pressOn, int releaseOn)
{
    const RECT down = ButtonRect(toolbar, pressOn);
    const RECT up = ButtonRect(toolbar, releaseOn);
    PostMessageA(toolbar, WM_LBUTTONDOWN, MK_LBUTTON,
                 MAKELPARAM((down.left + down.right) / 2, (down.top + down.bottom) / 2));
    PostMessageA(toolbar, WM_LBUTTONUP, 0, MAKELPARAM((up.left + up.right) / 2, (up.top + up.bottom) / 2));
    Pump();
}

TEST_F(ToolbarTest, OnlyAnEnabledButtonClickedWhereItWasPressedSendsItsCommand)
{
    Parent parent;
    HWND toolbar = CreateToolbar(CreateParent(&parent));

    Click(toolbar, kResume, kResume);  // disabled: not pressed, no command
    EXPECT_TRUE(parent.commands.empty());
    EXPECT_EQ(SendMessageA(toolbar, TB_GETSTATE, kResume, 0), 0);

    Click(toolbar, kHalt, kHalt);
    ASSERT_EQ(parent.commands, std::vector<WPARAM>{MAKEWPARAM(kHalt, BN_CLICKED)});
    EXPECT_EQ(parent.senders[0], reinterpret_cast<LPARAM>(toolbar));
    EXPECT_EQ(SendMessageA(toolbar, TB_GETSTATE, kHalt, 0), TBSTATE_ENABLED);  // released again

    // Halt switches the buttons over, as the event window does.
    SendMessageA(toolbar, TB_ENABLEBUTTON, kHalt, MAKELONG(FALSE, 0));
    SendMessageA(toolbar, TB_ENABLEBUTTON, kResume, MAKELONG(TRUE, 0));
    EXPECT_FALSE(SendMessageA(toolbar, TB_ISBUTTONENABLED, kHalt, 0));
    EXPECT_TRUE(SendMessageA(toolbar, TB_ISBUTTONENABLED, kResume, 0));
    Click(toolbar, kHalt, kHalt);
    EXPECT_EQ(parent.commands.size(), 1u);

    // Pressed on one button and released over another: no click.
    Click(toolbar, kResume, kHex);
    EXPECT_EQ(parent.commands.size(), 1u);
    EXPECT_EQ(SendMessageA(toolbar, TB_GETSTATE, kResume, 0), TBSTATE_ENABLED);

    // Disabled between press and release: no click either.
    const RECT resume = ButtonRect(toolbar, kResume);
    const LPARAM middle = MAKELPARAM((resume.left + resume.right) / 2, (resume.top + resume.bottom) / 2);
    SendMessageA(toolbar, WM_LBUTTONDOWN, MK_LBUTTON, middle);
    EXPECT_EQ(SendMessageA(toolbar, TB_GETSTATE, kResume, 0), TBSTATE_ENABLED | TBSTATE_PRESSED);
    SendMessageA(toolbar, TB_ENABLEBUTTON, kResume, MAKELONG(FALSE, 0));
    SendMessageA(toolbar, WM_LBUTTONUP, 0, middle);
    EXPECT_EQ(parent.commands.size(), 1u);
    EXPECT_EQ(SendMessageA(toolbar, TB_GETSTATE, kResume, 0), 0);
    DestroyWindow(parent.hwnd);
}

TEST_F(ToolbarTest, ACheckGroupKeepsOneButtonChecked)
{
    Parent parent;
    HWND toolbar = CreateToolbar(CreateParent(&parent));
    Click(toolbar, kHex, kHex);
    EXPECT_TRUE(SendMessageA(toolbar, TB_ISBUTTONCHECKED, kHex, 0));
    EXPECT_FALSE(SendMessageA(toolbar, TB_ISBUTTONCHECKED, kAscii, 0));
    Click(toolbar, kHex, kHex);  // a checked group button stays checked
    EXPECT_TRUE(SendMessageA(toolbar, TB_ISBUTTONCHECKED, kHex, 0));
    SendMessageA(toolbar, TB_CHECKBUTTON, kAscii, MAKELONG(TRUE, 0));
    EXPECT_FALSE(SendMessageA(toolbar, TB_ISBUTTONCHECKED, kHex, 0));
    EXPECT_TRUE(SendMessageA(toolbar, TB_ISBUTTONCHECKED, kAscii, 0));
    EXPECT_EQ(parent.commands.size(), 2u);
    EXPECT_FALSE(SendMessageA(toolbar, TB_CHECKBUTTON, 1, MAKELONG(TRUE, 0)));  // no such command
    EXPECT_EQ(SendMessageA(toolbar, TB_GETSTATE, 1, 0), -1);
    DestroyWindow(parent.hwnd);
}

TEST_F(ToolbarTest, ButtonsSitSideBySideAndTheBarSpansItsParentsTop)
{
    Parent parent;
    HWND frame = CreateParent(&parent);
    HWND toolbar = CreateToolbar(frame);
    EXPECT_EQ(SendMessageA(toolbar, TB_BUTTONCOUNT, 0, 0), 5);
    EXPECT_EQ(SendMessageA(toolbar, TB_GETBUTTONSIZE, 0, 0), MAKELONG(39, 39));  // image plus 7 each way
    EXPECT_EQ(ButtonRect(toolbar, kHalt).left, 39);
    EXPECT_EQ(ButtonRect(toolbar, kHex).left, 2 * 39 + 8);  // after the separator
    TBBUTTON read{};
    ASSERT_TRUE(SendMessageA(toolbar, TB_GETBUTTON, 2, reinterpret_cast<LPARAM>(&read)));
    EXPECT_EQ(read.fsStyle, TBSTYLE_SEP);

    SendMessageA(toolbar, TB_HIDEBUTTON, kResume, MAKELONG(TRUE, 0));
    EXPECT_EQ(ButtonRect(toolbar, kHalt).left, 0);
    EXPECT_FALSE(SendMessageA(toolbar, TB_GETRECT, kResume, reinterpret_cast<LPARAM>(&read)));

    SendMessageA(toolbar, TB_AUTOSIZE, 0, 0);
    RECT client;
    GetClientRect(frame, &client);
    RECT bar;
    GetClientRect(toolbar, &bar);
    EXPECT_EQ(bar.right, client.right);
    EXPECT_EQ(bar.bottom, 39 + 4);
    SetWindowPos(frame, nullptr, 0, 0, 300, 200, SWP_NOZORDER | SWP_NOMOVE);
    SendMessageA(toolbar, TB_AUTOSIZE, 0, 0);
    GetClientRect(frame, &client);
    GetClientRect(toolbar, &bar);
    EXPECT_EQ(bar.right, client.right);
    DestroyWindow(parent.hwnd);
}

TEST_F(ToolbarTest, ItsToolTipAsksTheParentForAButtonsText)
{
    Parent parent;
    HWND toolbar = CreateToolbar(CreateParent(&parent), TBSTYLE_TOOLTIPS);
    HWND tip = reinterpret_cast<HWND>(SendMessageA(toolbar, TB_GETTOOLTIPS, 0, 0));
    ASSERT_NE(tip, nullptr);
    EXPECT_EQ(SendMessageA(tip, TTM_GETTOOLCOUNT, 0, 0), 4);  // the separator has none
    const RECT halt = ButtonRect(toolbar, kHalt);
    PostMessageA(toolbar, WM_MOUSEMOVE, 0, MAKELPARAM(halt.left + 3, halt.top + 3));
    Pump();
    Advance(500);
    Pump();
    EXPECT_EQ(parent.tipRequests, std::vector<UINT_PTR>{kHalt});
    EXPECT_TRUE(IsWindowVisible(tip));
    char text[64];
    GetWindowTextA(tip, text, sizeof(text));
    EXPECT_STREQ(text, "Halt Event Display");
    DestroyWindow(parent.hwnd);
    EXPECT_FALSE(IsWindow(tip));  // the toolbar's tip goes with it
}

}  // namespace
}  // namespace winsim::ui::test
