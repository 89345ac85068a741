// Window timers. A timer only makes its queue produce WM_TIMER when the
// thread looks for a message and nothing else is waiting, so a busy thread
// sees one WM_TIMER for any number of missed periods.
#include <algorithm>

#include "ui/message_queue.h"
#include "ui/window_system.h"

using namespace winsim;
using namespace winsim::ui;

extern "C" {

UINT_PTR WINAPI SetTimer(HWND hWnd, UINT_PTR nIDEvent, UINT uElapse, TIMERPROC lpTimerFunc)
{
    std::lock_guard<std::mutex> guard(Ui().lock);
    std::shared_ptr<ThreadQueue> queue = CurrentQueueLocked();
    if (hWnd != nullptr) {
        Window* window = FindLocked(hWnd);
        if (window == nullptr || window->destroying) {
            SetLastError(ERROR_INVALID_WINDOW_HANDLE);
            return 0;
        }
        if (window->queue != queue) {
            SetLastError(ERROR_ACCESS_DENIED);
            return 0;
        }
    }
    const Ticks period = std::max<UINT>(uElapse, USER_TIMER_MINIMUM) * kTicksPerMillisecond;
    const Ticks due = Scheduler::Instance().Now() + period;
    if (hWnd == nullptr) {
        // A thread timer gets an id of its own that no other timer uses.
        UINT_PTR id = 1;
        while (std::any_of(queue->timers.begin(), queue->timers.end(),
                           [id](const Timer& t) { return t.hwnd == nullptr && t.id == id; })) {
            ++id;
        }
        nIDEvent = id;
    }
    for (Timer& timer : queue->timers) {
        if (timer.hwnd == hWnd && timer.id == nIDEvent) {
            timer.period = period;
            timer.due = due;
            timer.proc = lpTimerFunc;
            Wake(*queue);
            return nIDEvent == 0 ? 1 : nIDEvent;
        }
    }
    queue->timers.push_back(Timer{hWnd, nIDEvent, period, due, lpTimerFunc});
    // A waiting thread recomputes how long it may sleep.
    Wake(*queue);
    return nIDEvent == 0 ? 1 : nIDEvent;
}

BOOL WINAPI KillTimer(HWND hWnd, UINT_PTR uIDEvent)
{
    std::lock_guard<std::mutex> guard(Ui().lock);
    std::shared_ptr<ThreadQueue> queue = CurrentQueueLocked();
    auto removed = std::erase_if(
        queue->timers, [&](const Timer& timer) { return timer.hwnd == hWnd && timer.id == uIDEvent; });
    // A WM_TIMER already posted for it is not delivered after KillTimer.
    std::erase_if(queue->posted, [&](const MSG& msg) {
        return msg.message == WM_TIMER && msg.hwnd == hWnd && msg.wParam == uIDEvent;
    });
    if (removed == 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    return TRUE;
}

}  // extern "C"
