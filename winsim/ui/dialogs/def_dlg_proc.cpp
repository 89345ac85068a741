// DefDlgProc: the dialog class's procedure. The dialog procedure sees each
// message first; what it handles returns DWLP_MSGRESULT (or, for the few
// messages that answer with a value of their own, what it returned).
#include "ui/dialogs/dialog_manager.h"
#include "ui/window_system.h"

using namespace winsim::ui;

namespace {

bool ReturnsValueDirectly(UINT message)
{
    if (message >= WM_CTLCOLORMSGBOX && message <= WM_CTLCOLORSTATIC) return true;  // the brush
    switch (message) {
    case WM_COMPAREITEM:
    case WM_VKEYTOITEM:
    case WM_CHARTOITEM:
    case WM_QUERYDRAGICON:
    case WM_INITDIALOG:
        return true;
    default:
        return false;
    }
}

bool IsPushButton(HWND hwnd)
{
    char name[16];
    if (GetClassNameA(hwnd, name, sizeof(name)) == 0 || !SameText("button", name)) return false;
    const DWORD type = static_cast<DWORD>(GetWindowLongPtrA(hwnd, GWL_STYLE)) & BS_TYPEMASK;
    return type == BS_PUSHBUTTON || type == BS_DEFPUSHBUTTON;
}

WORD DefaultId(HWND dialog, const DialogState& state)
{
    for (HWND child = GetWindow(dialog, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT)) {
        if (IsPushButton(child) &&
            (static_cast<DWORD>(GetWindowLongPtrA(child, GWL_STYLE)) & BS_TYPEMASK) == BS_DEFPUSHBUTTON) {
            return static_cast<WORD>(GetDlgCtrlID(child));
        }
    }
    return state.defaultId;
}

void SetDefaultId(HWND dialog, DialogState& state, WORD id)
{
    state.defaultId = id;
    for (HWND child = GetWindow(dialog, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT)) {
        if (!IsPushButton(child)) continue;
        const WPARAM style = GetDlgCtrlID(child) == id ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON;
        SendMessageA(child, BM_SETSTYLE, style, TRUE);
    }
}

void RestoreFocus(HWND dialog, DialogState& state)
{
    HWND target = state.lastFocus;
    if (target == nullptr || !IsWindow(target) || !IsChild(dialog, target) || !IsWindowEnabled(target)) {
        target = GetNextDlgTabItem(dialog, nullptr, FALSE);
    }
    if (target != nullptr) SetFocus(target);
}

LRESULT DefaultHandling(HWND hDlg, UINT Msg, WPARAM wParam, LPARAM lParam, DialogState* state)
{
    switch (Msg) {
    case WM_INITDIALOG:
        return TRUE;
    case WM_CLOSE: {
        HWND cancel = GetDlgItem(hDlg, IDCANCEL);
        if (cancel != nullptr && !IsWindowEnabled(cancel)) return 0;
        PostMessageA(hDlg, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), reinterpret_cast<LPARAM>(cancel));
        return 0;
    }
    case WM_ACTIVATE:
        if (state != nullptr && LOWORD(wParam) != WA_INACTIVE) RestoreFocus(hDlg, *state);
        return 0;
    case WM_SETFOCUS:
        if (state != nullptr) RestoreFocus(hDlg, *state);
        return 0;
    case DM_GETDEFID:
        return state != nullptr ? MAKELRESULT(DefaultId(hDlg, *state), DC_HASDEFID) : 0;
    case DM_SETDEFID:
        if (state != nullptr) SetDefaultId(hDlg, *state, static_cast<WORD>(wParam));
        return TRUE;
    case WM_NEXTDLGCTL: {
        HWND target = lParam ? reinterpret_cast<HWND>(wParam) : GetNextDlgTabItem(hDlg, GetFocus(), wParam != 0);
        if (target != nullptr) MoveDialogFocus(target);
        return 0;
    }
    case WM_GETFONT:
        return state != nullptr ? reinterpret_cast<LRESULT>(state->font) : 0;
    case WM_ERASEBKGND:
        return 1;
    case WM_NCDESTROY:
        if (state != nullptr && state->ownsFont) {
            DeleteObject(state->font);
            state->ownsFont = false;
        }
        return DefWindowProcA(hDlg, Msg, wParam, lParam);
    default:
        return DefWindowProcA(hDlg, Msg, wParam, lParam);
    }
}

}  // namespace

extern "C" {

LRESULT WINAPI DefDlgProcA(HWND hDlg, UINT Msg, WPARAM wParam, LPARAM lParam)
{
    auto proc = reinterpret_cast<DLGPROC>(GetWindowLongPtrA(hDlg, DWLP_DLGPROC));
    if (proc != nullptr) {
        SetWindowLongPtrA(hDlg, DWLP_MSGRESULT, 0);
        const INT_PTR handled = proc(hDlg, Msg, wParam, lParam);
        if (ReturnsValueDirectly(Msg)) {
            if (handled || Msg == WM_INITDIALOG) return handled;
        } else if (handled) {
            return IsWindow(hDlg) ? GetWindowLongPtrA(hDlg, DWLP_MSGRESULT) : 0;
        }
    }
    if (!IsWindow(hDlg)) return 0;
    std::shared_ptr<DialogState> state = DialogStateOf(hDlg);
    return DefaultHandling(hDlg, Msg, wParam, lParam, state.get());
}

}  // extern "C"
