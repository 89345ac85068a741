// The status bar (msctls_statusbar32): panes ending at the right edges
// SB_SETPARTS gives (-1: the bar's right edge), each with a text and a
// drawing type, or one simple pane while SB_SIMPLE is on. Pane 0's text is
// also the window's text. The bar keeps itself at the bottom of its parent
// whenever it is sized (the parent passes its WM_SIZE on).
#include <commctrl.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "ui/controls/bar_layout.h"
#include "ui/controls/control_procs.h"
#include "ui/controls/control_state.h"

namespace winsim::ui {

namespace {

constexpr int kMaxParts = 256;
constexpr int kBarPadding = 9;  // the font's height plus this is the bar's height, as at 96 dpi
constexpr int kTextIndent = 3;
constexpr int kBorders[3] = {0, 2, 2};  // horizontal, vertical, between panes

struct Pane {
    std::string text;
    WORD type = 0;  // SBT_*
};

struct StatusState : ControlState {
    std::vector<int> rights{-1};
    std::vector<Pane> panes{Pane{}};
    Pane simplePane;
    bool simple = false;
    int minHeight = 0;
};

// The font it was given, else the GUI font: the bar is measured and drawn with it.
HFONT FontOf(const StatusState* state)
{
    return state->font != nullptr ? state->font : static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
}

int BarHeight(const StatusState* state)
{
    return std::max<int>(state->minHeight, FontMetrics(FontOf(state)).tmHeight + kBarPadding);
}

void Align(HWND hwnd, const StatusState* state)
{
    // A status bar sits at the bottom unless CCS_TOP alone puts it at the top.
    const DWORD align = StyleOf(hwnd) & CCS_BOTTOM;
    AlignToParent(hwnd, BarHeight(state), align != CCS_TOP && align != CCS_NOMOVEY);
}

RECT PaneRect(HWND hwnd, const StatusState* state, size_t index)
{
    RECT client;
    GetClientRect(hwnd, &client);
    if (state->simple) return client;
    const int left = index == 0 ? 0 : std::max(0, state->rights[index - 1]);
    const int right = state->rights[index] < 0 ? client.right : state->rights[index];
    return RECT{left, client.top + kBorders[1], std::max(left, right), client.bottom - kBorders[1]};
}

// A tab before a piece of the text centres it, a second one puts it at the
// right, as in the real control.
void DrawPane(HDC dc, RECT rect, const std::string& text)
{
    rect.left += kTextIndent;
    rect.right -= kTextIndent;
    static const UINT kAlign[] = {DT_LEFT, DT_CENTER, DT_RIGHT};
    size_t start = 0;
    for (UINT align : kAlign) {
        const size_t tab = text.find('\t', start);
        const std::string piece = text.substr(start, tab == std::string::npos ? std::string::npos : tab - start);
        if (!piece.empty()) {
            DrawTextA(dc, piece.c_str(), static_cast<int>(piece.size()), &rect,
                      align | DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX);
        }
        if (tab == std::string::npos) break;
        start = tab + 1;
    }
}

void Paint(HWND hwnd, const StatusState* state)
{
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(hwnd, &ps);
    HGDIOBJ old = SelectObject(dc, FontOf(state));
    if (state->simple) {
        DrawPane(dc, PaneRect(hwnd, state, 0), state->simplePane.text);
    } else {
        for (size_t i = 0; i < state->panes.size(); ++i) {
            if (!(state->panes[i].type & SBT_OWNERDRAW)) DrawPane(dc, PaneRect(hwnd, state, i), state->panes[i].text);
        }
    }
    SelectObject(dc, old);
    EndPaint(hwnd, &ps);
}

Pane* PaneOf(StatusState* state, WPARAM index)
{
    if (index == SB_SIMPLEID) return &state->simplePane;
    return index < state->panes.size() ? &state->panes[index] : nullptr;
}

BOOL SetText(HWND hwnd, StatusState* state, WPARAM wParam, LPCSTR text)
{
    const WPARAM index = LOBYTE(wParam);
    Pane* pane = PaneOf(state, index);
    if (pane == nullptr) return FALSE;
    const std::string value = text == nullptr || IS_INTRESOURCE(text) ? "" : text;
    const WORD type = static_cast<WORD>(wParam & 0xFF00);
    if (pane->text == value && pane->type == type) return TRUE;
    pane->text = value;
    pane->type = type;
    if (index == 0) DefWindowProcA(hwnd, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(value.c_str()));
    const bool shown = state->simple == (index == SB_SIMPLEID);
    if (shown) {
        RECT rect = PaneRect(hwnd, state, index == SB_SIMPLEID ? 0 : index);
        InvalidateRect(hwnd, &rect, TRUE);
    }
    return TRUE;
}

LRESULT GetText(StatusState* state, WPARAM index, char* buffer)
{
    const Pane* pane = PaneOf(state, index);
    if (pane == nullptr) return 0;
    if (buffer != nullptr) std::memcpy(buffer, pane->text.c_str(), pane->text.size() + 1);
    return MAKELONG(pane->text.size(), pane->type);
}

BOOL SetParts(HWND hwnd, StatusState* state, WPARAM count, const int* rights)
{
    if (count == 0 || count > kMaxParts || rights == nullptr) return FALSE;
    state->rights.assign(rights, rights + count);
    state->panes.resize(count);
    InvalidateRect(hwnd, nullptr, TRUE);
    return TRUE;
}

LRESULT GetParts(const StatusState* state, WPARAM count, int* out)
{
    if (out != nullptr) std::copy_n(state->rights.begin(), std::min<size_t>(count, state->rights.size()), out);
    return static_cast<LRESULT>(state->rights.size());
}

}  // namespace

LRESULT CALLBACK StatusBarProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    auto* state = StateOf<StatusState>(hwnd);
    switch (message) {
    case WM_NCCREATE: {
        AttachState<StatusState>(hwnd);
        const auto* create = reinterpret_cast<const CREATESTRUCTA*>(lParam);
        if (create->lpszName != nullptr) StateOf<StatusState>(hwnd)->panes[0].text = create->lpszName;
        return DefWindowProcA(hwnd, message, wParam, lParam);
    }
    case WM_CREATE:
        Align(hwnd, state);
        return 0;
    case WM_SIZE:
        Align(hwnd, state);
        InvalidateRect(hwnd, nullptr, TRUE);
        return 0;
    case WM_SETFONT:
        ControlDefProc<StatusState>(hwnd, message, wParam, lParam);
        Align(hwnd, state);
        return 0;
    case WM_SETTEXT:
        return SetText(hwnd, state, 0, reinterpret_cast<LPCSTR>(lParam));
    case SB_SETTEXTA:
        return SetText(hwnd, state, wParam, reinterpret_cast<LPCSTR>(lParam));
    case SB_GETTEXTA:
        return GetText(state, wParam, reinterpret_cast<char*>(lParam));
    case SB_GETTEXTLENGTHA:
        return GetText(state, wParam, nullptr);
    case SB_SETPARTS:
        return SetParts(hwnd, state, wParam, reinterpret_cast<const int*>(lParam));
    case SB_GETPARTS:
        return GetParts(state, wParam, reinterpret_cast<int*>(lParam));
    case SB_GETBORDERS:
        if (lParam == 0) return FALSE;
        std::memcpy(reinterpret_cast<int*>(lParam), kBorders, sizeof(kBorders));
        return TRUE;
    case SB_GETRECT:
        if (lParam == 0 || wParam >= state->panes.size()) return FALSE;
        *reinterpret_cast<RECT*>(lParam) = PaneRect(hwnd, state, wParam);
        return TRUE;
    case SB_SETMINHEIGHT:
        state->minHeight = static_cast<int>(wParam);
        return 0;
    case SB_SIMPLE:
        if (state->simple != (wParam != 0)) {
            state->simple = wParam != 0;
            InvalidateRect(hwnd, nullptr, TRUE);
        }
        return 0;
    case SB_ISSIMPLE:
        return state->simple;
    case WM_PAINT:
        Paint(hwnd, state);
        return 0;
    default:
        return ControlDefProc<StatusState>(hwnd, message, wParam, lParam);
    }
}

}  // namespace winsim::ui

extern "C" {

HWND WINAPI CreateStatusWindowA(LONG style, LPCSTR lpszText, HWND hwndParent, UINT wID)
{
    return CreateWindowExA(0, STATUSCLASSNAMEA, lpszText, static_cast<DWORD>(style), 0, 0, 0, 0, hwndParent,
                           reinterpret_cast<HMENU>(static_cast<UINT_PTR>(wID)), nullptr, nullptr);
}

}  // extern "C"
