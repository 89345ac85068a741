// Tool tips: relayed mouse messages, the text TTN_GETDISPINFO supplies after
// the initial delay, and hiding on a click.
#include <commctrl.h>

#include <algorithm>
#include <cstring>

#include "ui/dialogs/dialog_manager.h"
#include "ui_test.h"

namespace winsim::ui::test {
namespace {

using ToolTipTest = UiTest;

constexpr int kButton = 83;

struct Notified {
    std::vector<UINT> codes;
};

INT_PTR CALLBACK SupplyingProc(HWND hwnd, UINT message, WPARAM, LPARAM lParam)
{
    if (message == WM_INITDIALOG) {
        SetWindowLongPtrA(hwnd, DWLP_USER, lParam);
        return TRUE;
    }
    auto* seen = reinterpret_cast<Notified*>(GetWindowLongPtrA(hwnd, DWLP_USER));
    if (message != WM_NOTIFY || seen == nullptr) return FALSE;
    auto* header = reinterpret_cast<NMHDR*>(lParam);
    seen->codes.push_back(header->code);
    if (header->code == TTN_GETDISPINFOA) {
        std::strcpy(reinterpret_cast<NMTTDISPINFOA*>(lParam)->szText, "Sends the configuration");
    }
    return TRUE;
}

void Pump()
{
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
}

TEST_F(ToolTipTest, ShowsTheSuppliedTextAfterTheDelayAndHidesOnAClick)
{
    Notified seen;
    DialogBuilder builder("Tips", WS_POPUP | WS_VISIBLE, 200, 150);
    builder.Item("Button", "Apply", kButton, BS_PUSHBUTTON, 110, 40, 50, 14);
    HWND dialog = CreateDialogFromTemplate(builder.Template(), nullptr, nullptr, SupplyingProc,
                                           reinterpret_cast<LPARAM>(&seen));
    HWND tip = CreateWindowExA(0, TOOLTIPS_CLASSA, nullptr, WS_POPUP | TTS_ALWAYSTIP, 0, 0, 0, 0, dialog, nullptr,
                               nullptr, nullptr);
    HWND button = GetDlgItem(dialog, kButton);
    TTTOOLINFOA tool{};
    tool.cbSize = sizeof(tool);
    tool.uFlags = TTF_IDISHWND;
    tool.hwnd = dialog;
    tool.uId = reinterpret_cast<UINT_PTR>(button);
    tool.lpszText = LPSTR_TEXTCALLBACKA;
    EXPECT_TRUE(SendMessageA(tip, TTM_ADDTOOLA, 0, reinterpret_cast<LPARAM>(&tool)));
    EXPECT_FALSE(SendMessageA(tip, TTM_ADDTOOLA, 0, reinterpret_cast<LPARAM>(&tool)));  // once per tool
    EXPECT_EQ(SendMessageA(tip, TTM_GETTOOLCOUNT, 0, 0), 1);

    MSG move{button, WM_MOUSEMOVE, 0, MAKELPARAM(3, 3), 0, {}};
    SendMessageA(tip, TTM_RELAYEVENT, 0, reinterpret_cast<LPARAM>(&move));
    Advance(400);
    Pump();
    EXPECT_FALSE(IsWindowVisible(tip));
    Advance(100);
    Pump();
    EXPECT_TRUE(IsWindowVisible(tip));
    char text[64];
    GetWindowTextA(tip, text, sizeof(text));
    EXPECT_STREQ(text, "Sends the configuration");

    MSG click{button, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(3, 3), 0, {}};
    SendMessageA(tip, TTM_RELAYEVENT, 0, reinterpret_cast<LPARAM>(&click));
    EXPECT_FALSE(IsWindowVisible(tip));
    EXPECT_NE(std::find(seen.codes.begin(), seen.codes.end(), TTN_POP), seen.codes.end());

    // Deactivated, it shows nothing.
    SendMessageA(tip, TTM_ACTIVATE, FALSE, 0);
    SendMessageA(tip, TTM_RELAYEVENT, 0, reinterpret_cast<LPARAM>(&move));
    Advance(1000);
    Pump();
    EXPECT_FALSE(IsWindowVisible(tip));
    DestroyWindow(dialog);
}

}  // namespace
}  // namespace winsim::ui::test
