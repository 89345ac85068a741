// The process's handle table: what a HANDLE of user mode stands for. Values
// are multiples of 4 from 4 on, never 0 and never INVALID_HANDLE_VALUE; a
// closed handle's value is given out again, as Windows does.
#pragma once

#include <ntdef.h>

namespace winsim::um {

enum class HandleKind { kFile, kEvent };

struct HandleObject {
    HandleKind kind;
    PVOID object;  // a FILE_OBJECT or a KEVENT, with one reference
};

// Takes over one reference to the object; null when the table is full.
HANDLE InsertHandle(HandleKind kind, PVOID object);
// A reference for the caller to drop; false for a handle that is not open.
bool ReferenceHandle(HANDLE handle, HandleObject* out);
// Closes the handle and hands its reference to the caller.
bool RemoveHandle(HANDLE handle, HandleObject* out);

// What a wait on the handle waits for: the event, or the file's I/O event.
PVOID DispatcherObjectOf(const HandleObject& object);

}  // namespace winsim::um
