#include "uitest_slow_commands.h"

#include "uitest_ids.h"

namespace {

constexpr DWORD kApplyMs = 2000;
constexpr DWORD kWorkerMs = 1500;
constexpr DWORD kStallMs = 60000;
constexpr DWORD kPollMs = 100;

DWORD WINAPI SetEventLater(LPVOID event)
{
    Sleep(kWorkerMs);
    SetEvent(event);
    return 0;
}

// Waits until `done` is set or `ms` have passed, answering the messages sent
// to the window meanwhile, as a handler keeping its window responsive does.
void WaitAnswering(HANDLE done, DWORD ms)
{
    MSG msg;
    for (DWORD waited = 0; waited < ms; waited += kPollMs) {
        if (WaitForSingleObject(done, kPollMs) != WAIT_TIMEOUT) return;
        PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE);
    }
}

void Show(HWND dialog, const char* text) { SetDlgItemTextA(dialog, IDC_UITEST_DETAILS, text); }

}  // namespace

bool RunSlowCommand(HWND dialog, int id)
{
    switch (id) {
    case IDM_UITEST_SLOW_APPLY:
        Show(dialog, "applying");
        Sleep(kApplyMs);
        Show(dialog, "applied");
        return true;
    case IDM_UITEST_WAIT_WORKER: {
        HANDLE done = CreateEventA(nullptr, TRUE, FALSE, nullptr);
        HANDLE worker = CreateThread(nullptr, 0, SetEventLater, done, 0, nullptr);
        Show(dialog, "waiting for the worker");
        if (worker != nullptr) {
            WaitAnswering(done, INFINITE);
            CloseHandle(worker);
        }
        CloseHandle(done);
        Show(dialog, worker != nullptr ? "worker done" : "no worker");
        return true;
    }
    case IDM_UITEST_STALL: {
        HANDLE never = CreateEventA(nullptr, TRUE, FALSE, nullptr);
        Show(dialog, "stalling");
        WaitAnswering(never, kStallMs);
        CloseHandle(never);
        Show(dialog, "stalled a minute");
        return true;
    }
    default:
        return false;
    }
}
