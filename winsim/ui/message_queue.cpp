// Sent and posted messages, GetMessage and PeekMessage, and the order in
// which a queue hands out what it holds: messages sent from other threads
// first (processed, never returned), then posted messages, then the quit
// request, then WM_PAINT for a window with an update pending, then WM_TIMER
// for a timer that is due.
#include "ui/message_queue.h"

#include <algorithm>
#include <atomic>

#include "ui/window_system.h"

namespace winsim::ui {

namespace {

struct QueueHolder {
    std::shared_ptr<ThreadQueue> queue;
    ~QueueHolder()
    {
        if (!queue) return;
        // A thread that ends answers nothing more: its pending senders get 0.
        std::lock_guard<std::mutex> guard(Ui().lock);
        queue->alive = false;
        for (auto& message : queue->sent) {
            message->done = true;
            Wake(*message->sender);
        }
        queue->sent.clear();
    }
};

thread_local QueueHolder t_queue;

bool InRange(UINT message, UINT low, UINT high)
{
    if (low == 0 && high == 0) return true;
    return message >= low && message <= high;
}

bool HwndMatches(HWND filter, HWND hwnd) { return filter == nullptr || filter == hwnd; }

// Whether GetMessage or PeekMessage with that filter takes the posted message.
bool Takes(const MSG& msg, HWND filter, UINT low, UINT high)
{
    return HwndMatches(filter, msg.hwnd) && InRange(msg.message, low, high);
}

// Processes one message sent from another thread. Lock held on entry and
// exit, released while the window procedure runs.
void ProcessSent(std::unique_lock<std::mutex>& lock, ThreadQueue& queue)
{
    std::shared_ptr<SentMessage> message = queue.sent.front();
    queue.sent.pop_front();
    queue.inSend++;
    lock.unlock();
    LRESULT result = Deliver(message->hwnd, message->message, message->wParam, message->lParam);
    lock.lock();
    queue.inSend--;
    message->result = result;
    message->done = true;
    Wake(*message->sender);
}

void WaitForWake(ThreadQueue& queue, const Ticks* deadline)
{
    PVOID objects[1] = {&queue.wake};
    if (deadline == nullptr) {
        Scheduler::Instance().Wait(1, objects, WaitAny, nullptr);
        return;
    }
    LARGE_INTEGER timeout;
    timeout.QuadPart = -std::max<Ticks>(*deadline - Scheduler::Instance().Now(), 0);
    Scheduler::Instance().Wait(1, objects, WaitAny, &timeout);
}

MSG MakeMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    MSG msg{};
    msg.hwnd = hwnd;
    msg.message = message;
    msg.wParam = wParam;
    msg.lParam = lParam;
    msg.time = TickCountMs();
    return msg;
}

void TrackKey(ThreadQueue& queue, const MSG& msg)
{
    const bool down = msg.message == WM_KEYDOWN || msg.message == WM_SYSKEYDOWN;
    const bool up = msg.message == WM_KEYUP || msg.message == WM_SYSKEYUP;
    if ((!down && !up) || msg.wParam >= 256) return;
    const bool lockKey = msg.wParam == VK_CAPITAL || msg.wParam == VK_NUMLOCK || msg.wParam == VK_SCROLL;
    if (lockKey && down && !queue.keysDown[msg.wParam]) queue.keysToggled[msg.wParam] = !queue.keysToggled[msg.wParam];
    queue.keysDown[msg.wParam] = down;
}

// Looks for a message without waiting. Lock held.
bool FindMessage(std::unique_lock<std::mutex>& lock, ThreadQueue& queue, MSG* out, HWND filter, UINT low,
                 UINT high, bool remove)
{
    while (!queue.sent.empty()) ProcessSent(lock, queue);

    for (auto it = queue.posted.begin(); it != queue.posted.end(); ++it) {
        if (!Takes(*it, filter, low, high)) continue;
        *out = *it;
        if (remove) {
            TrackKey(queue, *out);
            queue.posted.erase(it);
        }
        return true;
    }
    if (queue.quitPosted && InRange(WM_QUIT, low, high)) {
        *out = MakeMessage(nullptr, WM_QUIT, static_cast<WPARAM>(queue.quitCode), 0);
        if (remove) queue.quitPosted = false;
        return true;
    }
    if (InRange(WM_PAINT, low, high)) {
        for (auto& [hwnd, window] : Ui().windows) {
            if (window->queue.get() != &queue || !window->updatePending || window->destroying) continue;
            if (!HwndMatches(filter, hwnd) || !(window->style & WS_VISIBLE)) continue;
            *out = MakeMessage(hwnd, WM_PAINT, 0, 0);
            return true;
        }
    }
    if (InRange(WM_TIMER, low, high)) {
        const Ticks now = Scheduler::Instance().Now();
        Timer* earliest = nullptr;
        for (Timer& timer : queue.timers) {
            if (timer.due > now || !HwndMatches(filter, timer.hwnd)) continue;
            if (earliest == nullptr || timer.due < earliest->due) earliest = &timer;
        }
        if (earliest != nullptr) {
            *out = MakeMessage(earliest->hwnd, WM_TIMER, earliest->id, reinterpret_cast<LPARAM>(earliest->proc));
            // Expirations missed while the thread was busy make one message.
            if (remove) earliest->due = now + earliest->period;
            return true;
        }
    }
    return false;
}

// Sleeps until something arrives or the earliest timer is due. Lock held
// on entry and exit.
void WaitForMessage(std::unique_lock<std::mutex>& lock, ThreadQueue& queue, HWND filter, UINT low, UINT high)
{
    bool timed = false;
    Ticks deadline = 0;
    for (const Timer& timer : queue.timers) {
        if (!HwndMatches(filter, timer.hwnd)) continue;
        if (!timed || timer.due < deadline) deadline = timer.due;
        timed = true;
    }
    queue.waitingForMessage = true;
    queue.waitFilter = filter;
    queue.waitLow = low;
    queue.waitHigh = high;
    lock.unlock();
    WaitForWake(queue, timed ? &deadline : nullptr);
    lock.lock();
    queue.waitingForMessage = false;
}

}  // namespace

