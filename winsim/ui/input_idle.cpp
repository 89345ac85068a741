#include "ui/input_idle.h"

#include "ui/message_queue.h"
#include "ui/window_system.h"

namespace winsim::ui {

InputIdleWatch::InputIdleWatch(HWND window)
{
    std::lock_guard<std::mutex> guard(Ui().lock);
    if (Window* found = FindLocked(window)) queue_ = found->queue;
}

bool InputIdleWatch::Idle() const
{
    std::lock_guard<std::mutex> guard(Ui().lock);
    const std::shared_ptr<ThreadQueue> queue = queue_.lock();
    return !queue || InputIdleLocked(*queue);
}

}  // namespace winsim::ui
