// IoCompleteRequest: the walk up the stack locations with their completion
// routines, and the final completion of IRPs that have a thread.
#include <km_ex.h>

#include <cstring>

#include "km/io_buffers.h"
#include "km/io_manager.h"
#include "km/io_irp_record.h"
#include "km/io_objects.h"
#include "km/io_pool_tags.h"
#include "km/io_verifier_rules.h"

namespace winsim::io {

namespace {

// What Windows clears in a location it has completed. The routine and its
// context stay readable; the routine must not look at its own location.
void ZeroStackLocation(PIO_STACK_LOCATION location)
{
    location->MinorFunction = 0;
    location->Flags = 0;
    location->Control = 0;
    location->Parameters.Others.Argument1 = nullptr;
    location->Parameters.Others.Argument2 = nullptr;
    location->Parameters.Others.Argument3 = nullptr;
    location->Parameters.Others.Argument4 = nullptr;
    location->FileObject = nullptr;
}

struct DeferredReturn {
    PDEVICE_OBJECT device;
};

// Completion moves past a location: its device is let go, and every
// IoCallDriver that delivered the IRP there learns how it ended. Returns
// true when a dispatch had returned STATUS_PENDING and the location never got
// marked: the IRP is then finished as pending so its issuer's wait ends.
bool LeaveLocation(PIRP irp, int location, bool marked)
{
    PDEVICE_OBJECT released = nullptr;
    std::vector<DeferredReturn> unmarked;
    {
        std::lock_guard lk(IrpTableLock());
        IrpRecord* record = FindIrpLocked(irp);
        if (record == nullptr) return false;
        released = record->devices[location - 1];
        record->devices[location - 1] = nullptr;
        for (const DispatchCall& call : record->calls[location - 1]) {
            if (call.outcome != nullptr) {
                call.outcome->completed = true;
                call.outcome->pendingMarked = marked;
                call.outcome->status = irp->IoStatus.Status;
            } else if (!marked) {
                unmarked.push_back({call.device});
            }
        }
        record->calls[location - 1].clear();
    }
    if (released != nullptr) NoteIrpLeft(released);
    for (const DeferredReturn& r : unmarked) {
        ReportIrpViolation(ViolationCode::kIoManagerViolation, rule::kPendingWithoutMark, irp, r.device,
                           "returned STATUS_PENDING");
    }
    return !unmarked.empty();
}

void SetState(PIRP irp, IrpState state)
{
    std::lock_guard lk(IrpTableLock());
    if (IrpRecord* record = FindIrpLocked(irp)) record->state = state;
}

// After a completion routine returned something other than
// STATUS_MORE_PROCESSING_REQUIRED the walk goes on, unless the routine sent,
// completed or freed the IRP meanwhile.
bool ResumeWalk(PIRP irp, ULONG64 generation)
{
    std::lock_guard lk(IrpTableLock());
    IrpRecord* record = FindIrpLocked(irp);
    if (record == nullptr || record->generation != generation || record->state != IrpState::kActive) return false;
    record->state = IrpState::kCompleting;
    return true;
}

void ReachTop(PIRP irp)
{
    const bool threaded = irp->Tail.Overlay.Thread != nullptr;
    const bool deferred = (irp->Flags & kIrpDeferIoCompletion) != 0 && !irp->PendingReturned;
    SetState(irp, threaded && deferred ? IrpState::kAwaitingIssuer : IrpState::kCompleted);
    if (!threaded) {
        ReportIrpViolation(ViolationCode::kIoManagerViolation, rule::kCompletionPastTop, irp, nullptr);
        return;
    }
    if (!deferred) FinishThreadedIrp(irp);
}

// An overlapped caller may poll the status word without waiting
// (GetOverlappedResult without bWait, HasOverlappedIoCompleted): the count
// goes first and the status last, with release order, so whoever sees the
// final status also sees the count.
void PublishStatusBlock(PIO_STATUS_BLOCK target, const IO_STATUS_BLOCK& status)
{
    target->Information = status.Information;
    __atomic_store_n(&target->Pointer, status.Pointer, __ATOMIC_RELEASE);
}

}  // namespace

void FinishThreadedIrp(PIRP irp)
{
    ULONG outputLength = 0;
    bool referencesFile = false;
    bool referencesEvent = false;
    {
        std::lock_guard lk(IrpTableLock());
        if (IrpRecord* record = FindIrpLocked(irp)) {
            outputLength = record->outputLength;
            referencesFile = record->referencesFile;
            referencesEvent = record->referencesEvent;
            record->state = IrpState::kCompleted;
        }
    }
    const NTSTATUS status = irp->IoStatus.Status;
    PVOID systemBuffer = irp->AssociatedIrp.SystemBuffer;
    if ((irp->Flags & (kIrpBufferedIo | kIrpInputOperation)) == (kIrpBufferedIo | kIrpInputOperation) &&
        !IsErrorStatus(status) && irp->UserBuffer != nullptr && systemBuffer != nullptr) {
        ULONG_PTR count = irp->IoStatus.Information;
        if (count > outputLength) {
            ReportIrpViolation(ViolationCode::kIoManagerViolation, rule::kInformationOverrun, irp, nullptr,
                               std::to_string(count) + " bytes for a " + std::to_string(outputLength) +
                                   "-byte buffer");
            count = outputLength;
        }
        std::memcpy(irp->UserBuffer, systemBuffer, count);
    }
    DiscardBuffers(irp);

    PFILE_OBJECT file = irp->Tail.Overlay.OriginalFileObject;
    PKEVENT event = irp->UserEvent;
    // A request the driver failed without pending it returns its status
    // directly; the caller's status block and event are left alone.
    const bool signal = !IsErrorStatus(status) || irp->PendingReturned;
    if (signal && irp->UserIosb != nullptr) PublishStatusBlock(irp->UserIosb, irp->IoStatus);
    ReleaseIrp(irp);
    if (signal && file != nullptr) KeSetEvent(&FileBookkeepingOf(file)->event, IO_NO_INCREMENT, FALSE);
    // Windows finishes a request in an APC of the issuing thread, so the
    // issuer never sees its event set while the request still holds the
    // file: a CloseHandle right after the wait really closes it. Here the
    // completing thread may be another one, so the file goes first.
    if (referencesFile && file != nullptr) ObDereferenceObject(file);
    if (signal && event != nullptr) KeSetEvent(event, IO_NO_INCREMENT, FALSE);
    if (referencesEvent) ObDereferenceObject(event);
}

bool TakeDeferredCompletion(PIRP irp, ULONG64 serial)
{
    std::lock_guard lk(IrpTableLock());
    IrpRecord* record = FindIrpLocked(irp);
    if (record == nullptr || record->serial != serial || record->state != IrpState::kAwaitingIssuer) return false;
    record->state = IrpState::kCompleting;
    return true;
}

}  // namespace winsim::io