ThreadQueue::ThreadQueue() : threadId(GetCurrentThreadId()) { KeInitializeEvent(&wake, SynchronizationEvent, FALSE); }

std::shared_ptr<ThreadQueue> CurrentQueueLocked()
{
    if (!t_queue.queue) t_queue.queue = std::make_shared<ThreadQueue>();
    return t_queue.queue;
}

std::shared_ptr<ThreadQueue> CurrentQueue()
{
    std::lock_guard<std::mutex> guard(Ui().lock);
    return CurrentQueueLocked();
}

void Wake(ThreadQueue& queue) { KeSetEvent(&queue.wake, 0, FALSE); }

bool InputIdleLocked(const ThreadQueue& queue)
{
    if (!queue.alive) return true;
    if (!queue.waitingForMessage || !queue.sent.empty()) return false;
    if (queue.quitPosted && InRange(WM_QUIT, queue.waitLow, queue.waitHigh)) return false;
    return std::none_of(queue.posted.begin(), queue.posted.end(), [&queue](const MSG& msg) {
        return Takes(msg, queue.waitFilter, queue.waitLow, queue.waitHigh);
    });
}

DWORD TickCountMs() { return static_cast<DWORD>(Scheduler::Instance().Now() / kTicksPerMillisecond); }

void ForgetWindowLocked(ThreadQueue& queue, HWND hwnd)
{
    std::erase_if(queue.timers, [hwnd](const Timer& timer) { return timer.hwnd == hwnd; });
    std::erase_if(queue.posted, [hwnd](const MSG& msg) { return msg.hwnd == hwnd; });
    if (queue.focus == hwnd) queue.focus = nullptr;
    if (queue.active == hwnd) queue.active = nullptr;
    if (queue.capture == hwnd) queue.capture = nullptr;
}

