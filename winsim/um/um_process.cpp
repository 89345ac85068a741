#include "um/um_process.h"

#include <algorithm>
#include <cstdlib>
#include <iterator>

#include "um/device_libraries.h"
#include "um/file_system.h"
#include "um/local_clock.h"
#include "um/platform_version.h"
#include "um/system_libraries.h"
#include "um/um_threads.h"

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
    std::shared_ptr<Process> machineUser;
    std::vector<std::shared_ptr<Process>> programs;
    std::vector<Thread> mainThreads;
};

Processes& All()
{
    static Processes processes;
    return processes;
}

thread_local std::shared_ptr<Process> t_process;

DWORD NewIdLocked(Processes& all)
{
    const DWORD id = all.nextId;
    all.nextId += 4;
    return id;
}

std::shared_ptr<Process> MachineUserLocked(Processes& all)
{
    if (all.machineUser == nullptr) {
        all.machineUser = std::make_shared<Process>(NewIdLocked(all), "machine", kProgramBase, "",
                                                    std::make_shared<LogonSession>());
    }
    return all.machineUser;
}

void CloseAll(HandleTable& handles)
{
    for (const HandleObject& object : handles.TakeAll()) ReleaseHandleObject(object);
}

}  // namespace

Process::Process(DWORD id, std::string program, HMODULE mainModule, std::string imagePath,
                 std::shared_ptr<LogonSession> session)
    : id_(id), program_(std::move(program)), mainModule_(mainModule), imagePath_(std::move(imagePath)),
      session_(std::move(session))
{
    const size_t folderEnd = imagePath_.find_last_of('\\');
    currentDirectory_ = folderEnd == std::string::npos ? "C:\\" : imagePath_.substr(0, folderEnd);
    if (currentDirectory_.size() == 2) currentDirectory_ += '\\';  // a program at a drive's root
    Scheduler::Instance().InitializeObject(&ended_.Header, kObjectNotificationEvent, 0);
}

std::string Process::CurrentDirectory() const
{
    std::lock_guard lk(lock_);
    return currentDirectory_;
}

void Process::ChangeCurrentDirectory(std::string folder)
{
    std::lock_guard lk(lock_);
    currentDirectory_ = std::move(folder);
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

void Process::AddThread(Thread thread)
{
    std::lock_guard lk(lock_);
    threads_.push_back(std::move(thread));
}

void Process::End(DWORD exitCode)
{
    // Windows would end the other threads; here they are waited for, so a
    // program must let its threads finish before its main thread returns.
    // A thread may start another before it ends: until none is left.
    for (;;) {
        std::vector<Thread> threads;
        {
            std::lock_guard lk(lock_);
            threads.swap(threads_);
        }
        if (threads.empty()) break;
        for (Thread& thread : threads) thread.Join();
    }
    handlesLeftAtEnd_ = handles_.Count();
    CloseAll(handles_);
    {
        std::lock_guard lk(lock_);
        localBlocksLeftAtEnd_ = localBlocks_.size();
        for (void* block : localBlocks_) std::free(block);
        localBlocks_.clear();
        libraryLoads_.clear();
        exitCode_ = exitCode;
        endedFlag_ = true;
    }
    Scheduler::Instance().SetEvent(&ended_);
}

bool Process::Ended() const
{
    std::lock_guard lk(lock_);
    return endedFlag_;
}

DWORD Process::ExitCode() const
{
    std::lock_guard lk(lock_);
    return exitCode_;
}

DWORD Process::WaitForEnd()
{
    PVOID object = &ended_;
    Scheduler::Instance().Wait(1, &object, WaitAny, nullptr);
    return ExitCode();
}

Process& CurrentProcess()
{
    if (t_process != nullptr) return *t_process;
    Processes& all = All();
    std::lock_guard lk(all.lock);
    return *MachineUserLocked(all);
}

std::shared_ptr<Process> CurrentProcessShared()
{
    if (t_process != nullptr) return t_process;
    Processes& all = All();
    std::lock_guard lk(all.lock);
    return MachineUserLocked(all);
}

void SetCurrentProcess(std::shared_ptr<Process> process) { t_process = std::move(process); }

std::shared_ptr<Process> CreateProcessRecord(std::string program, HMODULE mainModule, std::string imagePath)
{
    std::shared_ptr<LogonSession> session = CurrentProcess().Session();
    Processes& all = All();
    std::lock_guard lk(all.lock);
    auto process = std::make_shared<Process>(NewIdLocked(all), std::move(program), mainModule, std::move(imagePath),
                                             std::move(session));
    all.programs.push_back(process);
    return process;
}

void AdoptMainThread(Thread thread)
{
    // The threads of programs that have ended are let go: a machine that
    // starts programs for hours must not keep every thread it ran.
    std::vector<Thread> ended;
    {
        Processes& all = All();
        std::lock_guard lk(all.lock);
        auto running = std::stable_partition(all.mainThreads.begin(), all.mainThreads.end(),
                                             [](const Thread& t) { return !t.Ended(); });
        std::move(running, all.mainThreads.end(), std::back_inserter(ended));
        all.mainThreads.erase(running, all.mainThreads.end());
        all.mainThreads.push_back(std::move(thread));
    }
    for (Thread& t : ended) t.Join();
}

DWORD NewClientId()
{
    Processes& all = All();
    std::lock_guard lk(all.lock);
    return NewIdLocked(all);
}

void BootUserMode()
{
    std::shared_ptr<Process> previousUser;
    {
        Processes& all = All();
        std::lock_guard lk(all.lock);
        previousUser.swap(all.machineUser);
        all.programs.clear();
        all.nextId = kFirstClientId;
    }
    // A user mode used without a machine's shutdown (a test) leaves its
    // handles behind; they are closed with it.
    if (previousUser != nullptr && !previousUser->Ended()) CloseAll(previousUser->Handles());
    ForgetThreadIds();
    RegisterDeviceInstallationLibraries();
    RestoreSystemLibraries();
    SetPlatformVersion(PlatformVersion::kNt61);
    ResetLocalClock();
    FileSystem::Instance().Reset();
}

void ShutdownUserMode()
{
    std::vector<std::shared_ptr<Process>> programs;
    std::shared_ptr<Process> machineUser;
    {
        Processes& all = All();
        std::lock_guard lk(all.lock);
        programs = all.programs;
        machineUser = all.machineUser;
    }
    for (const auto& program : programs) program->WaitForEnd();
    std::vector<Thread> mainThreads;
    {
        Processes& all = All();
        std::lock_guard lk(all.lock);
        mainThreads.swap(all.mainThreads);
    }
    for (Thread& thread : mainThreads) thread.Join();
    if (machineUser != nullptr) machineUser->End(0);
}

}  // namespace winsim::um
