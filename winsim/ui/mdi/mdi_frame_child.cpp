// DefFrameProc and DefMDIChildProc: what a frame and its document windows
// leave to the system.
#include "ui/mdi/mdi_client.h"

namespace winsim::ui {

namespace {

HWND ActiveChild(HWND client)
{
    return reinterpret_cast<HWND>(SendMessageA(client, WM_MDIGETACTIVE, 0, 0));
}

// A pick from the window menu: the child with that id.
bool ActivateListedChild(HWND client, UINT id)
{
    MdiClientState* state = MdiStateOf(client);
    if (state == nullptr || id < state->firstChildId || id - state->firstChildId >= state->children.size()) {
        return false;
    }
    SendMessageA(client, WM_MDIACTIVATE, reinterpret_cast<WPARAM>(state->children[id - state->firstChildId]), 0);
    return true;
}

LRESULT ChildSysCommand(HWND child, HWND client, WPARAM wParam, LPARAM lParam)
{
    switch (wParam & 0xFFF0) {
    case SC_MAXIMIZE:
        SendMessageA(client, WM_MDIMAXIMIZE, reinterpret_cast<WPARAM>(child), 0);
        return 0;
    case SC_RESTORE:
        SendMessageA(client, WM_MDIRESTORE, reinterpret_cast<WPARAM>(child), 0);
        return 0;
    case SC_MINIMIZE:
        MinimizeMdiChild(client, child);
        return 0;
    case SC_NEXTWINDOW:
        SendMessageA(client, WM_MDINEXT, reinterpret_cast<WPARAM>(child), 0);
        return 0;
    case SC_PREVWINDOW:
        SendMessageA(client, WM_MDINEXT, reinterpret_cast<WPARAM>(child), 1);
        return 0;
    default:
        return DefWindowProcA(child, WM_SYSCOMMAND, wParam, lParam);
    }
}

}  // namespace

}  // namespace winsim::ui

using namespace winsim::ui;

extern "C" {

LRESULT WINAPI DefFrameProcA(HWND hWnd, HWND hWndMDIClient, UINT uMsg, WPARAM wParam, LPARAM lParam)
{
    if (hWndMDIClient != nullptr) {
        switch (uMsg) {
        case WM_COMMAND:
            if (HIWORD(wParam) == 0 && ActivateListedChild(hWndMDIClient, LOWORD(wParam))) return 0;
            break;
        case WM_SIZE:
            // Without bars of its own the frame's client area is the MDI client's.
            MoveWindow(hWndMDIClient, 0, 0, LOWORD(lParam), HIWORD(lParam), TRUE);
            return 0;
        case WM_SETFOCUS:
            SetFocus(hWndMDIClient);
            return 0;
        case WM_NCACTIVATE:
            if (HWND active = ActiveChild(hWndMDIClient)) SendMessageA(active, WM_NCACTIVATE, wParam, lParam);
            break;
        default:
            break;
        }
    }
    return DefWindowProcA(hWnd, uMsg, wParam, lParam);
}

LRESULT WINAPI DefMDIChildProcA(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam)
{
    HWND client = GetParent(hWnd);
    switch (uMsg) {
    case WM_CHILDACTIVATE:
        SendMessageA(client, WM_MDIACTIVATE, reinterpret_cast<WPARAM>(hWnd), 0);
        return 0;
    case WM_SETFOCUS:
        if (ActiveChild(client) != hWnd) SendMessageA(client, WM_MDIACTIVATE, reinterpret_cast<WPARAM>(hWnd), 0);
        break;
    case WM_MOUSEACTIVATE:
        if (ActiveChild(client) != hWnd) SendMessageA(client, WM_MDIACTIVATE, reinterpret_cast<WPARAM>(hWnd), 0);
        return 1;  // MA_ACTIVATE
    case WM_CLOSE:
        SendMessageA(client, WM_MDIDESTROY, reinterpret_cast<WPARAM>(hWnd), 0);
        return 0;
    case WM_SYSCOMMAND:
        return ChildSysCommand(hWnd, client, wParam, lParam);
    case WM_SIZE:
    case WM_MOVE:
    case WM_SHOWWINDOW:
        UpdateMdiScrollBarsLater(client);
        break;
    case WM_SETTEXT: {
        const LRESULT result = DefWindowProcA(hWnd, uMsg, wParam, lParam);
        SendMessageA(client, WM_MDIREFRESHMENU, 0, 0);
        return result;
    }
    default:
        break;
    }
    return DefWindowProcA(hWnd, uMsg, wParam, lParam);
}

// Ctrl+F4 closes the active child, Ctrl+F6 and Ctrl+Tab go to the next
// (with Shift, the previous), as the child's system menu would.
BOOL WINAPI TranslateMDISysAccel(HWND hWndClient, LPMSG lpMsg)
{
    if (lpMsg == nullptr || (lpMsg->message != WM_KEYDOWN && lpMsg->message != WM_SYSKEYDOWN)) return FALSE;
    if (GetKeyState(VK_CONTROL) >= 0 || GetKeyState(VK_MENU) < 0) return FALSE;
    HWND active = ActiveChild(hWndClient);
    if (active == nullptr || !IsWindowEnabled(active)) return FALSE;
    WPARAM command = 0;
    if (lpMsg->wParam == VK_F4) {
        command = SC_CLOSE;
    } else if (lpMsg->wParam == VK_F6 || lpMsg->wParam == VK_TAB) {
        command = GetKeyState(VK_SHIFT) < 0 ? SC_PREVWINDOW : SC_NEXTWINDOW;
    } else {
        return FALSE;
    }
    SendMessageA(active, WM_SYSCOMMAND, command, 0);
    return TRUE;
}

}  // extern "C"
