// The object manager's object bodies: every driver, device, file and event
// object the machine creates sits behind a header with its type and pointer
// count, so ObReferenceObject and ObDereferenceObject work on any of them.
#pragma once

#include <km_ke.h>

namespace winsim::ob {

// The last three are user mode's: a file of the file system, a thread, a
// mutex.
enum class ObjectType : UCHAR { kDriver = 1, kDevice, kFile, kEvent, kDiskFile, kThread, kMutant };

// Runs when the last reference goes, before the memory is released. It may
// send IRPs, so it runs at PASSIVE_LEVEL: a last dereference at raised IRQL
// defers it to a system worker thread, as Windows does.
using DeleteProcedure = void (*)(void* body);

// A zeroed body of bodySize bytes from nonpaged pool under poolTag, with one
// reference held by the caller; null when the pool refuses.
void* CreateObject(ObjectType type, SIZE_T bodySize, ULONG poolTag, DeleteProcedure onDelete);

bool IsObjectOfType(const void* body, ObjectType type);
LONG PointerCount(const void* body);

}  // namespace winsim::ob
