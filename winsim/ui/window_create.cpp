// CreateWindowEx and DestroyWindow with the messages in Windows' order:
// WM_NCCREATE, WM_CREATE, WM_SIZE, WM_MOVE, WM_PARENTNOTIFY, then showing;
// on destruction WM_DESTROY from the window down to its children and
// WM_NCDESTROY from the children up, owned windows first.
#include <algorithm>

#include "ui/activation.h"
#include "ui/gdi/display_list.h"
#include "ui/mdi/mdi_client.h"
#include "ui/menus/menu_store.h"
#include "ui/message_queue.h"
#include "ui/ui_events.h"
#include "ui/window_system.h"

using namespace winsim::ui;

namespace {

constexpr int kDefaultX = 100;
constexpr int kDefaultY = 80;
constexpr int kDefaultWidth = 480;
constexpr int kDefaultHeight = 320;

void SendDestroyDownwards(HWND hwnd)
{
    SendMessageA(hwnd, WM_DESTROY, 0, 0);
    std::vector<HWND> children;
    WithWindow(hwnd, [&](Window& window) { children = window.children; });
    for (HWND child : children) SendDestroyDownwards(child);
}

void Unlink(HWND hwnd)
{
    std::lock_guard<std::mutex> guard(Ui().lock);
    Window* window = FindLocked(hwnd);
    if (window == nullptr) return;
    if (Window* parent = FindLocked(window->parent); parent != nullptr && !IsTopLevel(*window)) {
        std::erase(parent->children, hwnd);
    }
    std::erase(Ui().topLevel, hwnd);
    if (Ui().foreground == hwnd) Ui().foreground = nullptr;
    if (window->menu != nullptr && IsTopLevel(*window)) {
        // A menu bar goes with its window.
        std::lock_guard<std::mutex> menus(MenuLock());
        DestroyMenuLocked(window->menu);
    }
    ForgetWindowLocked(*window->queue, hwnd);
    window->program->windows--;
    if (window->reportedOpen) {
        ReportEvent(UiEvent{UiEvent::Kind::kWindowClosed, window->program, window->text, "", 0});
    }
    // The map holds the last reference; a caller still inside one of its
    // procedures keeps nothing but the handle.
    Ui().windows.erase(hwnd);
    ForgetDisplayList(hwnd);
}

void SendNcDestroyUpwards(HWND hwnd)
{
    std::vector<HWND> children;
    WithWindow(hwnd, [&](Window& window) { children = window.children; });
    for (HWND child : children) SendNcDestroyUpwards(child);
    SendMessageA(hwnd, WM_NCDESTROY, 0, 0);
    Unlink(hwnd);
}

// The menu its class names, for a top-level window created without one.
HMENU LoadClassMenu(HWND hwnd, HINSTANCE instance)
{
    std::string name;
    WithWindow(hwnd, [&](Window& window) { name = window.cls->menuName; });
    if (name.empty()) return nullptr;
    HMENU menu = LoadMenuA(instance, name.c_str());
    WithWindow(hwnd, [&](Window& window) { window.menu = menu; });
    return menu;
}

}  // namespace

namespace winsim::ui {

void DestroyThreadWindows()
{
    std::vector<HWND> mine;
    {
        std::lock_guard<std::mutex> guard(Ui().lock);
        auto queue = CurrentQueueLocked();
        for (HWND top : Ui().topLevel) {
            if (FindLocked(top)->queue == queue) mine.push_back(top);
        }
    }
    for (HWND hwnd : mine) {
        if (IsWindow(hwnd)) DestroyWindow(hwnd);
    }
}

}  // namespace winsim::ui

