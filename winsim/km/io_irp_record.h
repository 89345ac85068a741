// What the I/O manager knows about each IRP beyond the IRP itself: where it
// is in its life, which devices its stack locations hold
// and which IoCallDriver calls wait to learn how their level ended. Kept
// outside the IRP so that completing an IRP that is already gone is still
// recognised.
#pragma once

#include <km_io.h>

#include <mutex>
#include <string>
#include <vector>

#include "verifier/short_lock.h"
#include "verifier/verifier.h"

namespace winsim::io {

enum class IrpState : UCHAR {
    kIdle,            // allocated or reused, not sent
    kActive,          // with drivers, or back with its owner after STATUS_MORE_PROCESSING_REQUIRED
    kCompleting,      // IoCompleteRequest is walking up its stack
    kAwaitingIssuer,  // completed without pending; the issuer finishes it
    kCompleted,       // completion reached the top
    kFreed,
};

// How a stack location ended, for the IoCallDriver that delivered it.
struct LevelOutcome {
    bool completed = false;
    bool pendingMarked = false;
    NTSTATUS status = STATUS_SUCCESS;
};

struct DispatchCall {
    ULONG64 id;
    PDEVICE_OBJECT device;
    // The caller's while its dispatch routine runs. Null after the dispatch
    // returned STATUS_PENDING with the location not (yet) marked pending: the
    // mark may still come up from below, so completion decides.
    LevelOutcome* outcome;
};

struct IrpRecord {
    ULONG64 serial = 0;
    IrpState state = IrpState::kIdle;
    // The final completion drops a reference on Tail.Overlay.OriginalFileObject.
    bool referencesFile = false;
    // ... and on UserEvent, when that is an event object of user mode.
    bool referencesEvent = false;
    // Bounds the copy of a buffered result back to the caller.
    ULONG outputLength = 0;
    // Counts IoCallDriver and IoCompleteRequest calls, so a completion walk
    // notices a routine that sent or completed the IRP again.
    ULONG64 generation = 0;
    // Per stack location (index = location number - 1).
    std::vector<PDEVICE_OBJECT> devices;
    std::vector<std::vector<DispatchCall>> calls;
};

ShortLock& IrpTableLock();
// Null for an address that is not a live IRP.
IrpRecord* FindIrpLocked(const IRP* irp);
bool WasFreedLocked(const IRP* irp);
bool InFlightLocked(const IrpRecord& record);

// IoAllocateIrp without the caller's view: the record starts kIdle. An IRP
// with Tail.Overlay.Thread set is the I/O manager's to finish and free.
// A must-succeed IRP comes from the reserve that low memory never empties.
PIRP AllocateIrp(CCHAR stackSize, bool mustSucceed = false);
// Frees without the in-flight check (the I/O manager's own IRPs at the end).
void ReleaseIrp(PIRP irp);

// Completion at the top for IRPs with a thread: copies a buffered result
// back, frees buffers and MDLs, fills UserIosb, signals the events, drops the
// file reference and frees the IRP.
void FinishThreadedIrp(PIRP irp);
// True once for an IRP, identified by its serial, whose completion was left
// to its issuer (IRP_DEFER_IO_COMPLETION without pending).
bool TakeDeferredCompletion(PIRP irp, ULONG64 serial);

// "IRP 0x... at \Device\X of \Driver\Y: more" as the report's detail.
void ReportIrpViolation(ViolationCode code, const char* rule, PIRP irp, PDEVICE_OBJECT device,
                        const std::string& more = {});
std::string StatusText(NTSTATUS status);

}  // namespace winsim::io
