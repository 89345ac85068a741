// What the window system counts per program (a process of the simulated PC):
// its live windows and GDI objects, so a test can assert that none outlive
// it, and what it did to its windows (`ui stats`). A thread counts for its
// process, unless a test bound it to a program of its own.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>

namespace winsim::ui {

struct Program {
    explicit Program(std::string programName = "");
    std::string name;
    uint32_t id;  // what GetWindowThreadProcessId reports as the process id
    std::atomic<int64_t> windows{0};
    std::atomic<int64_t> gdiObjects{0};
    std::atomic<int64_t> userObjects{0};  // icons and menus
    std::atomic<uint64_t> messages{0};       // deliveries to window procedures
    std::atomic<uint64_t> paints{0};         // WM_PAINT deliveries
    std::atomic<uint64_t> setWindowText{0};  // WM_SETTEXT deliveries
};

// The calling thread's program.
Program& CurrentProgram();
// The counts of a process of the simulated PC, made on first use.
Program& ProgramOfProcess(uint32_t processId);
// Binds the calling thread to a program (null: back to its process's).
void BindThreadToProgram(Program* program);
// Destroys the calling thread's top-level windows, as Windows does when a
// thread ends.
void DestroyThreadWindows();
// A program that ended leaves no window classes behind.
void UnregisterProgramClasses(Program& program);
// Nor the shared icons it loaded.
void ReleaseProgramIcons(Program& program);
// Nor the menus it made and did not destroy.
void ReleaseProgramMenus(Program& program);

}  // namespace winsim::ui
