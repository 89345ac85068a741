// Focus, activation and the foreground window. Focus and activation belong
// to the thread; the foreground window is the machine's.
#include "ui/activation.h"

#include "ui/dialogs/dialog_state.h"
#include "ui/message_queue.h"
#include "ui/ui_events.h"
#include "ui/window_system.h"

using namespace winsim::ui;

namespace {

// The dialog that encloses a window remembers its last focused control, so
// that focus comes back to it when the dialog is activated again. Lock held.
void RememberFocusLocked(HWND hwnd)
{
    Window* window = FindLocked(hwnd);
    while (window != nullptr && !IsTopLevel(*window)) {
        Window* parent = FindLocked(window->parent);
        if (parent != nullptr && parent->dialog) {
            parent->dialog->lastFocus = hwnd;
            return;
        }
        window = parent;
    }
}

// Another top-level window of the same thread to activate: the owner when it
// can take it, otherwise the topmost visible and enabled one. Lock held.
HWND SuccessorLocked(HWND leaving, const ThreadQueue& queue)
{
    Window* window = FindLocked(leaving);
    if (window != nullptr) {
        Window* owner = FindLocked(window->owner);
        if (owner != nullptr && !owner->destroying && (owner->style & WS_VISIBLE) && !(owner->style & WS_DISABLED)) {
            return owner->handle;
        }
    }
    for (HWND top : Ui().topLevel) {
        Window* other = FindLocked(top);
        if (top == leaving || other == nullptr || other->destroying || other->queue.get() != &queue) continue;
        if ((other->style & WS_VISIBLE) && !(other->style & WS_DISABLED)) return top;
    }
    return nullptr;
}

HWND Activate(HWND hwnd)
{
    HWND old = nullptr;
    {
        std::lock_guard<std::mutex> guard(Ui().lock);
        auto queue = CurrentQueueLocked();
        old = queue->active;
        if (old == hwnd) return old;
        queue->active = hwnd;
        if (hwnd != nullptr) {
            Ui().foreground = hwnd;
            BringToFrontLocked(hwnd);
        } else if (Ui().foreground == old) {
            Ui().foreground = nullptr;
        }
    }
    if (old != nullptr && IsWindow(old)) {
        SendMessageA(old, WM_NCACTIVATE, FALSE, 0);
        SendMessageA(old, WM_ACTIVATE, MAKEWPARAM(WA_INACTIVE, 0), reinterpret_cast<LPARAM>(hwnd));
        // An inactive window keeps no focus.
        HWND focus = GetFocus();
        bool inOld = false;
        WithWindow(old, [&](Window&) { inOld = focus == old || IsDescendantLocked(old, focus); });
        if (focus != nullptr && inOld) SetFocus(nullptr);
    }
    if (hwnd != nullptr && IsWindow(hwnd)) {
        SendMessageA(hwnd, WM_NCACTIVATE, TRUE, 0);
        SendMessageA(hwnd, WM_ACTIVATE, MAKEWPARAM(WA_ACTIVE, 0), reinterpret_cast<LPARAM>(old));
    }
    return old;
}

}  // namespace

namespace winsim::ui {

void LeaveFocusAndActivation(HWND hwnd)
{
    HWND focus = nullptr;
    HWND successor = nullptr;
    bool wasActive = false;
    bool focusInside = false;
    {
        std::lock_guard<std::mutex> guard(Ui().lock);
        Window* window = FindLocked(hwnd);
        if (window == nullptr) return;
        ThreadQueue& queue = *window->queue;
        if (&queue != CurrentQueueLocked().get()) return;
        focus = queue.focus;
        focusInside = focus != nullptr && (focus == hwnd || IsDescendantLocked(hwnd, focus));
        wasActive = queue.active == hwnd;
        if (wasActive) successor = SuccessorLocked(hwnd, queue);
    }
    if (focusInside) SetFocus(nullptr);
    if (wasActive) Activate(successor);
}

}  // namespace winsim::ui

