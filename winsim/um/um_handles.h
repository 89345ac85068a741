// The process's handle table: what a HANDLE of user mode stands for. Values
// are multiples of 4 from 4 on, never 0 and never INVALID_HANDLE_VALUE; a
// closed handle's value is given out again, as Windows does.
#pragma once

#include <ntdef.h>

#include <mutex>
#include <vector>

namespace winsim::um {

// kFile: a device's FILE_OBJECT; kDiskFile: a file of the file system.
// Every object begins with the dispatcher object a wait on it waits for,
// except a device's file, whose I/O event that is.
enum class HandleKind { kFile, kEvent, kDiskFile, kThread, kMutex };

struct HandleObject {
    HandleKind kind;
    PVOID object;  // with one reference
};

// One process's table.
class HandleTable {
public:
    HANDLE Insert(HandleKind kind, PVOID object);
    bool Reference(HANDLE handle, HandleObject* out);
    bool Remove(HANDLE handle, HandleObject* out);
    size_t Count();
    // Every open handle, removed from the table (a process's end).
    std::vector<HandleObject> TakeAll();

private:
    struct Slot {
        bool open = false;
        HandleObject object{};
    };
    bool SlotOf(HANDLE handle, size_t* slot) const;

    std::mutex lock_;
    std::vector<Slot> slots_;
    std::vector<size_t> free_;  // reused last-closed first
    size_t open_ = 0;
};

// The calling thread's process's table, as kernel32 uses it.
// Takes over one reference to the object; null when the table is full.
HANDLE InsertHandle(HandleKind kind, PVOID object);
// A reference for the caller to drop; false for a handle that is not open.
bool ReferenceHandle(HANDLE handle, HandleObject* out);
// Closes the handle and hands its reference to the caller.
bool RemoveHandle(HANDLE handle, HandleObject* out);

// What a wait on the handle waits for.
PVOID DispatcherObjectOf(const HandleObject& object);

// What closing a handle does to its object: the last handle of a device's
// file cleans it up, a disk file's sharing ends; then the reference goes.
void ReleaseHandleObject(const HandleObject& object);

}  // namespace winsim::um
