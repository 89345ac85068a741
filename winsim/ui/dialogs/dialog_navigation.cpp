// Keyboard navigation in dialogs: Tab and Shift+Tab (the shift key as the
// thread's key state has it) through the tab stops, arrows within a group,
// Enter for the default button, Escape for Cancel.
// IsDialogMessage dispatches every message meant for the dialog.
#include <algorithm>
#include <vector>

#include "ui/dialogs/dialog_manager.h"
#include "ui/window_system.h"

namespace {

DWORD StyleOf(HWND hwnd) { return static_cast<DWORD>(GetWindowLongPtrA(hwnd, GWL_STYLE)); }

// The control's own styles count, not whether its dialog is shown yet.
bool Navigable(HWND hwnd) { return (StyleOf(hwnd) & (WS_VISIBLE | WS_DISABLED)) == WS_VISIBLE; }

std::vector<HWND> Controls(HWND dialog)
{
    std::vector<HWND> controls;
    for (HWND child = GetWindow(dialog, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT)) {
        controls.push_back(child);
    }
    return controls;
}

bool ControlParent(HWND hwnd)
{
    return (GetWindowLongPtrA(hwnd, GWL_EXSTYLE) & WS_EX_CONTROLPARENT) && Navigable(hwnd);
}

// The controls in the order Tab visits them: a shown and enabled window with
// WS_EX_CONTROLPARENT (a page, a tab control holding pages) is not a stop
// itself; its own controls take its place.
void CollectInTabOrder(HWND parent, std::vector<HWND>* order)
{
    for (HWND control : Controls(parent)) {
        if (ControlParent(control)) {
            CollectInTabOrder(control, order);
        } else {
            order->push_back(control);
        }
    }
}

bool TabStop(HWND hwnd) { return (StyleOf(hwnd) & WS_TABSTOP) && Navigable(hwnd); }

// The control of `dialog` that is `hwnd` or holds it.
HWND DirectChild(HWND dialog, HWND hwnd)
{
    while (hwnd != nullptr && GetParent(hwnd) != dialog) hwnd = GetParent(hwnd);
    return hwnd;
}

void Dispatch(MSG* msg)
{
    TranslateMessage(msg);
    DispatchMessageA(msg);
}

void ClickCommand(HWND dialog, int id)
{
    HWND control = GetDlgItem(dialog, id);
    if (control != nullptr && !IsWindowEnabled(control)) return;
    SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(control));
}

}  // namespace

namespace winsim::ui {

HWND DefaultFocusOf(HWND dialog)
{
    if (HWND first = GetNextDlgTabItem(dialog, nullptr, FALSE)) return first;
    std::vector<HWND> order;
    CollectInTabOrder(dialog, &order);
    const auto first = std::find_if(order.begin(), order.end(), Navigable);
    return first != order.end() ? *first : nullptr;
}

void MoveDialogFocus(HWND control)
{
    if (SendMessageA(control, WM_GETDLGCODE, 0, 0) & DLGC_HASSETSEL) SendMessageA(control, EM_SETSEL, 0, -1);
    SetFocus(control);
}

}  // namespace winsim::ui

