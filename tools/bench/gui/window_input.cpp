#include "gui/window_input.h"

namespace bench {

using winsim::ui::render::Hit;
using winsim::ui::render::HitPart;

HWND KeyboardFocusOf(HWND target)
{
    GUITHREADINFO info{};
    info.cbSize = sizeof(info);
    if (GetGUIThreadInfo(GetWindowThreadProcessId(target, nullptr), &info) && info.hwndFocus != nullptr) {
        return info.hwndFocus;
    }
    return target;
}

void PostKey(HWND target, WPARAM virtualKey, bool shift)
{
    HWND focus = KeyboardFocusOf(target);
    constexpr LPARAM kRelease = static_cast<LPARAM>(0xC0000001u);
    if (shift)
        PostMessageA(focus, WM_KEYDOWN, VK_SHIFT, 1);
    PostMessageA(focus, WM_KEYDOWN, virtualKey, 1);
    PostMessageA(focus, WM_KEYUP, virtualKey, kRelease);
    if (shift)
        PostMessageA(focus, WM_KEYUP, VK_SHIFT, kRelease);
}

void PostCharacter(HWND target, char ch)
{
    PostMessageA(KeyboardFocusOf(target), WM_CHAR, static_cast<WPARAM>(static_cast<unsigned char>(ch)), 1);
}

void PostScrollBarClick(HWND window, bool vertical, bool farEnd, bool track)
{
    RECT client;
    GetClientRect(window, &client);
    const int arrow = GetSystemMetrics(vertical ? SM_CYVSCROLL : SM_CXHSCROLL);
    const int length = vertical ? client.bottom : client.right;
    const int offset = track ? arrow + 1 : 1;
    const int along = farEnd ? length - 1 - offset : offset;
    POINT point = vertical ? POINT{client.right + GetSystemMetrics(SM_CXVSCROLL) / 2, along}
                           : POINT{along, client.bottom + GetSystemMetrics(SM_CYHSCROLL) / 2};
    ClientToScreen(window, &point);
    const LPARAM where = MAKELPARAM(point.x, point.y);
    const LRESULT hit = SendMessageA(window, WM_NCHITTEST, 0, where);
    PostMessageA(window, WM_NCLBUTTONDOWN, static_cast<WPARAM>(hit), where);
}

void PostClick(const Hit& hit, bool twice)
{
    if (hit.window == nullptr || !IsWindowEnabled(hit.window))
        return;
    HWND top = GetAncestor(hit.window, GA_ROOT);
    if (top != nullptr && !IsWindowEnabled(top))
        return;  // behind a modal dialog
    switch (hit.part) {
    case HitPart::kNone:
    case HitPart::kMenuBar:  // the terminal's own menu opens there
        return;
    case HitPart::kClose:
        PostMessageA(hit.window, WM_SYSCOMMAND, SC_CLOSE, 0);
        return;
    case HitPart::kCaption:
        SetForegroundWindow(hit.window);
        return;
    case HitPart::kLineUp:
        PostScrollBarClick(hit.window, true, false, false);
        return;
    case HitPart::kLineDown:
        PostScrollBarClick(hit.window, true, true, false);
        return;
    case HitPart::kPageUp:
        PostScrollBarClick(hit.window, true, false, true);
        return;
    case HitPart::kPageDown:
        PostScrollBarClick(hit.window, true, true, true);
        return;
    case HitPart::kLineLeft:
        PostScrollBarClick(hit.window, false, false, false);
        return;
    case HitPart::kLineRight:
        PostScrollBarClick(hit.window, false, true, false);
        return;
    case HitPart::kPageLeft:
        PostScrollBarClick(hit.window, false, false, true);
        return;
    case HitPart::kPageRight:
        PostScrollBarClick(hit.window, false, true, true);
        return;
    case HitPart::kClient:
        break;
    }
    const LPARAM point = MAKELPARAM(hit.client.x, hit.client.y);
    PostMessageA(hit.window, WM_LBUTTONDOWN, MK_LBUTTON, point);
    PostMessageA(hit.window, WM_LBUTTONUP, 0, point);
    if (!twice)
        return;
    PostMessageA(hit.window, WM_LBUTTONDBLCLK, MK_LBUTTON, point);
    PostMessageA(hit.window, WM_LBUTTONUP, 0, point);
}

void PostWheel(HWND target, int notches)
{
    PostMessageA(KeyboardFocusOf(target), WM_MOUSEWHEEL, MAKEWPARAM(0, notches * WHEEL_DELTA), 0);
}

}  // namespace bench
