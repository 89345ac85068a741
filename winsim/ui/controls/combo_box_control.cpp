// The ComboBox class as a drop-down list: a selection field showing the
// selected item (its window text) over a list that drops down. Owner-drawn
// fixed items are measured when the control is created (the selection
// field, item -1, then the list items) and drawn through WM_DRAWITEM.
#include <algorithm>

#include "ui/controls/control_procs.h"
#include "ui/controls/control_state.h"
#include "ui/controls/item_list.h"

namespace winsim::ui {

namespace {

struct ComboState : ControlState {
    ItemList items;
    bool dropped = false;
    bool focused = false;
    int fieldHeight = 0;
    int itemHeight = 0;
};

bool OwnerDrawn(HWND hwnd) { return (StyleOf(hwnd) & (CBS_OWNERDRAWFIXED | CBS_OWNERDRAWVARIABLE)) != 0; }

void ShowSelection(HWND hwnd, ComboState* state)
{
    const int index = state->items.selection;
    const char* text = state->items.Valid(index) && state->items.HasStrings() ? state->items.At(index).text.c_str()
                                                                              : "";
    DefWindowProcA(hwnd, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text));
    InvalidateRect(hwnd, nullptr, FALSE);
}

int Measure(HWND hwnd, int itemId, int height)
{
    RECT client;
    GetClientRect(hwnd, &client);
    MEASUREITEMSTRUCT measure{ODT_COMBOBOX, static_cast<UINT>(GetDlgCtrlID(hwnd)), static_cast<UINT>(itemId),
                              static_cast<UINT>(client.right), static_cast<UINT>(height), 0};
    SendMessageA(GetParent(hwnd), WM_MEASUREITEM, measure.CtlID, reinterpret_cast<LPARAM>(&measure));
    return static_cast<int>(measure.itemHeight);
}

void MeasureItems(HWND hwnd, ComboState* state)
{
    const int height = FontMetrics(state->font).tmHeight;
    state->fieldHeight = state->itemHeight = height;
    if (!(StyleOf(hwnd) & CBS_OWNERDRAWFIXED)) return;
    state->fieldHeight = Measure(hwnd, -1, height);
    state->itemHeight = Measure(hwnd, 0, height);
}

void DrawItem(HWND hwnd, HDC dc, int index, UINT itemState, RECT rect, const ComboState* state)
{
    DRAWITEMSTRUCT item{};
    item.CtlType = ODT_COMBOBOX;
    item.CtlID = static_cast<UINT>(GetDlgCtrlID(hwnd));
    item.itemID = static_cast<UINT>(index);
    item.itemAction = ODA_DRAWENTIRE;
    item.itemState = itemState | (IsWindowEnabled(hwnd) ? 0 : ODS_DISABLED);
    item.hwndItem = hwnd;
    item.hDC = dc;
    item.rcItem = rect;
    item.itemData = state->items.Valid(index) ? state->items.At(index).data : 0;
    SendMessageA(GetParent(hwnd), WM_DRAWITEM, item.CtlID, reinterpret_cast<LPARAM>(&item));
}

void Paint(HWND hwnd, ComboState* state)
{
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(hwnd, &ps);
    if (!OwnerDrawn(hwnd)) {
        if (state->font != nullptr) SelectObject(dc, state->font);
        char text[512];
        GetWindowTextA(hwnd, text, sizeof(text));
        TextOutA(dc, 0, 0, text, -1);
        if (state->dropped) {
            for (int index = 0; index < state->items.Count(); ++index) {
                const std::string& item = state->items.At(index).text;
                TextOutA(dc, 0, state->fieldHeight + index * state->itemHeight, item.c_str(),
                         static_cast<int>(item.size()));
            }
        }
    }
    if (OwnerDrawn(hwnd)) {
        RECT client;
        GetClientRect(hwnd, &client);
        const UINT fieldState = ODS_COMBOBOXEDIT | (state->focused ? ODS_FOCUS | ODS_SELECTED : 0);
        DrawItem(hwnd, dc, state->items.selection, fieldState, RECT{0, 0, client.right, state->fieldHeight}, state);
        if (state->dropped) {
            for (int index = 0; index < state->items.Count(); ++index) {
                const int y = state->fieldHeight + index * state->itemHeight;
                DrawItem(hwnd, dc, index, index == state->items.selection ? ODS_SELECTED : 0,
                         RECT{0, y, client.right, y + state->itemHeight}, state);
            }
        }
    }
    EndPaint(hwnd, &ps);
}

void ShowDropDown(HWND hwnd, ComboState* state, bool show)
{
    if (state->dropped == show) return;
    if (show) NotifyParent(hwnd, CBN_DROPDOWN);
    state->dropped = show;
    InvalidateRect(hwnd, nullptr, TRUE);
    if (!show) NotifyParent(hwnd, CBN_CLOSEUP);
}

void UserSelect(HWND hwnd, ComboState* state, int index)
{
    if (!state->items.Valid(index) || index == state->items.selection) return;
    state->items.selection = index;
    ShowSelection(hwnd, state);
    NotifyParent(hwnd, CBN_SELCHANGE);
}

LRESULT Keyboard(HWND hwnd, ComboState* state, WPARAM key)
{
    const int count = state->items.Count();
    const int current = state->items.selection;
    switch (key) {
    case VK_UP: UserSelect(hwnd, state, std::max(0, current - 1)); break;
    case VK_DOWN: UserSelect(hwnd, state, std::min(count - 1, current + 1)); break;
    case VK_HOME: UserSelect(hwnd, state, 0); break;
    case VK_END: UserSelect(hwnd, state, count - 1); break;
    case VK_F4: ShowDropDown(hwnd, state, !state->dropped); break;
    case VK_RETURN:
    case VK_ESCAPE:
        if (state->dropped) {
            NotifyParent(hwnd, key == VK_RETURN ? CBN_SELENDOK : CBN_SELENDCANCEL);
            ShowDropDown(hwnd, state, false);
        }
        break;
    default: break;
    }
    return 0;
}

void NotifyDeleted(HWND hwnd, const ComboState* state, int index)
{
    if (!OwnerDrawn(hwnd)) return;
    DELETEITEMSTRUCT item{ODT_COMBOBOX, static_cast<UINT>(GetDlgCtrlID(hwnd)), static_cast<UINT>(index), hwnd,
                          state->items.At(index).data};
    SendMessageA(GetParent(hwnd), WM_DELETEITEM, item.CtlID, reinterpret_cast<LPARAM>(&item));
}

LRESULT ItemMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, ComboState* state)
{
    ItemList& items = state->items;
    const int index = static_cast<int>(wParam);
    switch (message) {
    case CB_ADDSTRING:
    case CB_INSERTSTRING: {
        const int previous = items.selection;
        const int at = message == CB_ADDSTRING ? items.Add(lParam) : items.Insert(index, lParam);
        if (at >= 0 && previous != items.selection) InvalidateRect(hwnd, nullptr, FALSE);
        return at < 0 ? CB_ERR : at;
    }
    case CB_DELETESTRING: {
        if (!items.Valid(index)) return CB_ERR;
        const bool wasSelected = index == items.selection;
        NotifyDeleted(hwnd, state, index);
        items.Delete(index);
        if (wasSelected) ShowSelection(hwnd, state);
        return items.Count();
    }
    case CB_RESETCONTENT:
        for (int i = 0; i < items.Count(); ++i) NotifyDeleted(hwnd, state, i);
        items.Reset();
        ShowSelection(hwnd, state);
        return CB_OKAY;
    case CB_GETCOUNT:
        return items.Count();
    case CB_GETCURSEL:
        return items.selection;
    case CB_SETCURSEL:
        items.selection = items.Valid(index) ? index : -1;
        ShowSelection(hwnd, state);
        return items.Valid(index) ? index : CB_ERR;
    case CB_GETLBTEXT:
        return items.Valid(index) ? items.CopyText(index, lParam) : CB_ERR;
    case CB_GETLBTEXTLEN:
        return items.Valid(index) ? items.TextLength(index) : CB_ERR;
    case CB_GETITEMDATA:
        return items.Valid(index) ? static_cast<LRESULT>(items.At(index).data) : CB_ERR;
    case CB_SETITEMDATA:
        if (!items.Valid(index)) return CB_ERR;
        items.At(index).data = static_cast<ULONG_PTR>(lParam);
        return CB_OKAY;
    case CB_FINDSTRING:
    case CB_FINDSTRINGEXACT: {
        const int found = items.Find(index, reinterpret_cast<const char*>(lParam), message == CB_FINDSTRINGEXACT);
        return found < 0 ? CB_ERR : found;
    }
    case CB_SELECTSTRING: {
        const int found = items.Find(index, reinterpret_cast<const char*>(lParam), false);
        if (found < 0) return CB_ERR;
        return ItemMessage(hwnd, CB_SETCURSEL, static_cast<WPARAM>(found), 0, state);
    }
    case CB_SHOWDROPDOWN:
        ShowDropDown(hwnd, state, wParam != 0);
        return TRUE;
    case CB_GETDROPPEDSTATE:
        return state->dropped ? TRUE : FALSE;
    case CB_GETITEMHEIGHT:
        return index == -1 ? state->fieldHeight : state->itemHeight;
    case CB_SETITEMHEIGHT:
        if (index == -1) {
            state->fieldHeight = static_cast<int>(lParam);
        } else {
            state->itemHeight = static_cast<int>(lParam);
        }
        InvalidateRect(hwnd, nullptr, TRUE);
        return 0;
    default:
        return 0;
    }
}

}  // namespace

