#include "um/programs.h"

#include <map>
#include <mutex>

#include "sched/scheduler.h"
#include "um/file_paths.h"
#include "um/um_threads.h"

namespace winsim::um {

namespace {

// Each program's image at a base of its own, so that resources registered
// under one program's HINSTANCE are never another's.
constexpr ULONG_PTR kFirstImageBase = 0x1'5000'0000;
constexpr ULONG_PTR kImageSpacing = 0x1000'0000;
constexpr int kShowNormal = 1;

struct Program {
    ProgramEntry entry = nullptr;
    HMODULE module = nullptr;
    std::string imagePath;
};

struct Programs {
    std::mutex lock;
    std::map<std::string, Program> byName;  // folded names
};

Programs& Registered()
{
    static Programs programs;
    return programs;
}

}  // namespace

HMODULE RegisterProgram(std::string_view name, ProgramEntry entry, std::string imagePath)
{
    Programs& programs = Registered();
    std::lock_guard lk(programs.lock);
    Program& program = programs.byName[FoldCase(name)];
    if (program.module == nullptr) {
        program.module = reinterpret_cast<HMODULE>(kFirstImageBase + (programs.byName.size() - 1) * kImageSpacing);
    }
    program.entry = entry;
    program.imagePath = std::move(imagePath);
    return program.module;
}

std::shared_ptr<Process> StartProgram(std::string_view name, std::string commandLine,
                                      std::function<void(Process&)> onEnd)
{
    Program program;
    {
        Programs& programs = Registered();
        std::lock_guard lk(programs.lock);
        auto found = programs.byName.find(FoldCase(name));
        if (found == programs.byName.end()) return nullptr;
        program = found->second;
    }
    std::shared_ptr<Process> process = CreateProcessRecord(std::string(name), program.module, program.imagePath);
    const DWORD mainThreadId = NewClientId();
    AdoptMainThread(Scheduler::Instance().Spawn(
        std::string(name), [process, program, mainThreadId, commandLine, onEnd]() mutable {
            const DWORD code = RunProcessThread(process, mainThreadId, [&] {
                return static_cast<DWORD>(program.entry(program.module, nullptr, commandLine.data(), kShowNormal));
            });
            process->End(code);
            if (onEnd) onEnd(*process);
        }));
    return process;
}

std::shared_ptr<Process> StartProgramAt(std::string_view imagePath, std::string commandLine)
{
    std::string name;
    {
        Programs& programs = Registered();
        std::lock_guard lk(programs.lock);
        for (const auto& [folded, program] : programs.byName) {
            if (FoldCase(program.imagePath) == FoldCase(imagePath)) name = folded;
        }
    }
    return name.empty() ? nullptr : StartProgram(name, std::move(commandLine));
}

}  // namespace winsim::um