namespace winsim::ui {

HWND CreateWindowAsGiven(DWORD dwExStyle, LPCSTR lpClassName, LPCSTR lpWindowName, DWORD dwStyle, int X, int Y,
                         int nWidth, int nHeight, HWND hWndParent, HMENU hMenu, HINSTANCE hInstance, LPVOID lpParam)
{
    HWND hwnd = nullptr;
    const bool child = (dwStyle & WS_CHILD) != 0;
    {
        std::lock_guard<std::mutex> guard(Ui().lock);
        std::shared_ptr<WindowClass> cls = FindClassLocked(lpClassName);
        if (!cls) {
            SetLastError(ERROR_CANNOT_FIND_WND_CLASS);
            return nullptr;
        }
        Window* parent = hWndParent != nullptr ? FindLocked(hWndParent) : nullptr;
        if ((hWndParent != nullptr && (parent == nullptr || parent->destroying)) || (child && parent == nullptr)) {
            SetLastError(child && hWndParent == nullptr ? ERROR_TLW_WITH_WSCHILD : ERROR_INVALID_WINDOW_HANDLE);
            return nullptr;
        }
        auto window = std::make_shared<Window>();
        hwnd = reinterpret_cast<HWND>(Ui().nextHandle);
        Ui().nextHandle += 2;
        window->handle = hwnd;
        window->cls = cls;
        window->queue = CurrentQueueLocked();
        window->program = &CurrentProgram();
        window->proc = cls->proc;
        window->style = dwStyle & ~WS_VISIBLE;
        window->exStyle = dwExStyle;
        window->instance = hInstance;
        window->extra.assign(static_cast<size_t>(cls->wndExtra), 0);
        if (X == CW_USEDEFAULT) X = child ? 0 : kDefaultX, Y = child ? 0 : kDefaultY;
        if (nWidth == CW_USEDEFAULT) nWidth = child ? 0 : kDefaultWidth, nHeight = child ? 0 : kDefaultHeight;
        window->rect = RECT{X, Y, X + nWidth, Y + nHeight};
        if (child) {
            window->parent = hWndParent;
            window->id = reinterpret_cast<LONG_PTR>(hMenu);
            parent->children.push_back(hwnd);
        } else {
            window->owner = hWndParent != nullptr ? TopLevelOf(hWndParent) : nullptr;
            window->menu = hMenu;
            Ui().topLevel.insert(Ui().topLevel.begin(), hwnd);
        }
        window->program->windows++;
        Ui().windows.emplace(hwnd, std::move(window));
    }

    if (!child && hMenu == nullptr) hMenu = LoadClassMenu(hwnd, hInstance);
    CREATESTRUCTA cs{lpParam, hInstance, hMenu, hWndParent, nHeight, nWidth, Y, X, static_cast<LONG>(dwStyle),
                     lpWindowName, lpClassName, dwExStyle};
    if (!SendMessageA(hwnd, WM_NCCREATE, 0, reinterpret_cast<LPARAM>(&cs))) {
        SendMessageA(hwnd, WM_NCDESTROY, 0, 0);
        Unlink(hwnd);
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    if (SendMessageA(hwnd, WM_CREATE, 0, reinterpret_cast<LPARAM>(&cs)) == -1) {
        DestroyWindow(hwnd);
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    if (!IsWindow(hwnd)) return nullptr;
    RECT client{};
    GetClientRect(hwnd, &client);  // WM_SIZE tells the client area's size, not the window's
    SendMessageA(hwnd, WM_SIZE, SIZE_RESTORED, MAKELPARAM(client.right, client.bottom));
    SendMessageA(hwnd, WM_MOVE, 0, MAKELPARAM(X, Y));
    if (child && !(dwExStyle & WS_EX_NOPARENTNOTIFY)) {
        SendMessageA(hWndParent, WM_PARENTNOTIFY, MAKEWPARAM(WM_CREATE, reinterpret_cast<ULONG_PTR>(hMenu)),
                     reinterpret_cast<LPARAM>(hwnd));
    }
    if ((dwStyle & WS_VISIBLE) && IsWindow(hwnd)) ShowWindow(hwnd, SW_SHOW);
    return IsWindow(hwnd) ? hwnd : nullptr;
}

}  // namespace winsim::ui

extern "C" {

HWND WINAPI CreateWindowExA(DWORD dwExStyle, LPCSTR lpClassName, LPCSTR lpWindowName, DWORD dwStyle, int X, int Y,
                            int nWidth, int nHeight, HWND hWndParent, HMENU hMenu, HINSTANCE hInstance,
                            LPVOID lpParam)
{
    if (dwExStyle & WS_EX_MDICHILD) {
        return CreateMdiChild(dwExStyle, lpClassName, lpWindowName, dwStyle, X, Y, nWidth, nHeight, hWndParent,
                              hInstance, lpParam);
    }
    return CreateWindowAsGiven(dwExStyle, lpClassName, lpWindowName, dwStyle, X, Y, nWidth, nHeight, hWndParent,
                               hMenu, hInstance, lpParam);
}

BOOL WINAPI DestroyWindow(HWND hWnd)
{
    std::vector<HWND> owned;
    HWND parent = nullptr;
    LONG_PTR id = 0;
    bool notifyParent = false;
    {
        std::lock_guard<std::mutex> guard(Ui().lock);
        Window* window = FindLocked(hWnd);
        if (window == nullptr) {
            SetLastError(ERROR_INVALID_WINDOW_HANDLE);
            return FALSE;
        }
        if (window->queue != CurrentQueueLocked()) {
            SetLastError(ERROR_ACCESS_DENIED);
            return FALSE;
        }
        if (window->destroying) return TRUE;
        for (HWND top : Ui().topLevel) {
            Window* other = FindLocked(top);
            if (other != nullptr && other->owner == hWnd && !other->destroying) owned.push_back(top);
        }
        window->destroying = true;
        std::vector<HWND> descendants;
        CollectDescendantsLocked(hWnd, &descendants);
        for (HWND d : descendants) FindLocked(d)->destroying = true;
        if (!IsTopLevel(*window)) {
            parent = window->parent;
            id = window->id;
            notifyParent = !(window->exStyle & WS_EX_NOPARENTNOTIFY);
        }
    }
    for (HWND w : owned) DestroyWindow(w);
    if (notifyParent) {
        SendMessageA(parent, WM_PARENTNOTIFY, MAKEWPARAM(WM_DESTROY, id), reinterpret_cast<LPARAM>(hWnd));
    }
    LeaveFocusAndActivation(hWnd);
    SendDestroyDownwards(hWnd);
    SendNcDestroyUpwards(hWnd);
    return TRUE;
}

BOOL WINAPI IsWindow(HWND hWnd)
{
    return WithWindow(hWnd, [](Window&) {}) ? TRUE : FALSE;
}

}  // extern "C"