LRESULT CALLBACK ComboBoxProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    auto* state = StateOf<ComboState>(hwnd);
    if (message >= CB_GETEDITSEL && message <= CB_FINDSTRINGEXACT) {
        return ItemMessage(hwnd, message, wParam, lParam, state);
    }
    switch (message) {
    case WM_NCCREATE: {
        AttachState<ComboState>(hwnd);
        const DWORD style = reinterpret_cast<const CREATESTRUCTA*>(lParam)->style;
        const bool strings = !(style & (CBS_OWNERDRAWFIXED | CBS_OWNERDRAWVARIABLE)) || (style & CBS_HASSTRINGS);
        StateOf<ComboState>(hwnd)->items.Configure((style & CBS_SORT) != 0, strings);
        // The selection field starts empty whatever the window name was.
        return DefWindowProcA(hwnd, message, wParam, lParam) && DefWindowProcA(hwnd, WM_SETTEXT, 0, 0);
    }
    case WM_CREATE:
        MeasureItems(hwnd, state);
        return 0;
    case WM_DESTROY:
        ItemMessage(hwnd, CB_RESETCONTENT, 0, 0, state);
        return 0;
    case WM_SETTEXT:
        // A drop-down list shows its selection; its text is not set apart from it.
        return CB_ERR;
    case WM_GETDLGCODE: {
        // A dropped list takes Enter and Escape for itself, so they close
        // the list and not the dialog.
        const auto* msg = reinterpret_cast<const MSG*>(lParam);
        const bool closingKey = msg != nullptr && msg->message == WM_KEYDOWN &&
                                (msg->wParam == VK_RETURN || msg->wParam == VK_ESCAPE);
        return DLGC_WANTARROWS | DLGC_WANTCHARS | (state->dropped && closingKey ? DLGC_WANTMESSAGE : 0);
    }
    case WM_KEYDOWN:
        return Keyboard(hwnd, state, wParam);
    case WM_LBUTTONDOWN: {
        SetFocus(hwnd);
        // A click on an item of the dropped list chooses it and closes the list.
        const int y = GET_Y_LPARAM(lParam);
        if (state->dropped && y >= state->fieldHeight && state->itemHeight > 0) {
            UserSelect(hwnd, state, (y - state->fieldHeight) / state->itemHeight);
            NotifyParent(hwnd, CBN_SELENDOK);
        }
        ShowDropDown(hwnd, state, !state->dropped);
        return 0;
    }
    case WM_SETFOCUS:
        state->focused = true;
        InvalidateRect(hwnd, nullptr, FALSE);
        NotifyParent(hwnd, CBN_SETFOCUS);
        return 0;
    case WM_KILLFOCUS:
        state->focused = false;
        ShowDropDown(hwnd, state, false);
        InvalidateRect(hwnd, nullptr, FALSE);
        NotifyParent(hwnd, CBN_KILLFOCUS);
        return 0;
    case WM_SETFONT:
        ControlDefProc<ComboState>(hwnd, message, wParam, lParam);
        if (!OwnerDrawn(hwnd)) state->fieldHeight = state->itemHeight = FontMetrics(state->font).tmHeight;
        return 0;
    case WM_PAINT:
        Paint(hwnd, state);
        return 0;
    default:
        return ControlDefProc<ComboState>(hwnd, message, wParam, lParam);
    }
}

}  // namespace winsim::ui