extern "C" {

HWND WINAPI GetNextDlgTabItem(HWND hDlg, HWND hCtl, BOOL bPrevious)
{
    std::vector<HWND> order;
    CollectInTabOrder(hDlg, &order);
    const size_t count = order.size();
    if (count == 0) return nullptr;
    // A window inside a control (a combo box's edit) counts as that control.
    HWND current = hCtl;
    while (current != nullptr && std::find(order.begin(), order.end(), current) == order.end()) {
        current = GetParent(current);
    }
    const auto at = std::find(order.begin(), order.end(), current);
    const size_t start = at != order.end() ? static_cast<size_t>(at - order.begin()) : bPrevious ? 0 : count - 1;
    for (size_t step = 1; step <= count; ++step) {
        const size_t i = bPrevious ? (start + count - step) % count : (start + step) % count;
        if (TabStop(order[i])) return order[i];
    }
    return hCtl;
}

HWND WINAPI GetNextDlgGroupItem(HWND hDlg, HWND hCtl, BOOL bPrevious)
{
    // A group lies among the control's siblings, inside a page as well.
    HWND container = hCtl != nullptr && IsChild(hDlg, hCtl) ? GetParent(hCtl) : hDlg;
    std::vector<HWND> controls = Controls(container);
    HWND current = DirectChild(container, hCtl);
    size_t at = controls.size();
    for (size_t i = 0; i < controls.size(); ++i) {
        if (controls[i] == current) at = i;
    }
    if (at == controls.size()) return nullptr;
    // The group runs from the control with WS_GROUP at or before it to the
    // control before the next WS_GROUP.
    size_t first = at;
    while (first > 0 && !(StyleOf(controls[first]) & WS_GROUP)) --first;
    size_t last = at + 1;
    while (last < controls.size() && !(StyleOf(controls[last]) & WS_GROUP)) ++last;
    const size_t size = last - first;
    for (size_t step = 1; step < size; ++step) {
        const size_t offset = bPrevious ? (at - first + size - step) % size : (at - first + step) % size;
        if (Navigable(controls[first + offset])) return controls[first + offset];
    }
    return current;
}

BOOL WINAPI IsDialogMessageA(HWND hDlg, LPMSG lpMsg)
{
    if (lpMsg->hwnd != hDlg && !IsChild(hDlg, lpMsg->hwnd)) return FALSE;
    if (lpMsg->message != WM_KEYDOWN && lpMsg->message != WM_CHAR) {
        Dispatch(lpMsg);
        return TRUE;
    }
    const auto code = static_cast<UINT>(
        SendMessageA(lpMsg->hwnd, WM_GETDLGCODE, lpMsg->wParam, reinterpret_cast<LPARAM>(lpMsg)));
    if (code & DLGC_WANTMESSAGE) {
        Dispatch(lpMsg);
        return TRUE;
    }
    if (lpMsg->message == WM_CHAR) {
        // Characters of the keys the dialog itself handles go nowhere.
        const auto ch = static_cast<char>(lpMsg->wParam);
        if ((code & DLGC_WANTCHARS) || (ch != '\t' && ch != '\r' && ch != 0x1B)) DispatchMessageA(lpMsg);
        return TRUE;
    }
    switch (lpMsg->wParam) {
    case VK_TAB:
        if (code & DLGC_WANTTAB) break;
        SendMessageA(hDlg, WM_NEXTDLGCTL, GetKeyState(VK_SHIFT) < 0 ? 1 : 0, FALSE);
        return TRUE;
    case VK_LEFT:
    case VK_UP:
    case VK_RIGHT:
    case VK_DOWN: {
        if (code & DLGC_WANTARROWS) break;
        const bool previous = lpMsg->wParam == VK_LEFT || lpMsg->wParam == VK_UP;
        HWND next = GetNextDlgGroupItem(hDlg, lpMsg->hwnd, previous ? TRUE : FALSE);
        if (next == nullptr || next == lpMsg->hwnd) return TRUE;
        SetFocus(next);
        const auto nextCode = static_cast<UINT>(SendMessageA(next, WM_GETDLGCODE, 0, 0));
        if ((nextCode & DLGC_RADIOBUTTON) && (StyleOf(next) & BS_TYPEMASK) == BS_AUTORADIOBUTTON) {
            SendMessageA(next, BM_CLICK, 0, 0);
        }
        return TRUE;
    }
    case VK_RETURN: {
        int id = IDOK;
        if (code & (DLGC_DEFPUSHBUTTON | DLGC_UNDEFPUSHBUTTON)) {
            id = GetDlgCtrlID(lpMsg->hwnd);
        } else {
            const LRESULT defId = SendMessageA(hDlg, DM_GETDEFID, 0, 0);
            if (HIWORD(defId) == DC_HASDEFID) id = LOWORD(defId);
        }
        ClickCommand(hDlg, id);
        return TRUE;
    }
    case VK_ESCAPE:
        ClickCommand(hDlg, IDCANCEL);
        return TRUE;
    default:
        break;
    }
    Dispatch(lpMsg);
    return TRUE;
}

}  // extern "C"
