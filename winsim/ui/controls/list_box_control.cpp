// The ListBox class: items with text and data, single or multiple
// selection, tab stops, horizontal extent, top index, owner-drawn items.
// Only what a user does (keys, clicks) is reported with LBN_ notifications;
// what the program sets is not.
#include <algorithm>
#include <cstdlib>
#include <vector>

#include "ui/controls/control_procs.h"
#include "ui/controls/control_state.h"
#include "ui/controls/item_messages.h"

namespace winsim::ui {

namespace {

constexpr int kDefaultTabStop = 32;  // dialog units

struct ListBoxState : ControlState {
    ItemList items;
    std::vector<int> tabStops{kDefaultTabStop};
    int horizontalExtent = 0;
    int left = 0;  // pixels scrolled to the right
    int itemHeight = 0;
    DWORD bars = 0;  // WS_VSCROLL and WS_HSCROLL as created: hidden bars come back when needed
};

bool OwnerDrawn(HWND hwnd) { return (StyleOf(hwnd) & (LBS_OWNERDRAWFIXED | LBS_OWNERDRAWVARIABLE)) != 0; }
bool Multiple(HWND hwnd) { return (StyleOf(hwnd) & (LBS_MULTIPLESEL | LBS_EXTENDEDSEL)) != 0; }

int VisibleItems(HWND hwnd, const ListBoxState* state)
{
    RECT client;
    GetClientRect(hwnd, &client);
    return std::max<int>(1, client.bottom / std::max(1, state->itemHeight));
}

// A list with WS_VSCROLL keeps its bar on the items: the range is the items,
// the page what the list shows, the position its top item. With WS_HSCROLL
// the horizontal bar spans the extent the program set. A bar is hidden while
// all fits, unless LBS_DISABLENOSCROLL keeps it.
void SyncScrollBar(HWND hwnd, const ListBoxState* state)
{
    const UINT keep = (StyleOf(hwnd) & LBS_DISABLENOSCROLL) ? SIF_DISABLENOSCROLL : 0;
    if (state->bars & WS_VSCROLL) {
        SCROLLINFO info{sizeof(info), SIF_RANGE | SIF_PAGE | SIF_POS | keep};
        info.nMax = std::max(0, state->items.Count() - 1);
        info.nPage = static_cast<UINT>(VisibleItems(hwnd, state));
        info.nPos = state->items.top;
        SetScrollInfo(hwnd, SB_VERT, &info, TRUE);
    }
    if (state->bars & WS_HSCROLL) {
        RECT client;
        GetClientRect(hwnd, &client);
        SCROLLINFO info{sizeof(info), SIF_RANGE | SIF_PAGE | SIF_POS | keep};
        info.nMax = std::max(0, state->horizontalExtent - 1);
        info.nPage = static_cast<UINT>(std::max<LONG>(client.right, 0));
        info.nPos = state->left;
        SetScrollInfo(hwnd, SB_HORZ, &info, TRUE);
    }
}

void SetTop(HWND hwnd, ListBoxState* state, int top)
{
    top = std::clamp(top, 0, std::max(0, state->items.Count() - 1));
    if (top == state->items.top) return;
    state->items.top = top;
    InvalidateRect(hwnd, nullptr, TRUE);
    SyncScrollBar(hwnd, state);
}

// WM_VSCROLL from the list's own bar.
void Scroll(HWND hwnd, ListBoxState* state, WORD code)
{
    const int page = VisibleItems(hwnd, state);
    const int top = state->items.top;
    switch (code) {
    case SB_LINEUP: SetTop(hwnd, state, top - 1); break;
    case SB_LINEDOWN: SetTop(hwnd, state, std::min(top + 1, std::max(0, state->items.Count() - page))); break;
    case SB_PAGEUP: SetTop(hwnd, state, top - page); break;
    case SB_PAGEDOWN: SetTop(hwnd, state, std::min(top + page, std::max(0, state->items.Count() - page))); break;
    case SB_TOP: SetTop(hwnd, state, 0); break;
    case SB_BOTTOM: SetTop(hwnd, state, std::max(0, state->items.Count() - page)); break;
    default: break;
    }
}

// WM_HSCROLL: a character's width a line, the list's width a page.
void ScrollSideways(HWND hwnd, ListBoxState* state, WORD code)
{
    RECT client;
    GetClientRect(hwnd, &client);
    const int line = std::max<int>(1, FontMetrics(state->font).tmAveCharWidth);
    const int last = std::max<int>(0, state->horizontalExtent - client.right);
    int left = state->left;
    switch (code) {
    case SB_LINELEFT: left -= line; break;
    case SB_LINERIGHT: left += line; break;
    case SB_PAGELEFT: left -= client.right; break;
    case SB_PAGERIGHT: left += client.right; break;
    case SB_LEFT: left = 0; break;
    case SB_RIGHT: left = last; break;
    default: return;
    }
    left = std::clamp(left, 0, last);
    if (left == state->left) return;
    state->left = left;
    InvalidateRect(hwnd, nullptr, TRUE);
    SyncScrollBar(hwnd, state);
}

void EnsureVisible(HWND hwnd, ListBoxState* state, int index)
{
    const int visible = VisibleItems(hwnd, state);
    if (index < state->items.top) SetTop(hwnd, state, index);
    if (index >= state->items.top + visible) SetTop(hwnd, state, index - visible + 1);
}

// What a user's selection does: select, bring into view, tell the parent.
void UserSelect(HWND hwnd, ListBoxState* state, int index)
{
    if (!state->items.Valid(index) || index == state->items.selection) return;
    state->items.selection = index;
    EnsureVisible(hwnd, state, index);
    InvalidateRect(hwnd, nullptr, FALSE);
    if (StyleOf(hwnd) & LBS_NOTIFY) NotifyParent(hwnd, LBN_SELCHANGE);
}

void MeasureItems(HWND hwnd, ListBoxState* state)
{
    state->itemHeight = FontMetrics(state->font).tmHeight;
    if (!(StyleOf(hwnd) & LBS_OWNERDRAWFIXED)) return;
    state->itemHeight = MeasureOwnerItem(hwnd, kListBoxItems, 0, state->itemHeight);
}

void Paint(HWND hwnd, ListBoxState* state)
{
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(hwnd, &ps);
    RECT client;
    GetClientRect(hwnd, &client);
    FillRect(dc, &client, ControlColors(hwnd, dc, WM_CTLCOLORLISTBOX));
    if (!OwnerDrawn(hwnd)) {
        if (state->font != nullptr) SelectObject(dc, state->font);
        const COLORREF normal = GetTextColor(dc);
        // Tab stops are in dialog units of the list's font: four to a character.
        const int charWidth = FontMetrics(state->font).tmAveCharWidth;
        std::vector<int> stops;
        if (StyleOf(hwnd) & LBS_USETABSTOPS) {
            for (int stop : state->tabStops) stops.push_back(stop * charWidth / 4);
        }
        const int last = std::min(state->items.Count(), state->items.top + VisibleItems(hwnd, state));
        for (int index = state->items.top; index < last; ++index) {
            const bool selected = index == state->items.selection || state->items.At(index).selected;
            if (selected) {
                const int y = (index - state->items.top) * state->itemHeight;
                const RECT row{0, y, client.right, y + state->itemHeight};
                FillRect(dc, &row, GetSysColorBrush(COLOR_HIGHLIGHT));
            }
            SetTextColor(dc, selected ? GetSysColor(COLOR_HIGHLIGHTTEXT) : normal);
            const std::string& text = state->items.At(index).text;
            TabbedTextOutA(dc, -state->left, (index - state->items.top) * state->itemHeight, text.c_str(),
                           static_cast<int>(text.size()), static_cast<int>(stops.size()),
                           stops.empty() ? nullptr : stops.data(), 0);
        }
    }
    if (OwnerDrawn(hwnd)) {
        const int last = std::min(state->items.Count(), state->items.top + VisibleItems(hwnd, state));
        for (int index = state->items.top; index < last; ++index) {
            const int y = (index - state->items.top) * state->itemHeight;
            DrawOwnerItem(hwnd, state->items, kListBoxItems, dc, index,
                          index == state->items.selection ? ODS_SELECTED : 0,
                          RECT{0, y, client.right, y + state->itemHeight});
        }
    }
    EndPaint(hwnd, &ps);
}

LRESULT Keyboard(HWND hwnd, ListBoxState* state, WPARAM key)
{
    const int count = state->items.Count();
    if (count == 0) return 0;
    const int current = state->items.selection;
    const int page = VisibleItems(hwnd, state);
    int next = current;
    switch (key) {
    case VK_UP: next = current <= 0 ? 0 : current - 1; break;
    case VK_DOWN: next = current < 0 ? 0 : std::min(count - 1, current + 1); break;
    case VK_HOME: next = 0; break;
    case VK_END: next = count - 1; break;
    case VK_PRIOR: next = std::max(0, current - page + 1); break;
    case VK_NEXT: next = std::min(count - 1, std::max(0, current) + page - 1); break;
    default: return 0;
    }
    UserSelect(hwnd, state, next);
    return 0;
}

LRESULT ItemMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, ListBoxState* state)
{
    ItemList& items = state->items;
    const int count = items.Count();
    LRESULT shared = 0;
    if (AnswerItemMessage(hwnd, items, kListBoxItems, message, wParam, lParam, &shared)) {
        if (items.Count() != count) InvalidateRect(hwnd, nullptr, TRUE);
        return shared;
    }
    const int index = static_cast<int>(wParam);
    switch (message) {
    case LB_GETCURSEL:
        return items.selection;
    case LB_SETCURSEL:
        if (Multiple(hwnd)) return LB_ERR;
        items.selection = items.Valid(index) ? index : -1;
        if (items.selection >= 0) EnsureVisible(hwnd, state, index);
        InvalidateRect(hwnd, nullptr, FALSE);
        return items.Valid(index) ? index : LB_ERR;
    case LB_GETSEL:
        // The item's index comes in wParam (LB_SETSEL is the one that takes it in lParam).
        if (!items.Valid(index)) return LB_ERR;
        return Multiple(hwnd) ? items.At(index).selected : index == items.selection;
    case LB_SETSEL: {
        if (!Multiple(hwnd)) return LB_ERR;
        const int target = static_cast<int>(lParam);
        for (int i = 0; i < items.Count(); ++i) {
            if (target == -1 || i == target) items.At(i).selected = wParam != 0;
        }
        InvalidateRect(hwnd, nullptr, FALSE);
        return target == -1 || items.Valid(target) ? 0 : LB_ERR;
    }
    case LB_GETSELCOUNT: {
        if (!Multiple(hwnd)) return LB_ERR;
        int selected = 0;
        for (int i = 0; i < items.Count(); ++i) selected += items.At(i).selected ? 1 : 0;
        return selected;
    }
    case LB_SELECTSTRING: {
        const int found = items.Find(index, reinterpret_cast<const char*>(lParam), false);
        if (found < 0) return LB_ERR;
        return ItemMessage(hwnd, LB_SETCURSEL, static_cast<WPARAM>(found), 0, state);
    }
    case LB_GETTOPINDEX:
        return items.top;
    case LB_SETTOPINDEX:
        if (!items.Valid(index) && !(index == 0 && items.Count() == 0)) return LB_ERR;
        SetTop(hwnd, state, index);
        return 0;
    case LB_SETTABSTOPS: {
        const auto* stops = reinterpret_cast<const int*>(lParam);
        if (wParam == 0) {
            state->tabStops = {kDefaultTabStop};
        } else {
            state->tabStops.assign(stops, stops + wParam);
        }
        InvalidateRect(hwnd, nullptr, TRUE);
        return TRUE;
    }
    case LB_GETHORIZONTALEXTENT:
        return state->horizontalExtent;
    case LB_SETHORIZONTALEXTENT: {
        state->horizontalExtent = static_cast<int>(wParam);
        RECT client;
        GetClientRect(hwnd, &client);
        state->left = std::clamp(state->left, 0, std::max<int>(0, state->horizontalExtent - client.right));
        InvalidateRect(hwnd, nullptr, TRUE);
        return 0;
    }
    case LB_GETITEMHEIGHT:
        return state->itemHeight;
    case LB_SETITEMHEIGHT:
        if (LOWORD(lParam) == 0 || LOWORD(lParam) > 255) return LB_ERR;
        state->itemHeight = LOWORD(lParam);
        InvalidateRect(hwnd, nullptr, TRUE);
        return 0;
    default:
        return 0;
    }
}

}  // namespace

