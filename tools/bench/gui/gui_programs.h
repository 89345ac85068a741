// The window programs the bench started on the simulated PC (the test
// program now, the Assistant later): each runs its WinMain on a thread of
// its own, counted as a program of the window system, and the bench knows
// which of its top-level windows the `ui` commands are aimed at.
#pragma once

#include <windows.h>

#include <atomic>
#include <memory>
#include <string>
#include <vector>

#include "sched/scheduler.h"
#include "ui/program.h"

namespace bench {

using WinMainEntry = int(WINAPI*)(HINSTANCE, HINSTANCE, LPSTR, int);

struct GuiProgram {
    std::string name;  // what its reports call it: "testprogram"
    int number = 0;    // counts the starts of that name from 1
    winsim::ui::Program windows;
    winsim::Thread thread;
    std::atomic<bool> exited{false};
    std::atomic<int> exitCode{0};
    bool exitReported = false;
    HWND activated = nullptr;  // chosen by `ui activate`
};

class GuiPrograms {
public:
    GuiPrograms() = default;
    // Ends every program still running (WM_QUIT to its windows) and waits.
    ~GuiPrograms();
    GuiPrograms(const GuiPrograms&) = delete;
    GuiPrograms& operator=(const GuiPrograms&) = delete;

    GuiProgram& Start(const std::string& name, WinMainEntry entry);
    // The program the `ui` commands drive: the last one started that runs.
    GuiProgram* Current();
    std::vector<std::unique_ptr<GuiProgram>>& All() { return programs_; }

private:
    std::vector<std::unique_ptr<GuiProgram>> programs_;
};

// The program's visible top-level windows, topmost first.
std::vector<HWND> VisibleWindowsOf(const GuiProgram& program);
// What the `ui` commands aim at: the window `ui activate` chose while it is
// open, otherwise the topmost enabled window (a modal dialog or message box
// when one is open). Null when the program shows no window.
HWND TargetOf(GuiProgram& program);

}  // namespace bench
