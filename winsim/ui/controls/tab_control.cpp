// The tab control (SysTabControl32): a row of tabs with text and item data.
// A user's click or arrow key asks the parent first (TCN_SELCHANGING, which
// may refuse) and then tells it (TCN_SELCHANGE); TCM_SETCURSEL from the
// program tells no one.
#include <commctrl.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "ui/controls/control_procs.h"
#include "ui/controls/control_state.h"

namespace winsim::ui {

namespace {

// Fixed geometry in pixels: padding around a tab's label and the frame
// around the display area.
constexpr int kLabelPadding = 6;
constexpr int kRowPadding = 6;
constexpr int kFrame = 2;

struct TabItem {
    std::string text;
    int image = -1;
    LPARAM data = 0;
    DWORD state = 0;
};

struct TabState : ControlState {
    std::vector<TabItem> items;
    int selection = -1;
    HIMAGELIST images = nullptr;
};

int Count(const TabState* state) { return static_cast<int>(state->items.size()); }
bool Valid(const TabState* state, int index) { return index >= 0 && index < Count(state); }

int RowHeight(const TabState* state) { return FontMetrics(state->font).tmHeight + kRowPadding; }

RECT ItemRect(const TabState* state, int index)
{
    const int charWidth = FontMetrics(state->font).tmAveCharWidth;
    int left = kFrame;
    for (int i = 0; i < index; ++i) {
        left += static_cast<int>(state->items[static_cast<size_t>(i)].text.size()) * charWidth + 2 * kLabelPadding;
    }
    const int width =
        static_cast<int>(state->items[static_cast<size_t>(index)].text.size()) * charWidth + 2 * kLabelPadding;
    return RECT{left, 0, left + width, RowHeight(state)};
}

int HitTest(const TabState* state, POINT point)
{
    for (int i = 0; i < Count(state); ++i) {
        const RECT rect = ItemRect(state, i);
        if (point.x >= rect.left && point.x < rect.right && point.y >= rect.top && point.y < rect.bottom) return i;
    }
    return -1;
}

// What a user's choice of a tab does.
void UserSelect(HWND hwnd, TabState* state, int index)
{
    if (!Valid(state, index) || index == state->selection) return;
    NMHDR header{};
    if (SendNotify(hwnd, &header, TCN_SELCHANGING) != 0) return;
    if (!IsWindow(hwnd)) return;
    state->selection = index;
    InvalidateRect(hwnd, nullptr, TRUE);
    SendNotify(hwnd, &header, TCN_SELCHANGE);
}

LRESULT CopyItem(const TabState* state, int index, TCITEMA* item)
{
    if (!Valid(state, index) || item == nullptr) return FALSE;
    const TabItem& tab = state->items[static_cast<size_t>(index)];
    if ((item->mask & TCIF_TEXT) && item->pszText != nullptr && item->cchTextMax > 0) {
        const size_t count = std::min(tab.text.size(), static_cast<size_t>(item->cchTextMax - 1));
        std::memcpy(item->pszText, tab.text.data(), count);
        item->pszText[count] = '\0';
    }
    if (item->mask & TCIF_IMAGE) item->iImage = tab.image;
    if (item->mask & TCIF_PARAM) item->lParam = tab.data;
    if (item->mask & TCIF_STATE) item->dwState = tab.state & item->dwStateMask;
    return TRUE;
}

void StoreItem(TabItem* tab, const TCITEMA& item)
{
    if ((item.mask & TCIF_TEXT) && item.pszText != nullptr) tab->text = item.pszText;
    if (item.mask & TCIF_IMAGE) tab->image = item.iImage;
    if (item.mask & TCIF_PARAM) tab->data = item.lParam;
    if (item.mask & TCIF_STATE) tab->state = (tab->state & ~item.dwStateMask) | (item.dwState & item.dwStateMask);
}

LRESULT Insert(HWND hwnd, TabState* state, int index, const TCITEMA* item)
{
    if (item == nullptr || index < 0) return -1;
    index = std::min(index, Count(state));
    TabItem tab;
    StoreItem(&tab, *item);
    state->items.insert(state->items.begin() + index, tab);
    // The selected tab stays the selected one; the first tab of an empty
    // control becomes selected.
    if (state->selection >= index) ++state->selection;
    if (state->selection < 0) state->selection = 0;
    InvalidateRect(hwnd, nullptr, TRUE);
    return index;
}

LRESULT Delete(HWND hwnd, TabState* state, int index)
{
    if (!Valid(state, index)) return FALSE;
    state->items.erase(state->items.begin() + index);
    if (state->selection == index) {
        state->selection = -1;
    } else if (state->selection > index) {
        --state->selection;
    }
    InvalidateRect(hwnd, nullptr, TRUE);
    return TRUE;
}

// TCM_ADJUSTRECT: the display area of a window rectangle, or (larger) the
// window rectangle a display area needs.
void AdjustRect(const TabState* state, bool larger, RECT* rect)
{
    const int sign = larger ? -1 : 1;
    rect->left += sign * kFrame;
    rect->right -= sign * kFrame;
    rect->top += sign * (RowHeight(state) + kFrame);
    rect->bottom -= sign * kFrame;
}

LRESULT Keyboard(HWND hwnd, TabState* state, WPARAM key)
{
    if (key == VK_LEFT) UserSelect(hwnd, state, state->selection - 1);
    if (key == VK_RIGHT) UserSelect(hwnd, state, state->selection + 1);
    return 0;
}

LRESULT TabMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, TabState* state)
{
    const int index = static_cast<int>(wParam);
    switch (message) {
    case TCM_GETITEMCOUNT:
        return Count(state);
    case TCM_INSERTITEMA:
        return Insert(hwnd, state, index, reinterpret_cast<const TCITEMA*>(lParam));
    case TCM_GETITEMA:
        return CopyItem(state, index, reinterpret_cast<TCITEMA*>(lParam));
    case TCM_SETITEMA:
        if (!Valid(state, index) || lParam == 0) return FALSE;
        StoreItem(&state->items[static_cast<size_t>(index)], *reinterpret_cast<const TCITEMA*>(lParam));
        InvalidateRect(hwnd, nullptr, TRUE);
        return TRUE;
    case TCM_DELETEITEM:
        return Delete(hwnd, state, index);
    case TCM_DELETEALLITEMS:
        state->items.clear();
        state->selection = -1;
        InvalidateRect(hwnd, nullptr, TRUE);
        return TRUE;
    case TCM_GETCURSEL:
    case TCM_GETCURFOCUS:
        return state->selection;
    case TCM_SETCURSEL:
    case TCM_SETCURFOCUS: {
        if (!Valid(state, index)) return -1;
        const int previous = state->selection;
        state->selection = index;
        InvalidateRect(hwnd, nullptr, TRUE);
        return previous;
    }
    case TCM_GETITEMRECT:
        if (!Valid(state, index) || lParam == 0) return FALSE;
        *reinterpret_cast<RECT*>(lParam) = ItemRect(state, index);
        return TRUE;
    case TCM_HITTEST: {
        auto* info = reinterpret_cast<TCHITTESTINFO*>(lParam);
        if (info == nullptr) return -1;
        const int hit = HitTest(state, info->pt);
        info->flags = hit < 0 ? TCHT_NOWHERE : TCHT_ONITEMLABEL;
        return hit;
    }
    case TCM_ADJUSTRECT:
        if (lParam != 0) AdjustRect(state, wParam != 0, reinterpret_cast<RECT*>(lParam));
        return 0;
    case TCM_GETIMAGELIST:
        return reinterpret_cast<LRESULT>(state->images);
    case TCM_SETIMAGELIST: {
        HIMAGELIST previous = state->images;
        state->images = reinterpret_cast<HIMAGELIST>(lParam);
        InvalidateRect(hwnd, nullptr, TRUE);
        return reinterpret_cast<LRESULT>(previous);
    }
    default:
        return 0;
    }
}

}  // namespace

LRESULT CALLBACK TabControlProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    auto* state = StateOf<TabState>(hwnd);
    if (message >= TCM_FIRST && message < TCM_FIRST + 0x40) return TabMessage(hwnd, message, wParam, lParam, state);
    switch (message) {
    case WM_GETDLGCODE:
        return DLGC_WANTARROWS;
    case WM_KEYDOWN:
        return Keyboard(hwnd, state, wParam);
    case WM_LBUTTONDOWN: {
        if (!(StyleOf(hwnd) & TCS_FOCUSNEVER)) SetFocus(hwnd);
        UserSelect(hwnd, state, HitTest(state, POINT{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)}));
        return 0;
    }
    case WM_LBUTTONUP: {
        NMHDR header{};
        SendNotify(hwnd, &header, NM_CLICK);
        return 0;
    }
    default:
        return ControlDefProc<TabState>(hwnd, message, wParam, lParam);
    }
}

}  // namespace winsim::ui
