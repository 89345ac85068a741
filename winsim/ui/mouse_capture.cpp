// The mouse capture: a window of the calling thread that gets the mouse's
// messages wherever the pointer is, until released. The window losing it
// hears WM_CAPTURECHANGED with the new holder.
#include <windows.h>

#include "ui/message_queue.h"
#include "ui/window_system.h"

using namespace winsim::ui;

namespace {

// Moves the capture of the calling thread to hwnd (null: released); the
// window that held it before.
HWND MoveCapture(HWND hwnd)
{
    HWND previous = nullptr;
    {
        std::lock_guard<std::mutex> guard(Ui().lock);
        ThreadQueue& queue = *CurrentQueueLocked();
        previous = queue.capture;
        queue.capture = hwnd;
    }
    if (previous != nullptr && previous != hwnd) {
        SendMessageA(previous, WM_CAPTURECHANGED, 0, reinterpret_cast<LPARAM>(hwnd));
    }
    return previous;
}

}  // namespace

extern "C" {

HWND WINAPI SetCapture(HWND hWnd)
{
    {
        std::lock_guard<std::mutex> guard(Ui().lock);
        Window* window = FindLocked(hWnd);
        if (window == nullptr || window->queue != CurrentQueueLocked()) {
            SetLastError(ERROR_INVALID_WINDOW_HANDLE);
            return nullptr;
        }
    }
    return MoveCapture(hWnd);
}

BOOL WINAPI ReleaseCapture(void)
{
    MoveCapture(nullptr);
    return TRUE;
}

HWND WINAPI GetCapture(void)
{
    std::lock_guard<std::mutex> guard(Ui().lock);
    return CurrentQueueLocked()->capture;
}

}  // extern "C"