using namespace winsim::io;

namespace {

struct SafeCompletion {
    PIO_COMPLETION_ROUTINE routine;
    PVOID context;
    PDEVICE_OBJECT device;
};

// Keeps the routine's device, and so its driver, alive until it returned.
NTSTATUS UnloadSafeCompletion(PDEVICE_OBJECT device, PIRP irp, PVOID context)
{
    auto* safe = static_cast<SafeCompletion*>(context);
    NTSTATUS status = safe->routine(device, irp, safe->context);
    ObDereferenceObject(safe->device);
    ExFreePoolWithTag(safe, kTagCompletionContext);
    return status;
}

}  // namespace

extern "C" {

VOID IofCompleteRequest(PIRP irp, CCHAR priorityBoost)
{
    UNREFERENCED_PARAMETER(priorityBoost);
    const KIRQL irql = KeGetCurrentIrql();
    const char* broken = nullptr;
    ULONG64 generation = 0;
    {
        std::lock_guard lk(IrpTableLock());
        IrpRecord* record = FindIrpLocked(irp);
        if (record == nullptr) {
            broken = WasFreedLocked(irp) ? rule::kDoubleCompletion : rule::kNotAnIrp;
        } else if (record->state == IrpState::kCompleting || record->state == IrpState::kAwaitingIssuer ||
                   record->state == IrpState::kCompleted) {
            broken = rule::kDoubleCompletion;
        } else {
            record->state = IrpState::kCompleting;
            generation = ++record->generation;
        }
    }
    if (broken != nullptr) {
        // Never touch the IRP again: it may be gone.
        ReportIrpViolation(broken == rule::kDoubleCompletion ? winsim::ViolationCode::kMultipleIrpComplete
                                                             : winsim::ViolationCode::kIoManagerViolation,
                           broken, irp, nullptr);
        return;
    }
    if (irp->IoStatus.Status == STATUS_PENDING) {
        ReportIrpViolation(winsim::ViolationCode::kIoManagerViolation, rule::kCompletedPending, irp, nullptr);
    }
    if (irp->CancelRoutine != nullptr) {
        ReportIrpViolation(winsim::ViolationCode::kIoManagerViolation, rule::kCompletedWithCancelRoutine, irp,
                           nullptr);
        IoSetCancelRoutine(irp, nullptr);
    }

    PIO_STACK_LOCATION location = IoGetCurrentIrpStackLocation(irp);
    irp->CurrentLocation++;
    irp->Tail.Overlay.CurrentStackLocation++;
    for (; irp->CurrentLocation <= irp->StackCount + 1;
         ++location, irp->CurrentLocation++, irp->Tail.Overlay.CurrentStackLocation++) {
        irp->PendingReturned = (location->Control & SL_PENDING_RETURNED) != 0;
        if (LeaveLocation(irp, irp->CurrentLocation - 1, irp->PendingReturned)) irp->PendingReturned = TRUE;

        const UCHAR control = location->Control;
        const NTSTATUS status = irp->IoStatus.Status;
        const bool invoke = (NT_SUCCESS(status) && (control & SL_INVOKE_ON_SUCCESS) != 0) ||
                            (!NT_SUCCESS(status) && (control & SL_INVOKE_ON_ERROR) != 0) ||
                            (irp->Cancel && (control & SL_INVOKE_ON_CANCEL) != 0);
        PIO_COMPLETION_ROUTINE routine = location->CompletionRoutine;
        PVOID context = location->Context;
        ZeroStackLocation(location);
        if (!invoke) {
            // No routine to look at PendingReturned: the mark moves up itself.
            if (irp->PendingReturned && irp->CurrentLocation <= irp->StackCount) IoMarkIrpPending(irp);
            continue;
        }
        PDEVICE_OBJECT device = irp->CurrentLocation == irp->StackCount + 1
                                    ? nullptr
                                    : IoGetCurrentIrpStackLocation(irp)->DeviceObject;
        // While the routine runs the IRP is its owner's to free, send or keep.
        SetState(irp, IrpState::kActive);
        NTSTATUS result = routine(device, irp, context);
        winsim::Verifier::CheckIrqlAfterCallback(irql, "completion routine");
        if (result == STATUS_MORE_PROCESSING_REQUIRED) return;
        if (!ResumeWalk(irp, generation)) {
            ReportIrpViolation(winsim::ViolationCode::kMultipleIrpComplete, rule::kRoutineCompletedAgain, irp,
                               device);
            return;
        }
    }
    ReachTop(irp);
}

NTSTATUS IoSetCompletionRoutineEx(PDEVICE_OBJECT deviceObject, PIRP irp, PIO_COMPLETION_ROUTINE completionRoutine,
                                  PVOID context, BOOLEAN invokeOnSuccess, BOOLEAN invokeOnError,
                                  BOOLEAN invokeOnCancel)
{
    auto* safe = static_cast<SafeCompletion*>(
        ExAllocatePoolWithTag(NonPagedPoolNx, sizeof(SafeCompletion), kTagCompletionContext));
    if (safe == nullptr) return STATUS_INSUFFICIENT_RESOURCES;
    safe->routine = completionRoutine;
    safe->context = context;
    safe->device = deviceObject;
    ObReferenceObject(deviceObject);
    IoSetCompletionRoutine(irp, UnloadSafeCompletion, safe, invokeOnSuccess, invokeOnError, invokeOnCancel);
    return STATUS_SUCCESS;
}

}  // extern "C"