LRESULT Deliver(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    WNDPROC proc = nullptr;
    Program* program = nullptr;
    {
        std::lock_guard<std::mutex> guard(Ui().lock);
        Window* window = FindLocked(hwnd);
        if (window == nullptr) return 0;
        proc = window->proc;
        program = window->program;
    }
    program->messages++;
    if (message == WM_PAINT) program->paints++;
    if (message == WM_SETTEXT) program->setWindowText++;
    return proc(hwnd, message, wParam, lParam);
}

}  // namespace winsim::ui

using namespace winsim;
using namespace winsim::ui;

extern "C" {

LRESULT WINAPI SendMessageA(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam)
{
    std::unique_lock<std::mutex> lock(Ui().lock);
    Window* window = FindLocked(hWnd);
    if (window == nullptr) {
        lock.unlock();
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return 0;
    }
    std::shared_ptr<ThreadQueue> self = CurrentQueueLocked();
    std::shared_ptr<ThreadQueue> target = window->queue;
    if (target == self) {
        lock.unlock();
        return Deliver(hWnd, Msg, wParam, lParam);
    }
    if (!target->alive) return 0;
    auto message = std::make_shared<SentMessage>(SentMessage{hWnd, Msg, wParam, lParam, 0, false, self});
    target->sent.push_back(message);
    Wake(*target);
    // While it waits for the reply the sender answers what is sent to it, so
    // two threads sending to each other never deadlock.
    while (!message->done) {
        if (!self->sent.empty()) {
            ProcessSent(lock, *self);
            continue;
        }
        lock.unlock();
        WaitForWake(*self, nullptr);
        lock.lock();
    }
    return message->result;
}

BOOL WINAPI PostMessageA(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam)
{
    std::lock_guard<std::mutex> guard(Ui().lock);
    std::shared_ptr<ThreadQueue> target;
    if (hWnd == nullptr) {
        target = CurrentQueueLocked();
    } else {
        Window* window = FindLocked(hWnd);
        if (window == nullptr || window->destroying) {
            SetLastError(ERROR_INVALID_WINDOW_HANDLE);
            return FALSE;
        }
        target = window->queue;
    }
    target->posted.push_back(MakeMessage(hWnd, Msg, wParam, lParam));
    Wake(*target);
    return TRUE;
}

void WINAPI PostQuitMessage(int nExitCode)
{
    std::lock_guard<std::mutex> guard(Ui().lock);
    auto queue = CurrentQueueLocked();
    queue->quitPosted = true;
    queue->quitCode = nExitCode;
    Wake(*queue);
}

BOOL WINAPI GetMessageA(LPMSG lpMsg, HWND hWnd, UINT wMsgFilterMin, UINT wMsgFilterMax)
{
    std::unique_lock<std::mutex> lock(Ui().lock);
    std::shared_ptr<ThreadQueue> queue = CurrentQueueLocked();
    for (;;) {
        if (FindMessage(lock, *queue, lpMsg, hWnd, wMsgFilterMin, wMsgFilterMax, true)) {
            queue->messageTime = static_cast<LONG>(lpMsg->time);
            return lpMsg->message == WM_QUIT ? FALSE : TRUE;
        }
        WaitForMessage(lock, *queue, hWnd, wMsgFilterMin, wMsgFilterMax);
    }
}

BOOL WINAPI PeekMessageA(LPMSG lpMsg, HWND hWnd, UINT wMsgFilterMin, UINT wMsgFilterMax, UINT wRemoveMsg)
{
    std::unique_lock<std::mutex> lock(Ui().lock);
    std::shared_ptr<ThreadQueue> queue = CurrentQueueLocked();
    if (!FindMessage(lock, *queue, lpMsg, hWnd, wMsgFilterMin, wMsgFilterMax, (wRemoveMsg & PM_REMOVE) != 0)) {
        return FALSE;
    }
    queue->messageTime = static_cast<LONG>(lpMsg->time);
    return TRUE;
}

BOOL WINAPI WaitMessage(void)
{
    std::unique_lock<std::mutex> lock(Ui().lock);
    std::shared_ptr<ThreadQueue> queue = CurrentQueueLocked();
    MSG msg;
    while (!FindMessage(lock, *queue, &msg, nullptr, 0, 0, false)) WaitForMessage(lock, *queue, nullptr, 0, 0);
    return TRUE;
}

DWORD WINAPI GetQueueStatus(UINT flags)
{
    std::lock_guard<std::mutex> guard(Ui().lock);
    std::shared_ptr<ThreadQueue> queue = CurrentQueueLocked();
    DWORD status = 0;
    if (!queue->posted.empty()) status |= QS_POSTMESSAGE;
    if (!queue->sent.empty()) status |= QS_SENDMESSAGE;
    const Ticks now = Scheduler::Instance().Now();
    for (const Timer& timer : queue->timers) {
        if (timer.due <= now) status |= QS_TIMER;
    }
    for (auto& [hwnd, window] : Ui().windows) {
        if (window->queue == queue && window->updatePending && (window->style & WS_VISIBLE)) status |= QS_PAINT;
    }
    status &= flags;
    return (status << 16) | status;
}

LONG WINAPI GetMessageTime(void) { return CurrentQueue()->messageTime; }

SHORT WINAPI GetKeyState(int nVirtKey)
{
    if (nVirtKey < 0 || nVirtKey >= 256) return 0;
    std::lock_guard<std::mutex> guard(Ui().lock);
    const ThreadQueue& queue = *CurrentQueueLocked();
    return static_cast<SHORT>((queue.keysDown[nVirtKey] ? 0x8000 : 0) | (queue.keysToggled[nVirtKey] ? 1 : 0));
}

BOOL WINAPI InSendMessage(void) { return CurrentQueue()->inSend > 0 ? TRUE : FALSE; }

LRESULT WINAPI DispatchMessageA(const MSG* lpMsg)
{
    if (lpMsg->message == WM_TIMER && lpMsg->lParam != 0) {
        auto proc = reinterpret_cast<TIMERPROC>(lpMsg->lParam);
        proc(lpMsg->hwnd, WM_TIMER, lpMsg->wParam, TickCountMs());
        return 0;
    }
    if (lpMsg->hwnd == nullptr) return 0;
    return Deliver(lpMsg->hwnd, lpMsg->message, lpMsg->wParam, lpMsg->lParam);
}

BOOL WINAPI TranslateMessage(const MSG* lpMsg)
{
    if (lpMsg->message != WM_KEYDOWN) return FALSE;
    const WPARAM key = lpMsg->wParam;
    char ch = 0;
    if (key >= 'A' && key <= 'Z') {
        ch = static_cast<char>(key - 'A' + 'a');
    } else if ((key >= '0' && key <= '9') || key == VK_SPACE) {
        ch = static_cast<char>(key);
    } else if (key == VK_RETURN || key == VK_ESCAPE || key == VK_TAB || key == VK_BACK) {
        ch = static_cast<char>(key == VK_RETURN ? '\r' : key);
    }
    if (ch == 0) return FALSE;
    std::lock_guard<std::mutex> guard(Ui().lock);
    auto queue = CurrentQueueLocked();
    // The character comes next, ahead of anything posted after the key.
    queue->posted.push_front(MakeMessage(lpMsg->hwnd, WM_CHAR, static_cast<WPARAM>(ch), lpMsg->lParam));
    return TRUE;
}

LRESULT WINAPI CallWindowProcA(WNDPROC lpPrevWndFunc, HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam)
{
    if (lpPrevWndFunc == nullptr) return 0;
    return lpPrevWndFunc(hWnd, Msg, wParam, lParam);
}

}  // extern "C"
