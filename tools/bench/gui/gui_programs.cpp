#include "gui/gui_programs.h"

#include "sched/scheduler.h"
#include "ui/input_idle.h"
#include "ui/resources/module_resources.h"

namespace bench {

void GuiPrograms::EndAll()
{
    for (auto& program : programs_) {
        if (program->exited) continue;
        for (HWND hwnd : VisibleWindowsOf(*program)) PostMessageA(hwnd, WM_QUIT, 0, 0);
        program->process->WaitForEnd();
        // Its end report runs on its thread after the process ended and
        // writes to the program: the program is forgotten only after it.
        while (!program->exited) winsim::Scheduler::Instance().Sleep(winsim::kTicksPerMillisecond);
    }
    // A program's end report may still be on its way: it is kept until then.
    std::erase_if(programs_, [](const std::unique_ptr<GuiProgram>& program) { return program->exited.load(); });
}

GuiProgram& GuiPrograms::Start(const std::string& name, winsim::um::ProgramEntry entry, const std::string& imagePath,
                               std::span<const unsigned char> resources)
{
    auto program = std::make_unique<GuiProgram>();
    program->name = name;
    for (auto& other : programs_) {
        if (other->name == name) program->number = std::max(program->number, other->number);
    }
    program->number++;
    HMODULE module = winsim::um::RegisterProgram(name, entry, imagePath);
    winsim::ui::resources::RegisterModuleResources(module, resources);
    GuiProgram* started = program.get();
    programs_.push_back(std::move(program));
    started->process = winsim::um::StartProgram(name, "", [started](winsim::um::Process& process) {
        // What the program left open goes with its thread, as on Windows.
        winsim::ui::DestroyThreadWindows();
        winsim::ui::UnregisterProgramClasses(winsim::ui::ProgramOfProcess(process.Id()));
        winsim::ui::ReleaseProgramIcons(winsim::ui::ProgramOfProcess(process.Id()));
        winsim::ui::ReleaseProgramMenus(winsim::ui::ProgramOfProcess(process.Id()));
        started->exited = true;
    });
    started->windows = &winsim::ui::ProgramOfProcess(started->process->Id());
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
    } search{program.process->Id(), {}};
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

bool WaitsForInput(const GuiProgram& program)
{
    if (program.exited) return true;
    for (HWND hwnd : VisibleWindowsOf(program)) {
        if (winsim::ui::InputIdleWatch(hwnd).Idle()) return true;
    }
    return false;
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
