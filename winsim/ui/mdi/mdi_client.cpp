// The MDICLIENT class: activation (WM_MDIACTIVATE to the child losing and
// the child gaining it), z-order, WM_MDINEXT, maximised and minimised
// children, cascade and tile, the window menu's list of children, and scroll
// bars over the children's extent.
#include "ui/mdi/mdi_client.h"

#include <algorithm>
#include <string>

#include "ui/controls/control_state.h"
#include "ui/mdi/mdi_layout.h"
#include "ui/window_system.h"

namespace winsim::ui {

namespace {

// Windows lists the first nine children in the window menu.
constexpr size_t kListedChildren = 9;
constexpr int kMinimizedWidth = 160;
// WM_MDICALCCHILDSCROLL: the update of the scroll bars a client posts itself.
constexpr UINT kCalcChildScroll = 0x003F;

RECT ClientArea(HWND client)
{
    RECT area{};
    GetClientRect(client, &area);
    return area;
}

DWORD Style(HWND hwnd) { return static_cast<DWORD>(GetWindowLongPtrA(hwnd, GWL_STYLE)); }

void SetStyleBits(HWND hwnd, DWORD set, DWORD clear)
{
    SetWindowLongPtrA(hwnd, GWL_STYLE, static_cast<LONG_PTR>(static_cast<LONG>((Style(hwnd) & ~clear) | set)));
}

RECT WindowRectInParent(HWND child)
{
    RECT rect{};
    GetWindowRect(child, &rect);
    POINT origin{0, 0};
    ClientToScreen(GetParent(child), &origin);
    OffsetRect(&rect, -origin.x, -origin.y);
    return rect;
}

void Place(HWND child, const RECT& rect)
{
    SetWindowPos(child, nullptr, rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top,
                 SWP_NOZORDER | SWP_NOACTIVATE);
}

// The window rectangle whose client area is the whole MDI client: the
// child's caption and frame lie outside it.
RECT MaximizedRect(HWND client, HWND child)
{
    RECT rect = ClientArea(client);
    AdjustWindowRectEx(&rect, Style(child) & ~WS_MAXIMIZE, FALSE,
                       static_cast<DWORD>(GetWindowLongPtrA(child, GWL_EXSTYLE)));
    return rect;
}

void Remember(MdiClientState& state, HWND child)
{
    if (!(Style(child) & (WS_MAXIMIZE | WS_MINIMIZE))) state.restoreRects[child] = WindowRectInParent(child);
}

void Restore(MdiClientState& state, HWND child)
{
    const DWORD style = Style(child);
    if (!(style & (WS_MAXIMIZE | WS_MINIMIZE))) return;
    SetStyleBits(child, 0, WS_MAXIMIZE | WS_MINIMIZE);
    if (style & WS_MAXIMIZE) state.maximized = false;
    auto it = state.restoreRects.find(child);
    if (it != state.restoreRects.end()) Place(child, it->second);
}

void Maximize(MdiClientState& state, HWND client, HWND child)
{
    if (Style(child) & WS_MAXIMIZE) return;
    Remember(state, child);
    SetStyleBits(child, WS_MAXIMIZE, WS_MINIMIZE);
    state.maximized = true;
    Place(child, MaximizedRect(client, child));
}

// The window menu ends with a separator and "&N title" per child, the
// active one checked, their ids the children's.
void RefreshWindowMenu(HWND client)
{
    MdiClientState& state = *MdiStateOf(client);
    if (state.windowMenu == nullptr || !IsMenu(state.windowMenu)) return;
    if (state.listedInMenu) {
        for (UINT id = state.firstChildId; id < state.firstChildId + kListedChildren; ++id) {
            DeleteMenu(state.windowMenu, id, MF_BYCOMMAND);
        }
        const int count = GetMenuItemCount(state.windowMenu);
        if (count > 0 && (GetMenuState(state.windowMenu, static_cast<UINT>(count - 1), MF_BYPOSITION) & MF_SEPARATOR)) {
            DeleteMenu(state.windowMenu, static_cast<UINT>(count - 1), MF_BYPOSITION);
        }
        state.listedInMenu = false;
    }
    if (state.children.empty()) return;
    AppendMenuA(state.windowMenu, MF_SEPARATOR, 0, nullptr);
    for (size_t i = 0; i < state.children.size() && i < kListedChildren; ++i) {
        char title[128] = "";
        GetWindowTextA(state.children[i], title, sizeof(title));
        const std::string text = "&" + std::to_string(i + 1) + " " + title;
        AppendMenuA(state.windowMenu, MF_STRING | (state.children[i] == state.active ? MF_CHECKED : 0),
                    state.firstChildId + i, text.c_str());
    }
    state.listedInMenu = true;
}

void Renumber(MdiClientState& state)
{
    for (size_t i = 0; i < state.children.size(); ++i) {
        SetWindowLongPtrA(state.children[i], GWLP_ID, static_cast<LONG_PTR>(state.firstChildId + i));
    }
}

// The child comes to the front of the z-order and gets the keyboard when
// its frame is the active window; a maximised child hands its state on.
void Activate(HWND client, HWND child)
{
    MdiClientState& state = *MdiStateOf(client);
    HWND old = state.active;
    if (child == old) return;
    if (child != nullptr && std::find(state.children.begin(), state.children.end(), child) == state.children.end()) {
        return;
    }
    const bool passMaximized = state.maximized && old != nullptr && child != nullptr;
    if (passMaximized) Restore(state, old);
    state.active = child;
    if (child != nullptr) SetWindowPos(child, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    if (old != nullptr && IsWindow(old)) {
        SendMessageA(old, WM_NCACTIVATE, FALSE, 0);
        SendMessageA(old, WM_MDIACTIVATE, reinterpret_cast<WPARAM>(old), reinterpret_cast<LPARAM>(child));
    }
    if (child == nullptr) {
        RefreshWindowMenu(client);
        return;
    }
    if (passMaximized) Maximize(state, client, child);
    SendMessageA(child, WM_NCACTIVATE, TRUE, 0);
    SendMessageA(child, WM_MDIACTIVATE, reinterpret_cast<WPARAM>(old), reinterpret_cast<LPARAM>(child));
    RefreshWindowMenu(client);
    if (GetActiveWindow() == GetAncestor(client, GA_ROOT)) SetFocus(child);
}

// The client's children in their z-order, the topmost first.
std::vector<HWND> ZOrder(HWND client)
{
    std::vector<HWND> order;
    for (HWND child = GetWindow(client, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT)) {
        order.push_back(child);
    }
    return order;
}

// The child behind the given one in the z-order (or in front of it,
// going backwards), skipping what cannot be activated.
HWND Neighbour(HWND client, HWND from, bool previous)
{
    const std::vector<HWND> order = ZOrder(client);
    auto it = std::find(order.begin(), order.end(), from);
    if (it == order.end()) return nullptr;
    const auto count = static_cast<std::ptrdiff_t>(order.size());
    const std::ptrdiff_t at = it - order.begin();
    for (std::ptrdiff_t step = 1; step < count; ++step) {
        const std::ptrdiff_t index = ((previous ? at - step : at + step) % count + count) % count;
        HWND candidate = order[static_cast<size_t>(index)];
        if (IsWindowVisible(candidate) && IsWindowEnabled(candidate)) return candidate;
    }
    return nullptr;
}

void Next(HWND client, HWND from, bool previous)
{
    MdiClientState& state = *MdiStateOf(client);
    if (from == nullptr) from = state.active;
    HWND next = Neighbour(client, from, previous);
    if (next == nullptr) return;
    Activate(client, next);
    // Going forwards, the window left sinks to the bottom.
    if (!previous) SetWindowPos(from, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

// A child leaving: the next one takes over if it was active.
void Forget(HWND client, HWND child)
{
    MdiClientState& state = *MdiStateOf(client);
    if (std::find(state.children.begin(), state.children.end(), child) == state.children.end()) return;
    if (state.active == child) {
        HWND next = Neighbour(client, child, false);
        if (next != nullptr) {
            Activate(client, next);
        } else {
            Activate(client, nullptr);
        }
    }
    if (Style(child) & WS_MAXIMIZE) state.maximized = false;
    std::erase(state.children, child);
    state.restoreRects.erase(child);
    Renumber(state);
    RefreshWindowMenu(client);
}

// The children an arrangement moves: shown, not minimised, and enabled
// unless disabled ones take part too; the z-order's.
std::vector<HWND> Arranged(HWND client, WPARAM flags)
{
    std::vector<HWND> windows;
    for (HWND child : ZOrder(client)) {
        if (!IsWindowVisible(child) || (Style(child) & WS_MINIMIZE)) continue;
        if ((flags & MDITILE_SKIPDISABLED) && !IsWindowEnabled(child)) continue;
        windows.push_back(child);
    }
    return windows;
}

BOOL Cascade(HWND client, WPARAM flags)
{
    MdiClientState& state = *MdiStateOf(client);
    if (state.maximized && state.active != nullptr) Restore(state, state.active);
    std::vector<HWND> windows = Arranged(client, flags);
    std::vector<RECT> rects = CascadeRects(windows.size(), ClientArea(client));
    // The bottom window first, so the active one ends in front.
    for (size_t k = 0; k < windows.size(); ++k) Place(windows[windows.size() - 1 - k], rects[k]);
    return windows.empty() ? FALSE : TRUE;
}

BOOL Tile(HWND client, WPARAM flags)
{
    MdiClientState& state = *MdiStateOf(client);
    if (state.maximized && state.active != nullptr) Restore(state, state.active);
    std::vector<HWND> windows = Arranged(client, flags);
    std::vector<RECT> rects = TileRects(windows.size(), ClientArea(client), (flags & MDITILE_HORIZONTAL) != 0);
    for (size_t k = 0; k < windows.size(); ++k) Place(windows[k], rects[k]);
    return windows.empty() ? FALSE : TRUE;
}

// The bars span the client and every shown child, the position being the
// client's own place, so a bar shows only while a child reaches outside. A
// maximised child fills the client: no bars then.
void CalcChildScroll(HWND client)
{
    MdiClientState& state = *MdiStateOf(client);
    state.scrollUpdatePosted = false;
    if (state.bars == 0) return;
    if (state.maximized) {
        ShowScrollBar(client, SB_BOTH, FALSE);
        return;
    }
    const RECT area = ClientArea(client);
    RECT extent = area;
    for (HWND child : state.children) {
        if (!IsWindowVisible(child)) continue;
        const RECT rect = WindowRectInParent(child);
        UnionRect(&extent, &extent, &rect);
    }
    if (state.bars & WS_HSCROLL) {
        SCROLLINFO info{sizeof(info), SIF_RANGE | SIF_PAGE | SIF_POS, extent.left, extent.right - 1,
                        static_cast<UINT>(area.right), 0, 0};
        SetScrollInfo(client, SB_HORZ, &info, TRUE);
    }
    if (state.bars & WS_VSCROLL) {
        SCROLLINFO info{sizeof(info), SIF_RANGE | SIF_PAGE | SIF_POS, extent.top, extent.bottom - 1,
                        static_cast<UINT>(area.bottom), 0, 0};
        SetScrollInfo(client, SB_VERT, &info, TRUE);
    }
}

// WM_HSCROLL and WM_VSCROLL: the children move the other way.
void ScrollChildren(HWND client, int bar, WORD code, int thumb)
{
    SCROLLINFO info{sizeof(info), SIF_ALL};
    if (!GetScrollInfo(client, bar, &info)) return;
    const int last = info.nMax - std::max(static_cast<int>(info.nPage) - 1, 0);
    const int line = GetSystemMetrics(bar == SB_HORZ ? SM_CXVSCROLL : SM_CYHSCROLL);
    int position = info.nPos;
    switch (code) {
    case SB_LINEUP: position -= line; break;
    case SB_LINEDOWN: position += line; break;
    case SB_PAGEUP: position -= static_cast<int>(info.nPage); break;
    case SB_PAGEDOWN: position += static_cast<int>(info.nPage); break;
    case SB_THUMBTRACK:
    case SB_THUMBPOSITION: position = thumb; break;
    case SB_TOP: position = info.nMin; break;
    case SB_BOTTOM: position = last; break;
    case SB_ENDSCROLL: CalcChildScroll(client); return;
    default: return;
    }
    position = std::clamp(position, info.nMin, std::max(info.nMin, last));
    const int delta = position - info.nPos;
    if (delta == 0) return;
    SetScrollPos(client, bar, position, TRUE);
    for (HWND child : MdiStateOf(client)->children) {
        const RECT rect = WindowRectInParent(child);
        SetWindowPos(child, nullptr, rect.left - (bar == SB_HORZ ? delta : 0), rect.top - (bar == SB_VERT ? delta : 0),
                     0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
}

void Create(HWND client, const CREATESTRUCTA& create)
{
    AttachState<MdiClientState>(client);
    MdiClientState& state = *MdiStateOf(client);
    state.frame = GetParent(client);
    state.bars = create.style & (WS_HSCROLL | WS_VSCROLL);
    if (const auto* clientCreate = static_cast<const CLIENTCREATESTRUCT*>(create.lpCreateParams)) {
        state.windowMenu = static_cast<HMENU>(clientCreate->hWindowMenu);
        state.firstChildId = clientCreate->idFirstChild;
    }
}

HWND CreateFromMessage(HWND client, const MDICREATESTRUCTA& create)
{
    return CreateMdiChild(WS_EX_MDICHILD, create.szClass, create.szTitle, create.style, create.x, create.y, create.cx,
                          create.cy, client, static_cast<HINSTANCE>(create.hOwner), reinterpret_cast<LPVOID>(create.lParam));
}

}  // namespace

MdiClientState* MdiStateOf(HWND client)
{
    char name[16] = "";
    if (GetClassNameA(client, name, sizeof(name)) == 0 || std::string(name) != "MDIClient") return nullptr;
    return StateOf<MdiClientState>(client);
}

void UpdateMdiScrollBarsLater(HWND client)
{
    MdiClientState* state = MdiStateOf(client);
    if (state == nullptr || state->bars == 0 || state->scrollUpdatePosted) return;
    state->scrollUpdatePosted = PostMessageA(client, kCalcChildScroll, 0, 0) != FALSE;
}

void MinimizeMdiChild(HWND client, HWND child)
{
    MdiClientState* state = MdiStateOf(client);
    if (state == nullptr || (Style(child) & WS_MINIMIZE)) return;
    if (Style(child) & WS_MAXIMIZE) Restore(*state, child);
    Remember(*state, child);
    SetStyleBits(child, WS_MINIMIZE, 0);
    // Minimised windows line up along the bottom of the client.
    const RECT area = ClientArea(client);
    const int height = GetSystemMetrics(SM_CYCAPTION) + 2 * GetSystemMetrics(SM_CYFRAME);
    int slot = 0;
    for (HWND other : state->children) {
        if (other != child && (Style(other) & WS_MINIMIZE)) ++slot;
    }
    Place(child, RECT{slot * kMinimizedWidth, area.bottom - height, (slot + 1) * kMinimizedWidth, area.bottom});
    if (state->active == child) Next(client, child, false);
}

HWND CreateMdiChild(DWORD exStyle, LPCSTR className, LPCSTR title, DWORD style, int x, int y, int cx, int cy,
                    HWND client, HINSTANCE instance, LPVOID param)
{
    MdiClientState* state = MdiStateOf(client);
    if (state == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    if (!(Style(client) & MDIS_ALLCHILDSTYLES)) {
        style |= WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX;
    }
    style = (style | WS_CHILD | WS_CLIPSIBLINGS) & ~static_cast<DWORD>(WS_POPUP);
    // A child without a place of its own goes to the next cascade step.
    if (x == CW_USEDEFAULT || cx == CW_USEDEFAULT) {
        std::vector<RECT> steps = CascadeRects(state->children.size() + 1, ClientArea(client));
        const RECT& next = steps.back();
        if (x == CW_USEDEFAULT) x = next.left, y = next.top;
        if (cx == CW_USEDEFAULT) cx = next.right - next.left, cy = next.bottom - next.top;
    }
    // The window procedure finds what MDICREATESTRUCT would have told it.
    MDICREATESTRUCTA create{className, title, instance, x, y, cx, cy, style, reinterpret_cast<LPARAM>(param)};
    const UINT id = state->firstChildId + static_cast<UINT>(state->children.size());
    const bool visible = (style & WS_VISIBLE) != 0;
    HWND child = CreateWindowAsGiven(exStyle | WS_EX_MDICHILD, className, title, style & ~WS_VISIBLE, x, y, cx, cy,
                                     client, reinterpret_cast<HMENU>(static_cast<UINT_PTR>(id)), instance, &create);
    state = MdiStateOf(client);
    if (child == nullptr || state == nullptr) return nullptr;
    state->children.push_back(child);
    if (style & WS_MAXIMIZE) {
        SetStyleBits(child, 0, WS_MAXIMIZE);
        Maximize(*state, client, child);
    }
    if (visible) {
        ShowWindow(child, SW_SHOW);
        Activate(client, child);
    } else {
        RefreshWindowMenu(client);
    }
    return child;
}

LRESULT CALLBACK MdiClientProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    MdiClientState* state = StateOf<MdiClientState>(hwnd);
    if (state == nullptr && message != WM_CREATE) return DefWindowProcA(hwnd, message, wParam, lParam);
    switch (message) {
    case WM_CREATE:
        Create(hwnd, *reinterpret_cast<const CREATESTRUCTA*>(lParam));
        return 0;
    case WM_NCDESTROY:
        DetachState<MdiClientState>(hwnd);
        return 0;
    case WM_MDICREATE:
        return reinterpret_cast<LRESULT>(CreateFromMessage(hwnd, *reinterpret_cast<const MDICREATESTRUCTA*>(lParam)));
    case WM_MDIDESTROY:
        DestroyWindow(reinterpret_cast<HWND>(wParam));
        return 0;
    case WM_MDIACTIVATE: {
        auto child = reinterpret_cast<HWND>(wParam);
        if (Style(child) & WS_MINIMIZE) Restore(*state, child);
        Activate(hwnd, child);
        return 0;
    }
    case WM_MDIGETACTIVE:
        if (lParam != 0) *reinterpret_cast<BOOL*>(lParam) = state->maximized ? TRUE : FALSE;
        return reinterpret_cast<LRESULT>(state->active);
    case WM_MDINEXT:
        Next(hwnd, reinterpret_cast<HWND>(wParam), lParam != 0);
        return 0;
    case WM_MDIMAXIMIZE:
        Maximize(*state, hwnd, reinterpret_cast<HWND>(wParam));
        return 0;
    case WM_MDIRESTORE:
        Restore(*state, reinterpret_cast<HWND>(wParam));
        return 0;
    case WM_MDICASCADE:
        return Cascade(hwnd, wParam);
    case WM_MDITILE:
        return Tile(hwnd, wParam);
    case WM_MDISETMENU: {
        HMENU old = GetMenu(state->frame);
        if (wParam != 0) SetMenu(state->frame, reinterpret_cast<HMENU>(wParam));
        if (lParam != 0) {
            state->listedInMenu = false;
            state->windowMenu = reinterpret_cast<HMENU>(lParam);
        }
        RefreshWindowMenu(hwnd);
        return reinterpret_cast<LRESULT>(old);
    }
    case WM_MDIREFRESHMENU:
        RefreshWindowMenu(hwnd);
        return reinterpret_cast<LRESULT>(GetMenu(state->frame));
    case WM_PARENTNOTIFY:
        if (LOWORD(wParam) == WM_DESTROY) {
            Forget(hwnd, reinterpret_cast<HWND>(lParam));
            UpdateMdiScrollBarsLater(hwnd);
        }
        return 0;
    case WM_SIZE:
        if (state->maximized && state->active != nullptr) Place(state->active, MaximizedRect(hwnd, state->active));
        UpdateMdiScrollBarsLater(hwnd);
        return 0;
    case kCalcChildScroll:
        CalcChildScroll(hwnd);
        return 0;
    case WM_HSCROLL:
    case WM_VSCROLL:
        ScrollChildren(hwnd, message == WM_HSCROLL ? SB_HORZ : SB_VERT, LOWORD(wParam),
                       static_cast<short>(HIWORD(wParam)));
        return 0;
    case WM_SETFOCUS:
        if (state->active != nullptr) SetFocus(state->active);
        return 0;
    default:
        return DefWindowProcA(hwnd, message, wParam, lParam);
    }
}

}  // namespace winsim::ui
