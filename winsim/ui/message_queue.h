// A thread's message queue: messages sent to it from other threads, posted
// messages, the quit flag, its timers, and the thread's focus and active
// window. Everything in it is guarded by the window system's lock; `wake`
// is signalled whenever something arrives, so a thread waits for messages
// through the scheduler like every other wait of the simulation.
#pragma once

#include <windows.h>

#include <km_ke.h>

#include <deque>
#include <memory>
#include <vector>

#include "sched/scheduler.h"

namespace winsim::ui {

struct ThreadQueue;

struct SentMessage {
    HWND hwnd;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    LRESULT result = 0;
    bool done = false;
    std::shared_ptr<ThreadQueue> sender;
};

struct Timer {
    HWND hwnd;
    UINT_PTR id;
    Ticks period;
    Ticks due;
    TIMERPROC proc;
};

struct ThreadQueue {
    ThreadQueue();
    DWORD threadId;
    KEVENT wake;
    bool alive = true;
    std::deque<std::shared_ptr<SentMessage>> sent;
    std::deque<MSG> posted;
    bool quitPosted = false;
    int quitCode = 0;
    std::vector<Timer> timers;
    HWND focus = nullptr;
    HWND active = nullptr;
    HWND capture = nullptr;  // SetCapture's window
    int inSend = 0;  // depth of sent messages being processed
    // Set while the thread waits in GetMessage or WaitMessage, with the
    // filter it waits with: what it would take ends the wait.
    bool waitingForMessage = false;
    HWND waitFilter = nullptr;
    UINT waitLow = 0;
    UINT waitHigh = 0;
    LONG messageTime = 0;
    // Which keys are down, as of the key messages the thread has taken from
    // its queue (GetKeyState), and which of the lock keys (Caps, Num,
    // Scroll) are on: a press that finds one up flips it.
    bool keysDown[256] = {};
    bool keysToggled[256] = {};
};

// The calling thread's queue, made on first use. Lock not held.
std::shared_ptr<ThreadQueue> CurrentQueue();
// Lock held.
std::shared_ptr<ThreadQueue> CurrentQueueLocked();
void Wake(ThreadQueue& queue);

// Calls the window's procedure on the calling thread and counts the
// delivery for its program. Lock not held; 0 for a window that is gone.
LRESULT Deliver(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

// Milliseconds of the virtual clock, as GetTickCount and message times
// report them.
DWORD TickCountMs();

// Input-idle: the thread waits for a message and nothing it would take is
// pending (no sent message, no posted one its filter takes, no quit). A
// thread that ended takes no more input and counts as idle. Lock held.
bool InputIdleLocked(const ThreadQueue& queue);

// Drops the timers and posted messages of a window being destroyed. Lock held.
void ForgetWindowLocked(ThreadQueue& queue, HWND hwnd);

}  // namespace winsim::ui