extern "C" {

HWND WINAPI GetFocus(void) { return CurrentQueue()->focus; }

HWND WINAPI GetActiveWindow(void) { return CurrentQueue()->active; }

HWND WINAPI GetForegroundWindow(void)
{
    std::lock_guard<std::mutex> guard(Ui().lock);
    return Ui().foreground;
}

HWND WINAPI SetFocus(HWND hWnd)
{
    HWND top = nullptr;
    bool activate = false;
    {
        std::lock_guard<std::mutex> guard(Ui().lock);
        auto queue = CurrentQueueLocked();
        if (hWnd != nullptr) {
            Window* window = FindLocked(hWnd);
            if (window == nullptr || window->destroying) {
                SetLastError(ERROR_INVALID_WINDOW_HANDLE);
                return nullptr;
            }
            if (window->queue != queue) {
                SetLastError(ERROR_ACCESS_DENIED);
                return nullptr;
            }
            if (window->style & WS_DISABLED) return nullptr;
            top = TopLevelOf(hWnd);
            Window* topWindow = FindLocked(top);
            activate = top != queue->active && topWindow != nullptr && (topWindow->style & WS_VISIBLE) &&
                       !(topWindow->style & WS_DISABLED);
        }
    }
    if (activate) Activate(top);
    HWND old = nullptr;
    {
        std::lock_guard<std::mutex> guard(Ui().lock);
        auto queue = CurrentQueueLocked();
        old = queue->focus;
        if (old == hWnd) return old;
        if (hWnd != nullptr && FindLocked(hWnd) == nullptr) return nullptr;
        queue->focus = hWnd;
        if (hWnd != nullptr) RememberFocusLocked(hWnd);
    }
    if (old != nullptr && IsWindow(old)) SendMessageA(old, WM_KILLFOCUS, reinterpret_cast<WPARAM>(hWnd), 0);
    if (hWnd != nullptr && GetFocus() == hWnd) SendMessageA(hWnd, WM_SETFOCUS, reinterpret_cast<WPARAM>(old), 0);
    return old;
}

HWND WINAPI SetActiveWindow(HWND hWnd)
{
    if (hWnd != nullptr) {
        std::lock_guard<std::mutex> guard(Ui().lock);
        Window* window = FindLocked(hWnd);
        if (window == nullptr || window->destroying || !IsTopLevel(*window)) {
            SetLastError(ERROR_INVALID_WINDOW_HANDLE);
            return nullptr;
        }
        if (window->queue != CurrentQueueLocked()) {
            SetLastError(ERROR_ACCESS_DENIED);
            return nullptr;
        }
    }
    return Activate(hWnd);
}

BOOL WINAPI SetForegroundWindow(HWND hWnd)
{
    std::shared_ptr<ThreadQueue> owner;
    HWND top = nullptr;
    {
        std::lock_guard<std::mutex> guard(Ui().lock);
        top = TopLevelOf(hWnd);
        Window* window = FindLocked(top);
        if (window == nullptr) return FALSE;
        owner = window->queue;
        if (owner != CurrentQueueLocked()) {
            // Another thread's window comes to the front; its thread
            // activates it when it next runs, as Windows defers it.
            Ui().foreground = top;
            BringToFrontLocked(top);
            return TRUE;
        }
    }
    Activate(top);
    return TRUE;
}

// A child comes to the top of its siblings, and its top-level window to
// the top of the desktop.
BOOL WINAPI BringWindowToTop(HWND hWnd)
{
    std::lock_guard<std::mutex> guard(Ui().lock);
    HWND top = TopLevelOf(hWnd);
    if (top == nullptr) return FALSE;
    if (Window* window = FindLocked(hWnd); window != nullptr && top != hWnd) {
        PlaceInZOrderLocked(*window, hWnd, HWND_TOP);
    }
    BringToFrontLocked(top);
    return TRUE;
}

BOOL WINAPI GetGUIThreadInfo(DWORD idThread, PGUITHREADINFO pgui)
{
    if (pgui == nullptr || pgui->cbSize != sizeof(GUITHREADINFO)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    std::lock_guard<std::mutex> guard(Ui().lock);
    for (auto& [hwnd, window] : Ui().windows) {
        if (window->queue->threadId != idThread) continue;
        pgui->flags = 0;
        pgui->hwndActive = window->queue->active;
        pgui->hwndFocus = window->queue->focus;
        pgui->hwndCapture = window->queue->capture;
        pgui->hwndMenuOwner = nullptr;
        pgui->hwndMoveSize = nullptr;
        pgui->hwndCaret = nullptr;
        pgui->rcCaret = RECT{};
        return TRUE;
    }
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
}

BOOL WINAPI ShowWindow(HWND hWnd, int nCmdShow)
{
    bool wasVisible = false;
    bool topLevel = false;
    bool enabled = false;
    {
        std::lock_guard<std::mutex> guard(Ui().lock);
        Window* window = FindLocked(hWnd);
        if (window == nullptr) {
            SetLastError(ERROR_INVALID_WINDOW_HANDLE);
            return FALSE;
        }
        wasVisible = (window->style & WS_VISIBLE) != 0;
        topLevel = IsTopLevel(*window);
        enabled = !(window->style & WS_DISABLED);
    }
    if (nCmdShow == SW_HIDE) {
        if (!wasVisible) return FALSE;
        SendMessageA(hWnd, WM_SHOWWINDOW, FALSE, 0);
        LeaveFocusAndActivation(hWnd);
        std::lock_guard<std::mutex> guard(Ui().lock);
        if (Window* window = FindLocked(hWnd)) {
            window->style &= ~WS_VISIBLE;
            if (Window* parent = FindLocked(window->parent); parent != nullptr && !topLevel) {
                parent->updatePending = true;
                parent->erasePending = true;
                Wake(*parent->queue);
            }
        }
        return TRUE;
    }
    if (!wasVisible) {
        SendMessageA(hWnd, WM_SHOWWINDOW, TRUE, 0);
        std::lock_guard<std::mutex> guard(Ui().lock);
        Window* window = FindLocked(hWnd);
        if (window == nullptr) return FALSE;
        window->style |= WS_VISIBLE;
        std::vector<HWND> tree{hWnd};
        CollectDescendantsLocked(hWnd, &tree);
        // What comes into view is painted afresh, its background first.
        for (HWND h : tree) {
            FindLocked(h)->updatePending = true;
            FindLocked(h)->erasePending = true;
        }
        Wake(*window->queue);
        if (topLevel) {
            BringToFrontLocked(hWnd);
            // Tips and other tool windows come and go without a report.
            if (!window->reportedOpen && !window->messageBox && !(window->exStyle & WS_EX_TOOLWINDOW)) {
                window->reportedOpen = true;
                ReportEvent(UiEvent{UiEvent::Kind::kWindowOpened, window->program, window->text, "", 0});
            }
        }
    }
    const bool activate = topLevel && enabled && nCmdShow != SW_SHOWNA && nCmdShow != SW_SHOWNOACTIVATE &&
                          nCmdShow != SW_SHOWMINNOACTIVE;
    if (activate) SetActiveWindow(hWnd);
    return wasVisible ? TRUE : FALSE;
}

BOOL WINAPI IsWindowVisible(HWND hWnd)
{
    std::lock_guard<std::mutex> guard(Ui().lock);
    Window* window = FindLocked(hWnd);
    while (window != nullptr) {
        if (!(window->style & WS_VISIBLE)) return FALSE;
        if (IsTopLevel(*window)) return TRUE;
        window = FindLocked(window->parent);
    }
    return FALSE;
}

BOOL WINAPI EnableWindow(HWND hWnd, BOOL bEnable)
{
    bool wasDisabled = false;
    bool focusInside = false;
    {
        std::lock_guard<std::mutex> guard(Ui().lock);
        Window* window = FindLocked(hWnd);
        if (window == nullptr) {
            SetLastError(ERROR_INVALID_WINDOW_HANDLE);
            return FALSE;
        }
        wasDisabled = (window->style & WS_DISABLED) != 0;
        if (wasDisabled == !bEnable) return wasDisabled ? TRUE : FALSE;
        if (bEnable) {
            window->style &= ~WS_DISABLED;
        } else {
            window->style |= WS_DISABLED;
            HWND focus = window->queue->focus;
            focusInside = window->queue == CurrentQueueLocked() && focus != nullptr &&
                          (focus == hWnd || IsDescendantLocked(hWnd, focus));
        }
    }
    // A disabled window cannot keep the keyboard.
    if (focusInside) SetFocus(nullptr);
    SendMessageA(hWnd, WM_ENABLE, bEnable ? TRUE : FALSE, 0);
    return wasDisabled ? TRUE : FALSE;
}

BOOL WINAPI IsWindowEnabled(HWND hWnd)
{
    std::lock_guard<std::mutex> guard(Ui().lock);
    Window* window = FindLocked(hWnd);
    return window != nullptr && !(window->style & WS_DISABLED) ? TRUE : FALSE;
}

}  // extern "C"
