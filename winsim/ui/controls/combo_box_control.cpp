// The ComboBox class as a drop-down list: a selection field showing the
// selected item (its window text) over a list that drops down. The window
// is as tall as its field; the height it was created with (or is later
// sized to) is that of the field with the list dropped, which opens below
// the window over whatever lies there. Owner-drawn fixed items are measured
// when the control is created (the selection field, item -1, then the list
// items) and drawn through WM_DRAWITEM.
#include <algorithm>

#include "ui/controls/control_procs.h"
#include "ui/controls/control_state.h"
#include "ui/controls/item_messages.h"

namespace winsim::ui {

namespace {

struct ComboState : ControlState {
    ItemList items;
    bool dropped = false;
    bool focused = false;
    int fieldHeight = 0;
    int itemHeight = 0;
    // Heights the owner chose (WM_MEASUREITEM, CB_SETITEMHEIGHT); the rest
    // follow the font.
    bool fieldChosen = false;
    bool itemChosen = false;
    int droppedHeight = 0;  // the window's with the list dropped
};

// The field's sunken edge, inside the window around the field's item.
constexpr int kFieldEdges = 2 * 3;
constexpr int kTextFieldPadding = 2;

bool OwnerDrawn(HWND hwnd) { return (StyleOf(hwnd) & (CBS_OWNERDRAWFIXED | CBS_OWNERDRAWVARIABLE)) != 0; }

// The dropped list's first item, in the window's client coordinates: just
// below the window.
int ListTop(const ComboState* state) { return state->fieldHeight + kFieldEdges; }

void ShowSelection(HWND hwnd, ComboState* state)
{
    const int index = state->items.selection;
    const char* text = state->items.Valid(index) && state->items.HasStrings() ? state->items.At(index).text.c_str()
                                                                              : "";
    DefWindowProcA(hwnd, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text));
    InvalidateRect(hwnd, nullptr, FALSE);
}

// The window takes its field's height; any other height it is given is
// the dropped height.
void FitToField(HWND hwnd, ComboState* state)
{
    RECT window;
    GetWindowRect(hwnd, &window);
    const int fieldWindow = state->fieldHeight + kFieldEdges;
    if (window.bottom - window.top == fieldWindow) return;
    state->droppedHeight = window.bottom - window.top;
    SetWindowPos(hwnd, nullptr, 0, 0, window.right - window.left, fieldWindow,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

// After the field's height changed: the dropped height stays.
void RefitField(HWND hwnd, ComboState* state)
{
    const int dropped = state->droppedHeight;
    FitToField(hwnd, state);
    state->droppedHeight = dropped;
}

// Heights nobody chose follow the font: a text field holds the font's cell
// and a pixel above and below it, an item the cell. Until the control has a
// font its parent's counts (a dialog's, which it sends the control next).
void FollowFont(HWND hwnd, ComboState* state)
{
    HFONT font = state->font;
    if (font == nullptr && GetParent(hwnd) != nullptr) {
        font = reinterpret_cast<HFONT>(SendMessageA(GetParent(hwnd), WM_GETFONT, 0, 0));
    }
    const int height = FontMetrics(font).tmHeight;
    if (!state->itemChosen) state->itemHeight = height;
    if (!state->fieldChosen) state->fieldHeight = height + kTextFieldPadding;
}

// An owner-drawn list's owner chooses the field's and the items' heights,
// offered those of the font.
void MeasureItems(HWND hwnd, ComboState* state)
{
    FollowFont(hwnd, state);
    if (!(StyleOf(hwnd) & CBS_OWNERDRAWFIXED)) return;
    state->fieldHeight = MeasureOwnerItem(hwnd, kComboBoxItems, -1, state->fieldHeight);
    state->itemHeight = MeasureOwnerItem(hwnd, kComboBoxItems, 0, state->itemHeight);
    state->fieldChosen = state->itemChosen = true;
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
                TextOutA(dc, 0, ListTop(state) + index * state->itemHeight, item.c_str(),
                         static_cast<int>(item.size()));
            }
        }
    }
    if (OwnerDrawn(hwnd)) {
        RECT client;
        GetClientRect(hwnd, &client);
        const UINT fieldState = ODS_COMBOBOXEDIT | (state->focused ? ODS_FOCUS | ODS_SELECTED : 0);
        DrawOwnerItem(hwnd, state->items, kComboBoxItems, dc, state->items.selection, fieldState,
                      RECT{0, 0, client.right, state->fieldHeight});
        if (state->dropped) {
            for (int index = 0; index < state->items.Count(); ++index) {
                const int y = ListTop(state) + index * state->itemHeight;
                DrawOwnerItem(hwnd, state->items, kComboBoxItems, dc, index,
                              index == state->items.selection ? ODS_SELECTED : 0,
                              RECT{0, y, client.right, y + state->itemHeight});
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

LRESULT ItemMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, ComboState* state)
{
    ItemList& items = state->items;
    const int selection = items.selection;
    LRESULT shared = 0;
    if (AnswerItemMessage(hwnd, items, kComboBoxItems, message, wParam, lParam, &shared)) {
        if (items.selection != selection) ShowSelection(hwnd, state);
        return shared;
    }
    const int index = static_cast<int>(wParam);
    switch (message) {
    case CB_GETCURSEL:
        return items.selection;
    case CB_SETCURSEL:
        items.selection = items.Valid(index) ? index : -1;
        ShowSelection(hwnd, state);
        return items.Valid(index) ? index : CB_ERR;
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
    case CB_GETDROPPEDCONTROLRECT: {
        auto* rect = reinterpret_cast<RECT*>(lParam);
        if (rect == nullptr) return FALSE;
        GetWindowRect(hwnd, rect);
        rect->bottom = rect->top + std::max<LONG>(state->droppedHeight, rect->bottom - rect->top);
        return TRUE;
    }
    case CB_SETITEMHEIGHT:
        if (index == -1) {
            state->fieldChosen = true;
            state->fieldHeight = static_cast<int>(lParam);
            RefitField(hwnd, state);
        } else {
            state->itemChosen = true;
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
        ConfigureItems(StateOf<ComboState>(hwnd)->items, kComboBoxItems,
                       reinterpret_cast<const CREATESTRUCTA*>(lParam)->style);
        // The selection field starts empty whatever the window name was.
        return DefWindowProcA(hwnd, message, wParam, lParam) && DefWindowProcA(hwnd, WM_SETTEXT, 0, 0);
    }
    case WM_CREATE:
        MeasureItems(hwnd, state);  // the WM_SIZE that follows fits the window
        return 0;
    case WM_SIZE:
        FitToField(hwnd, state);
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
        if (state->dropped && y >= ListTop(state) && state->itemHeight > 0) {
            UserSelect(hwnd, state, (y - ListTop(state)) / state->itemHeight);
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
        FollowFont(hwnd, state);
        RefitField(hwnd, state);
        return 0;
    case WM_PAINT:
        Paint(hwnd, state);
        return 0;
    default:
        return ControlDefProc<ComboState>(hwnd, message, wParam, lParam);
    }
}

}  // namespace winsim::ui
