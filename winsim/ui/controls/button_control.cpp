// The Button class: push buttons (default or not), check boxes and radio
// buttons (automatic ones keep their own state; automatic radio buttons
// clear the others of their group), three-state boxes and group boxes.
#include <string>
#include <vector>

#include "ui/controls/control_procs.h"
#include "ui/controls/control_state.h"

namespace winsim::ui {

namespace {

struct ButtonState : ControlState {
    UINT check = BST_UNCHECKED;
    bool pushed = false;
    bool focused = false;
};

UINT TypeOf(HWND hwnd) { return StyleOf(hwnd) & BS_TYPEMASK; }

bool HasCheck(UINT type)
{
    return type == BS_CHECKBOX || type == BS_AUTOCHECKBOX || type == BS_3STATE || type == BS_AUTO3STATE ||
           type == BS_RADIOBUTTON || type == BS_AUTORADIOBUTTON;
}

bool IsButtonClass(HWND hwnd)
{
    char name[16];
    return GetClassNameA(hwnd, name, sizeof(name)) == 6 && (name[0] == 'B' || name[0] == 'b');
}

// The siblings of a control from the WS_GROUP at or before it to the control
// before the next WS_GROUP.
std::vector<HWND> GroupOf(HWND hwnd)
{
    HWND first = hwnd;
    while (!(StyleOf(first) & WS_GROUP)) {
        HWND previous = GetWindow(first, GW_HWNDPREV);
        if (previous == nullptr) break;
        first = previous;
    }
    std::vector<HWND> group{first};
    for (HWND next = GetWindow(first, GW_HWNDNEXT); next != nullptr && !(StyleOf(next) & WS_GROUP);
         next = GetWindow(next, GW_HWNDNEXT)) {
        group.push_back(next);
    }
    return group;
}

void SetCheck(HWND hwnd, ButtonState* state, UINT check)
{
    if (state->check == check) return;
    state->check = check;
    InvalidateRect(hwnd, nullptr, FALSE);
}

void Click(HWND hwnd, ButtonState* state)
{
    switch (TypeOf(hwnd)) {
    case BS_AUTOCHECKBOX:
        SetCheck(hwnd, state, state->check == BST_CHECKED ? BST_UNCHECKED : BST_CHECKED);
        break;
    case BS_AUTO3STATE:
        SetCheck(hwnd, state, (state->check + 1) % 3);
        break;
    case BS_AUTORADIOBUTTON:
        for (HWND other : GroupOf(hwnd)) {
            if (other != hwnd && IsButtonClass(other) && TypeOf(other) == BS_AUTORADIOBUTTON) {
                SendMessageA(other, BM_SETCHECK, BST_UNCHECKED, 0);
            }
        }
        SetCheck(hwnd, state, BST_CHECKED);
        break;
    case BS_GROUPBOX:
        return;
    default:
        break;
    }
    NotifyParent(hwnd, BN_CLICKED);
}

UINT DialogCode(HWND hwnd)
{
    switch (TypeOf(hwnd)) {
    case BS_DEFPUSHBUTTON: return DLGC_BUTTON | DLGC_DEFPUSHBUTTON;
    case BS_PUSHBUTTON:
    case BS_PUSHBOX: return DLGC_BUTTON | DLGC_UNDEFPUSHBUTTON;
    case BS_RADIOBUTTON:
    case BS_AUTORADIOBUTTON: return DLGC_BUTTON | DLGC_RADIOBUTTON;
    case BS_GROUPBOX: return DLGC_STATIC;
    default: return DLGC_BUTTON;
    }
}

// A check box or radio button shows its state in front of its text, the
// way the terminal draws it.
std::string Marker(UINT type, UINT check)
{
    if (type == BS_RADIOBUTTON || type == BS_AUTORADIOBUTTON) return check == BST_CHECKED ? "(*) " : "( ) ";
    if (type == BS_GROUPBOX || type == BS_PUSHBUTTON || type == BS_DEFPUSHBUTTON || type == BS_PUSHBOX) return "";
    return check == BST_CHECKED ? "[X] " : check == BST_INDETERMINATE ? "[-] " : "[ ] ";
}

void Paint(HWND hwnd, ButtonState* state)
{
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(hwnd, &ps);
    const UINT type = TypeOf(hwnd);
    const bool push = type == BS_PUSHBUTTON || type == BS_DEFPUSHBUTTON;
    RECT client;
    GetClientRect(hwnd, &client);
    // Check boxes, radio buttons and group boxes ask for a static's colours
    // and check boxes and radio buttons paint with the brush (a group box
    // leaves what it frames alone); push buttons ask too but keep the
    // system's colours.
    const HBRUSH brush = ControlColors(hwnd, dc, push || type == BS_OWNERDRAW ? WM_CTLCOLORBTN : WM_CTLCOLORSTATIC);
    if (push) SetTextColor(dc, GetSysColor(COLOR_BTNTEXT));
    if (type != BS_OWNERDRAW) {
        if (!push && type != BS_GROUPBOX) FillRect(dc, &client, brush);
        if (state->font != nullptr) SelectObject(dc, state->font);
        if (!IsWindowEnabled(hwnd)) SetTextColor(dc, GetSysColor(COLOR_GRAYTEXT));
        char text[512];
        GetWindowTextA(hwnd, text, sizeof(text));
        if (push) Rectangle(dc, 0, 0, client.right, client.bottom);
        const std::string label = Marker(type, state->check) + text;
        DrawTextA(dc, label.c_str(), -1, &client, push ? DT_CENTER | DT_VCENTER | DT_SINGLELINE : DT_LEFT);
    }
    if (type == BS_OWNERDRAW) {
        DRAWITEMSTRUCT item{};
        item.CtlType = ODT_BUTTON;
        item.CtlID = static_cast<UINT>(GetDlgCtrlID(hwnd));
        item.itemAction = ODA_DRAWENTIRE;
        item.itemState = (state->pushed ? ODS_SELECTED : 0) | (state->focused ? ODS_FOCUS : 0) |
                         (IsWindowEnabled(hwnd) ? 0 : ODS_DISABLED);
        item.hwndItem = hwnd;
        item.hDC = dc;
        item.rcItem = client;
        SendMessageA(GetParent(hwnd), WM_DRAWITEM, item.CtlID, reinterpret_cast<LPARAM>(&item));
    }
    EndPaint(hwnd, &ps);
}

}  // namespace

LRESULT CALLBACK ButtonProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    auto* state = StateOf<ButtonState>(hwnd);
    switch (message) {
    case WM_GETDLGCODE:
        return DialogCode(hwnd);
    case BM_GETCHECK:
        return HasCheck(TypeOf(hwnd)) ? state->check : BST_UNCHECKED;
    case BM_SETCHECK:
        if (!HasCheck(TypeOf(hwnd))) return 0;
        SetCheck(hwnd, state, static_cast<UINT>(wParam) & 3);
        return 0;
    case BM_GETSTATE:
        return state->check | (state->pushed ? BST_PUSHED : 0) | (state->focused ? BST_FOCUS : 0);
    case BM_SETSTATE:
        if (state->pushed != (wParam != 0)) {
            state->pushed = wParam != 0;
            InvalidateRect(hwnd, nullptr, FALSE);
        }
        return 0;
    case BM_SETSTYLE: {
        const DWORD style = (StyleOf(hwnd) & ~0xFFFFu) | (static_cast<DWORD>(wParam) & 0xFFFFu);
        SetWindowLongPtrA(hwnd, GWL_STYLE, static_cast<LONG_PTR>(style));
        if (LOWORD(lParam)) InvalidateRect(hwnd, nullptr, TRUE);
        return 0;
    }
    case BM_CLICK:
        SendMessageA(hwnd, WM_LBUTTONDOWN, 0, 0);
        SendMessageA(hwnd, WM_LBUTTONUP, 0, 0);
        return 0;
    case WM_LBUTTONDOWN:
        if (!IsWindowEnabled(hwnd)) return 0;
        if (TypeOf(hwnd) != BS_GROUPBOX) SetFocus(hwnd);
        state->pushed = true;
        return 0;
    case WM_LBUTTONUP:
        if (!state->pushed || !IsWindowEnabled(hwnd)) return 0;
        state->pushed = false;
        Click(hwnd, state);
        return 0;
    case WM_KEYDOWN:
        if (wParam == VK_SPACE) state->pushed = true;
        return 0;
    case WM_KEYUP:
        if (wParam != VK_SPACE || !state->pushed) return 0;
        state->pushed = false;
        Click(hwnd, state);
        return 0;
    case WM_SETFOCUS:
        state->focused = true;
        InvalidateRect(hwnd, nullptr, FALSE);
        if (StyleOf(hwnd) & BS_NOTIFY) NotifyParent(hwnd, BN_SETFOCUS);
        return 0;
    case WM_KILLFOCUS:
        state->focused = false;
        state->pushed = false;
        InvalidateRect(hwnd, nullptr, FALSE);
        if (StyleOf(hwnd) & BS_NOTIFY) NotifyParent(hwnd, BN_KILLFOCUS);
        return 0;
    case WM_PAINT:
        Paint(hwnd, state);
        return 0;
    default:
        return ControlDefProc<ButtonState>(hwnd, message, wParam, lParam);
    }
}

}  // namespace winsim::ui
