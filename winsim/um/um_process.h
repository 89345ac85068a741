// A process of the simulated PC: a program's own share of user mode. Every
// process lives in the one Linux address space, so what Windows keeps apart
// by address space is kept apart here by the process a thread belongs to.
#pragma once

#include <windows.h>

#include <map>
#include <mutex>
#include <set>
#include <string>

namespace winsim::um {

class Process {
public:
    Process(DWORD id, std::string program, HMODULE mainModule, std::string imagePath);
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

private:
    const DWORD id_;
    const std::string program_;
    const HMODULE mainModule_;
    const std::string imagePath_;
    mutable std::mutex lock_;
    std::map<std::string, ULONG> libraryLoads_;
    std::set<void*> localBlocks_;
};

// The process of the calling thread; a thread started outside any program
// (the machine's user, a test) belongs to the machine user's process.
Process& CurrentProcess();

// A fresh user mode for a machine that boots: the machine user's process,
// the default platform, every system library offered again, the clock at
// its start date and an empty file system.
void BootUserMode();

}  // namespace winsim::um
