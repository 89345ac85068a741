// A process of the simulated PC: a program's own share of user mode. Every
// process lives in the one Linux address space, so what Windows keeps apart
// by address space is kept apart here by the process a thread belongs to.
#pragma once

#include <windows.h>

#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "sched/scheduler.h"
#include "um/um_handles.h"

namespace winsim::um {

// Where named objects live: every process a user starts shares its session.
struct LogonSession {
    std::mutex lock;
    std::map<std::string, PVOID> namedObjects;  // a name's object, without a reference of its own
};

class Process {
public:
    Process(DWORD id, std::string program, HMODULE mainModule, std::string imagePath,
            std::shared_ptr<LogonSession> session);
    ~Process();
    Process(const Process&) = delete;
    Process& operator=(const Process&) = delete;

    DWORD Id() const { return id_; }
    const std::string& Program() const { return program_; }
    // The program's image: GetModuleHandleA(NULL), WinMain's HINSTANCE.
    HMODULE MainModule() const { return mainModule_; }
    // The program's file ("C:\Program Files\...\x.exe"); empty for the
    // machine's user, which has none.
    const std::string& ImagePath() const { return imagePath_; }
    const std::shared_ptr<LogonSession>& Session() const { return session_; }
    // The folder relative file names start from: the program's own at its
    // start, as a shortcut's "Start in" gives it; C:\ for the machine's user.
    std::string CurrentDirectory() const;
    void ChangeCurrentDirectory(std::string folder);
    HandleTable& Handles() { return handles_; }

    // Load counts of the system libraries the process loaded by name, by
    // their lower-case file name.
    ULONG AddLibraryLoad(const std::string& library);
    // False when the process has not loaded it.
    bool DropLibraryLoad(const std::string& library);
    ULONG LibraryLoads(const std::string& library) const;

    // LocalAlloc's blocks.
    void AddLocalBlock(void* block);
    bool RemoveLocalBlock(void* block);
    size_t LocalBlocks() const;

    // The simulation threads of its threads, joined at its end.
    void AddThread(Thread thread);

    // Its end: waits for its other threads, closes what handles the program
    // left open (counting them first), frees its local blocks.
    void End(DWORD exitCode);
    bool Ended() const;
    // STILL_ACTIVE until it ended.
    DWORD ExitCode() const;
    // What the program had left when it ended.
    size_t HandlesLeftAtEnd() const { return handlesLeftAtEnd_; }
    size_t LocalBlocksLeftAtEnd() const { return localBlocksLeftAtEnd_; }
    // Waits (in simulated time) until it ended.
    DWORD WaitForEnd();

private:
    const DWORD id_;
    const std::string program_;
    const HMODULE mainModule_;
    const std::string imagePath_;
    const std::shared_ptr<LogonSession> session_;
    HandleTable handles_;
    mutable std::mutex lock_;
    std::string currentDirectory_;
    std::map<std::string, ULONG> libraryLoads_;
    std::set<void*> localBlocks_;
    std::vector<Thread> threads_;
    DWORD exitCode_ = STILL_ACTIVE;
    bool endedFlag_ = false;
    KEVENT ended_{};
    size_t handlesLeftAtEnd_ = 0;
    size_t localBlocksLeftAtEnd_ = 0;
};

// The process of the calling thread; a thread started outside any program
// (the machine's user, a test) belongs to the machine user's process.
Process& CurrentProcess();
// A thread of a program (or one its threads created) runs in its process.
void SetCurrentProcess(std::shared_ptr<Process> process);
std::shared_ptr<Process> CurrentProcessShared();

// A new process in the calling process's logon session.
std::shared_ptr<Process> CreateProcessRecord(std::string program, HMODULE mainModule, std::string imagePath);
// A program's main thread, joined when the machine stops.
void AdoptMainThread(Thread thread);
// A fresh id from the counter processes and threads share.
DWORD NewClientId();

// A fresh user mode for a machine that boots: the machine user's process,
// the default platform, every system library offered again, the clock at
// its start date and an empty file system.
void BootUserMode();
// Before the machine stops: waits for every program to end and for the
// machine user's threads, then closes the handles the machine user left.
void ShutdownUserMode();

}  // namespace winsim::um
