#include "um/um_process.h"

#include <cstdlib>
#include <memory>

#include "um/file_system.h"
#include "um/local_clock.h"
#include "um/platform_version.h"
#include "um/system_libraries.h"

namespace winsim::um {

namespace {

// Process and thread ids come from one counter, in steps of 4, as Windows'
// client ids do.
constexpr DWORD kFirstClientId = 0x1000;
// Where a 64-bit program's image is mapped by default.
const auto kProgramBase = reinterpret_cast<HMODULE>(0x1'4000'0000);

struct Processes {
    std::mutex lock;
    DWORD nextId = kFirstClientId;
    std::unique_ptr<Process> machineUser;
};

Processes& All()
{
    static Processes processes;
    return processes;
}

}  // namespace

Process::Process(DWORD id, std::string program, HMODULE mainModule, std::string imagePath)
    : id_(id), program_(std::move(program)), mainModule_(mainModule), imagePath_(std::move(imagePath))
{
}

// What a process left allocated goes with it, as its heap does on Windows.
Process::~Process()
{
    for (void* block : localBlocks_) std::free(block);
}

ULONG Process::AddLibraryLoad(const std::string& library)
{
    std::lock_guard lk(lock_);
    return ++libraryLoads_[library];
}

bool Process::DropLibraryLoad(const std::string& library)
{
    std::lock_guard lk(lock_);
    auto found = libraryLoads_.find(library);
    if (found == libraryLoads_.end()) return false;
    if (--found->second == 0) libraryLoads_.erase(found);
    return true;
}

ULONG Process::LibraryLoads(const std::string& library) const
{
    std::lock_guard lk(lock_);
    auto found = libraryLoads_.find(library);
    return found == libraryLoads_.end() ? 0 : found->second;
}

void Process::AddLocalBlock(void* block)
{
    std::lock_guard lk(lock_);
    localBlocks_.insert(block);
}

bool Process::RemoveLocalBlock(void* block)
{
    std::lock_guard lk(lock_);
    return localBlocks_.erase(block) != 0;
}

size_t Process::LocalBlocks() const
{
    std::lock_guard lk(lock_);
    return localBlocks_.size();
}

Process& CurrentProcess()
{
    Processes& all = All();
    std::lock_guard lk(all.lock);
    if (all.machineUser == nullptr) {
        all.machineUser = std::make_unique<Process>(all.nextId, "machine", kProgramBase, "");
        all.nextId += 4;
    }
    return *all.machineUser;
}

void BootUserMode()
{
    {
        Processes& all = All();
        std::lock_guard lk(all.lock);
        all.machineUser.reset();
        all.nextId = kFirstClientId;
    }
    RestoreSystemLibraries();
    SetPlatformVersion(PlatformVersion::kNt61);
    ResetLocalClock();
    FileSystem::Instance().Reset();
}

}  // namespace winsim::um
