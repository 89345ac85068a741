#include "gui/gui_programs.h"

namespace bench {

namespace {

void RunProgram(GuiProgram* program, WinMainEntry entry)
{
    winsim::ui::BindThreadToProgram(&program->windows);
    char commandLine[] = "";
    const int code = entry(nullptr, nullptr, commandLine, SW_SHOWNORMAL);
    // What the program left open goes with its thread, as on Windows.
    winsim::ui::DestroyThreadWindows();
    winsim::ui::UnregisterProgramClasses(program->windows);
    program->exitCode = code;
    program->exited = true;
}

}  // namespace

GuiPrograms::~GuiPrograms()
{
    for (auto& program : programs_) {
        if (!program->exited) {
            for (HWND hwnd : VisibleWindowsOf(*program)) PostMessageA(hwnd, WM_QUIT, 0, 0);
        }
        if (program->thread.Joinable()) program->thread.Join();
    }
}

GuiProgram& GuiPrograms::Start(const std::string& name, WinMainEntry entry)
{
    auto program = std::make_unique<GuiProgram>();
    program->name = name;
    for (auto& other : programs_) {
        if (other->name == name) program->number = std::max(program->number, other->number);
    }
    program->number++;
    program->windows.name = name;
    GuiProgram* started = program.get();
    programs_.push_back(std::move(program));
    started->thread = winsim::Scheduler::Instance().Spawn(name, [started, entry] { RunProgram(started, entry); });
    return *started;
}

GuiProgram* GuiPrograms::Current()
{
    for (auto it = programs_.rbegin(); it != programs_.rend(); ++it) {
        if (!(*it)->exited) return it->get();
    }
    return nullptr;
}

std::vector<HWND> VisibleWindowsOf(const GuiProgram& program)
{
    struct Search {
        DWORD process;
        std::vector<HWND> found;
    } search{program.windows.id, {}};
    EnumWindows(
        [](HWND hwnd, LPARAM lParam) -> BOOL {
            auto* s = reinterpret_cast<Search*>(lParam);
            DWORD process = 0;
            GetWindowThreadProcessId(hwnd, &process);
            if (process == s->process && IsWindowVisible(hwnd)) s->found.push_back(hwnd);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

HWND TargetOf(GuiProgram& program)
{
    std::vector<HWND> windows = VisibleWindowsOf(program);
    for (HWND hwnd : windows) {
        if (hwnd == program.activated) return hwnd;
    }
    program.activated = nullptr;
    for (HWND hwnd : windows) {
        if (IsWindowEnabled(hwnd)) return hwnd;
    }
    return windows.empty() ? nullptr : windows.front();
}

}  // namespace bench
