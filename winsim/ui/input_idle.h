// Whether a GUI thread is input-idle, as WaitForInputIdle and UI automation
// tools judge it: blocked in its message wait (GetMessage, WaitMessage, a
// modal loop's GetMessage included) with nothing pending that it would take.
// A thread inside a message handler, waiting for time, an I/O request or
// the reply to a message it sent, is busy.
#pragma once

#include <windows.h>

#include <memory>

namespace winsim::ui {

struct ThreadQueue;

class InputIdleWatch {
public:
    // Watches the thread that owns the window. The thread stays watched when
    // the window goes; a window that is already gone leaves nothing to watch.
    explicit InputIdleWatch(HWND window);
    // A thread that ended, or nothing watched, is idle: it takes no input.
    bool Idle() const;

private:
    std::weak_ptr<ThreadQueue> queue_;
};

}  // namespace winsim::ui
