// The window programs the bench started on the simulated PC (the test
// program now, the Assistant later): each a process of the machine whose
// WinMain runs on a thread of its own, whose windows the window system
// counts, and of whose top-level windows one is the target of `ui`.
#pragma once

#include <windows.h>

#include <atomic>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "ui/program.h"
#include "um/programs.h"

namespace bench {

struct GuiProgram {
    std::string name;  // what its reports call it: "testprogram"
    int number = 0;    // counts the starts of that name from 1
    std::shared_ptr<winsim::um::Process> process;
    winsim::ui::Program* windows = nullptr;
    std::atomic<bool> exited{false};
    bool exitReported = false;
    HWND activated = nullptr;  // chosen by `ui activate`
};

class GuiPrograms {
public:
    GuiPrograms() = default;
    ~GuiPrograms() { EndAll(); }
    GuiPrograms(const GuiPrograms&) = delete;
    GuiPrograms& operator=(const GuiPrograms&) = delete;

    // Registers the program's image (and its resources) the first time,
    // then starts it as a new process.
    GuiProgram& Start(const std::string& name, winsim::um::ProgramEntry entry, const std::string& imagePath,
                      std::span<const unsigned char> resources);
    // The program the `ui` commands drive: the last one started that runs.
    GuiProgram* Current();
    std::vector<std::unique_ptr<GuiProgram>>& All() { return programs_; }
    // Ends every program still running (WM_QUIT to its windows), waits, and
    // forgets those whose end was reported: a start of a name counts from 1
    // again once all of that name are forgotten.
    void EndAll();

private:
    std::vector<std::unique_ptr<GuiProgram>> programs_;
};

// The program's visible top-level windows, topmost first.
std::vector<HWND> VisibleWindowsOf(const GuiProgram& program);
// Whether the program waits for its user: the thread of one of its shown
// windows is input-idle (as WaitForInputIdle judges a process), or it ended.
bool WaitsForInput(const GuiProgram& program);
// What the `ui` commands aim at: the window `ui activate` chose while it is
// open, otherwise the topmost enabled window (a modal dialog or message box
// when one is open). Null when the program shows no window.
HWND TargetOf(GuiProgram& program);

}  // namespace bench
