// IoCallDriver, and the checks made on what a dispatch routine returns.
#include <algorithm>
#include <atomic>

#include "km/io_irp_record.h"
#include "km/io_objects.h"
#include "km/io_verifier_rules.h"

namespace winsim::io {

namespace {

std::atomic<ULONG64> g_nextCallId{1};

PIO_STACK_LOCATION StackLocation(PIRP irp, int location)
{
    return reinterpret_cast<PIO_STACK_LOCATION>(irp + 1) + (location - 1);
}

void ReportReturn(const char* rule, PIRP irp, PDEVICE_OBJECT device, NTSTATUS returned, const std::string& more = {})
{
    ReportIrpViolation(ViolationCode::kIoManagerViolation, rule, irp, device,
                       "returned " + StatusText(returned) + more);
}

// The level ended while the dispatch ran.
void CheckCompletedReturn(PIRP irp, PDEVICE_OBJECT device, NTSTATUS returned, const LevelOutcome& outcome)
{
    if (returned == STATUS_PENDING && !outcome.pendingMarked) {
        ReportReturn(rule::kPendingWithoutMark, irp, device, returned);
    } else if (outcome.pendingMarked && returned != STATUS_PENDING) {
        ReportReturn(rule::kMarkedWithoutPending, irp, device, returned);
    } else if (!outcome.pendingMarked && returned != outcome.status) {
        ReportReturn(rule::kStatusMismatch, irp, device, returned, ", completed with " + StatusText(outcome.status));
    }
}

}  // namespace

}  // namespace winsim::io

using namespace winsim::io;

extern "C" NTSTATUS IofCallDriver(PDEVICE_OBJECT deviceObject, PIRP irp)
{
    if (irp->CurrentLocation <= 1) {
        ReportIrpViolation(kNoMoreIrpStackLocations, rule::kNoMoreStackLocations, irp, deviceObject);
        return STATUS_INVALID_PARAMETER;
    }
    LevelOutcome outcome;
    const ULONG64 callId = g_nextCallId.fetch_add(1);
    const char* broken = nullptr;
    PDEVICE_OBJECT replaced = nullptr;
    int location = 0;
    {
        std::lock_guard lk(IrpTableLock());
        IrpRecord* record = FindIrpLocked(irp);
        if (record == nullptr) {
            broken = rule::kNotAnIrp;
        } else if (record->state == IrpState::kCompleting || record->state == IrpState::kAwaitingIssuer) {
            broken = rule::kSendWhileCompleting;
        } else {
            irp->CurrentLocation--;
            irp->Tail.Overlay.CurrentStackLocation--;
            irp->Tail.Overlay.CurrentStackLocation->DeviceObject = deviceObject;
            location = irp->CurrentLocation;
            record->state = IrpState::kActive;
            record->generation++;
            // A skipped location is handed on: it now belongs to the new device.
            replaced = record->devices[location - 1];
            record->devices[location - 1] = deviceObject;
            NoteIrpArrived(deviceObject);
            record->calls[location - 1].push_back({callId, deviceObject, &outcome});
        }
    }
    if (broken != nullptr) {
        ReportIrpViolation(winsim::ViolationCode::kIoManagerViolation, broken, irp, deviceObject, "IoCallDriver");
        return STATUS_INVALID_PARAMETER;
    }
    if (replaced != nullptr) NoteIrpLeft(replaced);

    const KIRQL irql = KeGetCurrentIrql();
    const UCHAR major = irp->Tail.Overlay.CurrentStackLocation->MajorFunction;
    PDRIVER_DISPATCH dispatch =
        major <= IRP_MJ_MAXIMUM_FUNCTION ? deviceObject->DriverObject->MajorFunction[major] : InvalidDeviceRequest;
    NTSTATUS status = dispatch(deviceObject, irp);
    winsim::Verifier::CheckIrqlAfterCallback(irql, "dispatch routine");

    // The IRP may be completed and gone by now: only the record says how the
    // level ended, and a level still open is read under the table lock, which
    // completion takes before it moves past the level.
    bool completed;
    bool marked = false;
    {
        std::lock_guard lk(IrpTableLock());
        completed = outcome.completed;
        IrpRecord* record = completed ? nullptr : FindIrpLocked(irp);
        if (record != nullptr) {
            auto& calls = record->calls[location - 1];
            auto call = std::find_if(calls.begin(), calls.end(), [&](const DispatchCall& c) { return c.id == callId; });
            marked = (StackLocation(irp, location)->Control & SL_PENDING_RETURNED) != 0;
            if (call != calls.end()) {
                if (status == STATUS_PENDING && !marked) {
                    call->outcome = nullptr;
                } else {
                    calls.erase(call);
                }
            }
        }
    }
    if (completed) {
        CheckCompletedReturn(irp, deviceObject, status, outcome);
    } else if (status != STATUS_PENDING) {
        ReportReturn(marked ? rule::kMarkedWithoutPending : rule::kNeitherCompletedNorPending, irp, deviceObject,
                     status);
    }
    return status;
}
