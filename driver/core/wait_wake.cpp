#include "core/wait_wake.h"

#include "core/device_power.h"
#include "core/trace.h"

// The wait-wake completion and the cancel path race for the request. Each
// sets waitWakeCancelFlag; whoever finds it already set finishes the request.

namespace {

REQUEST_POWER_COMPLETE WaitWakeCallback;
VOID WaitWakeCallback(PDEVICE_OBJECT device, UCHAR minor, POWER_STATE state, PVOID context, PIO_STATUS_BLOCK ioStatus)
{
    UNREFERENCED_PARAMETER(device);
    UNREFERENCED_PARAMETER(minor);
    UNREFERENCED_PARAMETER(state);
    auto* extension = static_cast<AdapterExtension*>(context);
    InterlockedExchange(&extension->waitWakeOutstanding, 0);
    if (!NT_SUCCESS(ioStatus->Status) || extension->devicePower == PowerDeviceD0) return;

    // The adapter woke the system or itself: bring it back to D0.
    RequestDevicePowerCounted(extension, PowerDeviceD0);
    if (extension->remoteWakeSupported) WaitWakeIssue(extension);
}

IO_COMPLETION_ROUTINE WaitWakeCompletion;
NTSTATUS WaitWakeCompletion(PDEVICE_OBJECT device, PIRP irp, PVOID context)
{
    UNREFERENCED_PARAMETER(device);
    auto* extension = static_cast<AdapterExtension*>(context);
    if (irp->PendingReturned) IoMarkIrpPending(irp);
    if (InterlockedExchangePointer(reinterpret_cast<PVOID volatile*>(&extension->waitWakeRequest), nullptr) != nullptr) {
        // Still ours: no cancel is under way; let it complete.
        return STATUS_SUCCESS;
    }
    if (InterlockedExchange(&extension->waitWakeCancelFlag, 1) != 0) {
        // The cancel path is done with it.
        return STATUS_SUCCESS;
    }
    // The cancel path completes it.
    return STATUS_MORE_PROCESSING_REQUIRED;
}

}  // namespace

NTSTATUS WaitWakeIssue(AdapterExtension* extension)
{
    if (InterlockedExchange(&extension->waitWakeOutstanding, 1) != 0) return STATUS_DEVICE_BUSY;
    InterlockedExchange(&extension->waitWakeCancelFlag, 0);
    POWER_STATE wakeState;
    wakeState.SystemState = extension->capabilities.SystemWake;
    NTSTATUS status =
        PoRequestPowerIrp(extension->pdo, IRP_MN_WAIT_WAKE, wakeState, WaitWakeCallback, extension, nullptr);
    if (!NT_SUCCESS(status)) {
        InterlockedExchange(&extension->waitWakeOutstanding, 0);
        TraceFailure("wait-wake: PoRequestPowerIrp", status);
    }
    return status;
}

VOID WaitWakeCancel(AdapterExtension* extension)
{
    auto* irp = static_cast<PIRP>(
        InterlockedExchangePointer(reinterpret_cast<PVOID volatile*>(&extension->waitWakeRequest), nullptr));
    if (irp == nullptr) return;
    IoCancelIrp(irp);
    if (InterlockedExchange(&extension->waitWakeCancelFlag, 1) != 0) {
        PoStartNextPowerIrp(irp);
        irp->IoStatus.Status = STATUS_CANCELLED;
        irp->IoStatus.Information = 0;
        IoCompleteRequest(irp, IO_NO_INCREMENT);
    }
}

NTSTATUS WaitWakeDispatch(AdapterExtension* extension, PIRP irp)
{
    InterlockedExchangePointer(reinterpret_cast<PVOID volatile*>(&extension->waitWakeRequest), irp);
    IoMarkIrpPending(irp);
    IoCopyCurrentIrpStackLocationToNext(irp);
    IoSetCompletionRoutine(irp, WaitWakeCompletion, extension, TRUE, TRUE, TRUE);
    PoStartNextPowerIrp(irp);
    PoCallDriver(extension->lowerDevice, irp);
    return STATUS_PENDING;
}
