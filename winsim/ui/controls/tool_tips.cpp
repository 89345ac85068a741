// Tool tips (tooltips_class32): tools registered by window or by rectangle,
// mouse messages relayed by their owner, the tip shown after the initial
// delay with its text (or the text TTN_GETDISPINFO supplies) and hidden
// after the pop delay, on a click, or when the mouse leaves the tool.
#include <algorithm>
#include <string>
#include <vector>

#include <commctrl.h>

#include "ui/controls/control_procs.h"
#include "ui/controls/control_state.h"

namespace winsim::ui {

namespace {

constexpr UINT_PTR kInitialTimer = 1;
constexpr UINT_PTR kPopTimer = 2;
constexpr UINT kDefaultInitial = 500;  // milliseconds
constexpr UINT kDefaultPop = 5000;

struct Tool {
    UINT flags = 0;
    HWND hwnd = nullptr;
    UINT_PTR id = 0;
    RECT rect{};
    HINSTANCE instance = nullptr;
    bool callback = false;
    std::string text;
    LPARAM param = 0;
};

struct ToolTipState : ControlState {
    std::vector<Tool> tools;
    bool active = true;
    int maxWidth = -1;
    UINT initialDelay = kDefaultInitial;
    UINT popDelay = kDefaultPop;
    int pending = -1;  // the tool the mouse rests on, before the tip shows
    int shown = -1;
    POINT mouse{};  // screen position of the last relayed mouse move
};

// Below the mouse pointer, as wide as the text, as comctl32 places a tip.
constexpr int kBelowPointer = 20;
constexpr int kTextMargin = 3;

bool SameTool(const Tool& tool, const TTTOOLINFOA* info) { return tool.hwnd == info->hwnd && tool.id == info->uId; }

int FindTool(const ToolTipState* state, const TTTOOLINFOA* info)
{
    for (size_t i = 0; i < state->tools.size(); ++i) {
        if (SameTool(state->tools[i], info)) return static_cast<int>(i);
    }
    return -1;
}

void StoreText(Tool* tool, LPCSTR text)
{
    tool->callback = text == LPSTR_TEXTCALLBACKA;
    tool->text = tool->callback || text == nullptr || IS_INTRESOURCE(text) ? "" : text;
}

// The tool under a relayed mouse message.
int ToolAt(const ToolTipState* state, const MSG& msg)
{
    for (size_t i = 0; i < state->tools.size(); ++i) {
        const Tool& tool = state->tools[i];
        if (tool.flags & TTF_IDISHWND) {
            if (reinterpret_cast<HWND>(tool.id) == msg.hwnd) return static_cast<int>(i);
            continue;
        }
        const POINT point{GET_X_LPARAM(msg.lParam), GET_Y_LPARAM(msg.lParam)};
        if (tool.hwnd == msg.hwnd && point.x >= tool.rect.left && point.x < tool.rect.right &&
            point.y >= tool.rect.top && point.y < tool.rect.bottom) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

void Notify(HWND tip, const Tool& tool, UINT code)
{
    NMHDR header{tip, tool.id, code};
    SendMessageA(tool.hwnd, WM_NOTIFY, tool.id, reinterpret_cast<LPARAM>(&header));
}

std::string TextOf(HWND tip, const Tool& tool)
{
    if (!tool.callback) return tool.text;
    NMTTDISPINFOA info{};
    info.hdr = NMHDR{tip, tool.id, TTN_GETDISPINFOA};
    info.uFlags = tool.flags;
    info.lParam = tool.param;
    info.hinst = tool.instance;
    SendMessageA(tool.hwnd, WM_NOTIFY, tool.id, reinterpret_cast<LPARAM>(&info));
    if (info.lpszText != nullptr && !IS_INTRESOURCE(info.lpszText)) return info.lpszText;
    return info.szText;
}

void Hide(HWND tip, ToolTipState* state)
{
    KillTimer(tip, kInitialTimer);
    KillTimer(tip, kPopTimer);
    state->pending = -1;
    if (state->shown < 0) return;
    const Tool tool = state->tools[static_cast<size_t>(state->shown)];
    state->shown = -1;
    ShowWindow(tip, SW_HIDE);
    Notify(tip, tool, TTN_POP);
}

void Show(HWND tip, ToolTipState* state)
{
    KillTimer(tip, kInitialTimer);
    if (state->pending < 0 || !state->active) return;
    state->shown = state->pending;
    state->pending = -1;
    const Tool tool = state->tools[static_cast<size_t>(state->shown)];
    const std::string text = TextOf(tip, tool);
    if (text.empty()) {
        state->shown = -1;
        return;
    }
    DefWindowProcA(tip, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
    const TEXTMETRICA metrics = FontMetrics(static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT)));
    SetWindowPos(tip, nullptr, state->mouse.x, state->mouse.y + kBelowPointer,
                 static_cast<int>(text.size()) * metrics.tmAveCharWidth + 2 * kTextMargin + 2,
                 metrics.tmHeight + 2 * kTextMargin, SWP_NOZORDER | SWP_NOACTIVATE);
    Notify(tip, tool, TTN_SHOW);
    ShowWindow(tip, SW_SHOWNA);
    SetTimer(tip, kPopTimer, state->popDelay, nullptr);
}

void Relay(HWND tip, ToolTipState* state, const MSG& msg)
{
    switch (msg.message) {
    case WM_MOUSEMOVE: {
        state->mouse = POINT{GET_X_LPARAM(msg.lParam), GET_Y_LPARAM(msg.lParam)};
        ClientToScreen(msg.hwnd, &state->mouse);
        const int tool = ToolAt(state, msg);
        if (tool == state->shown || tool == state->pending) return;
        Hide(tip, state);
        if (tool < 0 || !state->active) return;
        state->pending = tool;
        SetTimer(tip, kInitialTimer, state->initialDelay, nullptr);
        return;
    }
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_LBUTTONUP:
    case WM_RBUTTONUP:
        Hide(tip, state);
        return;
    default:
        return;
    }
}

LRESULT SetDelay(ToolTipState* state, WPARAM which, LPARAM lParam)
{
    const auto delay = static_cast<UINT>(static_cast<short>(LOWORD(lParam)));
    switch (which) {
    case TTDT_INITIAL: state->initialDelay = delay; break;
    case TTDT_AUTOPOP: state->popDelay = delay; break;
    case TTDT_AUTOMATIC:
        state->initialDelay = delay;
        state->popDelay = delay * 10;
        break;
    default: break;
    }
    return 0;
}

}  // namespace

LRESULT CALLBACK ToolTipProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    auto* state = StateOf<ToolTipState>(hwnd);
    switch (message) {
    case WM_NCCREATE:
        AttachState<ToolTipState>(hwnd);
        // A tip is a tool window that stays on top, as comctl32 makes it.
        SetWindowLongPtrA(hwnd, GWL_EXSTYLE,
                          GetWindowLongPtrA(hwnd, GWL_EXSTYLE) | WS_EX_TOOLWINDOW | WS_EX_TOPMOST);
        return DefWindowProcA(hwnd, message, wParam, lParam);
    case TTM_ADDTOOLA: {
        auto* info = reinterpret_cast<const TTTOOLINFOA*>(lParam);
        if (info == nullptr || FindTool(state, info) >= 0) return FALSE;
        Tool tool;
        tool.flags = info->uFlags;
        tool.hwnd = info->hwnd;
        tool.id = info->uId;
        tool.rect = info->rect;
        tool.instance = info->hinst;
        tool.param = info->lParam;
        StoreText(&tool, info->lpszText);
        state->tools.push_back(tool);
        return TRUE;
    }
    case TTM_DELTOOLA: {
        const int index = FindTool(state, reinterpret_cast<const TTTOOLINFOA*>(lParam));
        if (index < 0) return 0;
        Hide(hwnd, state);
        state->tools.erase(state->tools.begin() + index);
        return 0;
    }
    case TTM_UPDATETIPTEXTA: {
        auto* info = reinterpret_cast<const TTTOOLINFOA*>(lParam);
        const int index = FindTool(state, info);
        if (index >= 0) StoreText(&state->tools[static_cast<size_t>(index)], info->lpszText);
        return 0;
    }
    case TTM_GETTOOLCOUNT:
        return static_cast<LRESULT>(state->tools.size());
    case TTM_ACTIVATE:
        state->active = wParam != 0;
        if (!state->active) Hide(hwnd, state);
        return 0;
    case TTM_RELAYEVENT:
        if (lParam != 0) Relay(hwnd, state, *reinterpret_cast<const MSG*>(lParam));
        return 0;
    case TTM_POP:
        Hide(hwnd, state);
        return 0;
    case TTM_SETMAXTIPWIDTH: {
        const int old = state->maxWidth;
        state->maxWidth = static_cast<int>(lParam);
        return old;
    }
    case TTM_GETMAXTIPWIDTH:
        return state->maxWidth;
    case TTM_SETDELAYTIME:
        return SetDelay(state, wParam, lParam);
    case WM_TIMER:
        if (wParam == kInitialTimer) Show(hwnd, state);
        if (wParam == kPopTimer) Hide(hwnd, state);
        return 0;
    default:
        return ControlDefProc<ToolTipState>(hwnd, message, wParam, lParam);
    }
}

}  // namespace winsim::ui