LRESULT CALLBACK ListBoxProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    auto* state = StateOf<ListBoxState>(hwnd);
    if (message >= LB_ADDSTRING && message <= LB_FINDSTRINGEXACT) {
        const LRESULT result = ItemMessage(hwnd, message, wParam, lParam, state);
        SyncScrollBar(hwnd, state);
        return result;
    }
    switch (message) {
    case WM_NCCREATE:
        AttachState<ListBoxState>(hwnd);
        ConfigureItems(StateOf<ListBoxState>(hwnd)->items, kListBoxItems,
                       reinterpret_cast<const CREATESTRUCTA*>(lParam)->style);
        return DefWindowProcA(hwnd, message, wParam, lParam);
    case WM_CREATE:
        MeasureItems(hwnd, state);
        state->bars = StyleOf(hwnd) & (WS_VSCROLL | WS_HSCROLL);
        SyncScrollBar(hwnd, state);
        return 0;
    case WM_SIZE:
        SyncScrollBar(hwnd, state);
        return 0;
    case WM_DESTROY:
        ItemMessage(hwnd, LB_RESETCONTENT, 0, 0, state);
        return 0;
    case WM_GETDLGCODE:
        return DLGC_WANTARROWS | DLGC_WANTCHARS;
    case WM_KEYDOWN:
        return Keyboard(hwnd, state, wParam);
    case WM_LBUTTONDOWN: {
        SetFocus(hwnd);
        const int row = GET_Y_LPARAM(lParam) / std::max(1, state->itemHeight);
        UserSelect(hwnd, state, state->items.top + row);
        return 0;
    }
    case WM_VSCROLL:
        Scroll(hwnd, state, LOWORD(wParam));
        return 0;
    case WM_HSCROLL:
        ScrollSideways(hwnd, state, LOWORD(wParam));
        return 0;
    case WM_MOUSEWHEEL: {
        // Three lines a notch, as Windows scrolls by default.
        const int notches = static_cast<short>(HIWORD(wParam)) / WHEEL_DELTA;
        for (int i = 0; i < 3 * std::abs(notches); ++i) Scroll(hwnd, state, notches > 0 ? SB_LINEUP : SB_LINEDOWN);
        return 0;
    }
    case WM_LBUTTONDBLCLK:
        if (StyleOf(hwnd) & LBS_NOTIFY) NotifyParent(hwnd, LBN_DBLCLK);
        return 0;
    case WM_SETFOCUS:
        InvalidateRect(hwnd, nullptr, FALSE);
        if (StyleOf(hwnd) & LBS_NOTIFY) NotifyParent(hwnd, LBN_SETFOCUS);
        return 0;
    case WM_KILLFOCUS:
        InvalidateRect(hwnd, nullptr, FALSE);
        if (StyleOf(hwnd) & LBS_NOTIFY) NotifyParent(hwnd, LBN_KILLFOCUS);
        return 0;
    case WM_SETFONT:
        ControlDefProc<ListBoxState>(hwnd, message, wParam, lParam);
        if (!OwnerDrawn(hwnd)) state->itemHeight = FontMetrics(state->font).tmHeight;
        return 0;
    case WM_PAINT:
        Paint(hwnd, state);
        return 0;
    default:
        return ControlDefProc<ListBoxState>(hwnd, message, wParam, lParam);
    }
}

}  // namespace winsim::ui
