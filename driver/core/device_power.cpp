#include "core/device_power.h"

#include "core/io_count.h"
#include "core/lifecycle.h"
#include "core/port_config.h"
#include "core/trace.h"
#include "core/usb_config.h"
#include "core/work_item.h"

namespace {

constexpr LONGLONG kDrainPoll = -10 * 10'000;  // 10 ms, relative
constexpr ULONG kPowerRequestAttempts = 100;

DEVICE_POWER_STATE RequestedState(PIRP irp)
{
    return IoGetCurrentIrpStackLocation(irp)->Parameters.Power.State.DeviceState;
}

VOID RecordDevicePower(AdapterExtension* extension, PIRP irp)
{
    POWER_STATE state = IoGetCurrentIrpStackLocation(irp)->Parameters.Power.State;
    extension->devicePower = state.DeviceState;
    PoSetPowerState(extension->self, DevicePowerState, state);
}

// Port initialisation waits for the adapter's credits: PASSIVE_LEVEL.
IO_WORKITEM_ROUTINE ReinitializePorts;
VOID ReinitializePorts(PDEVICE_OBJECT device, PVOID context)
{
    UNREFERENCED_PARAMETER(context);
    AdapterExtension* extension = ExtensionOf(device);
    if (CurrentState(extension) == Working) InitializePorts(extension, true);
    IoCountDecrement(extension);
}

IO_COMPLETION_ROUTINE PowerUpCompletion;
NTSTATUS PowerUpCompletion(PDEVICE_OBJECT device, PIRP irp, PVOID context)
{
    UNREFERENCED_PARAMETER(device);
    auto* extension = static_cast<AdapterExtension*>(context);
    if (irp->PendingReturned) IoMarkIrpPending(irp);
    if (NT_SUCCESS(irp->IoStatus.Status)) {
        RecordDevicePower(extension, irp);
        InterlockedExchange(&extension->ioHeld, 0);
        // The work item's own count keeps the device while it runs. Its
        // item was set aside at start: without it the adapter would stay
        // deaf.
        IoCountIncrement(extension);
        IoQueueWorkItem(extension->powerWork, ReinitializePorts, DelayedWorkQueue, nullptr);
    }
    PoStartNextPowerIrp(irp);
    IoCountDecrement(extension);
    return STATUS_SUCCESS;
}

IO_COMPLETION_ROUTINE PowerDownCompletion;
NTSTATUS PowerDownCompletion(PDEVICE_OBJECT device, PIRP irp, PVOID context)
{
    UNREFERENCED_PARAMETER(device);
    auto* extension = static_cast<AdapterExtension*>(context);
    if (irp->PendingReturned) IoMarkIrpPending(irp);
    if (NT_SUCCESS(irp->IoStatus.Status) && IoGetCurrentIrpStackLocation(irp)->MinorFunction == IRP_MN_SET_POWER) {
        RecordDevicePower(extension, irp);
    }
    PoStartNextPowerIrp(irp);
    IoCountDecrement(extension);
    return STATUS_SUCCESS;
}

NTSTATUS PassDownWith(AdapterExtension* extension, PIRP irp, PIO_COMPLETION_ROUTINE completion)
{
    IoCopyCurrentIrpStackLocationToNext(irp);
    IoSetCompletionRoutine(irp, completion, extension, TRUE, TRUE, TRUE);
    return PoCallDriver(extension->lowerDevice, irp);
}

VOID DrainThenPassDown(AdapterExtension* extension, PVOID context)
{
    auto* irp = static_cast<PIRP>(context);
    // In this order: a port initialisation still running from the last D0
    // then sees the hold (see ReleaseTransmit).
    InterlockedExchange(&extension->ioHeld, 1);
    for (PortRecord& record : extension->ports) InterlockedExchange(&record.transmitHeld, 1);
    UsbAbortReadPipes(extension);
    IoCountDecrement(extension);
    // A message read re-armed just before the hold began can still start
    // after the abort: abort again until nothing is left but the sends,
    // which finish by themselves.
    LARGE_INTEGER poll;
    poll.QuadPart = kDrainPoll;
    while (KeWaitForSingleObject(&extension->stopEvent, Executive, KernelMode, FALSE, &poll) == STATUS_TIMEOUT) {
        UsbAbortReadPipes(extension);
    }
    IoCountIncrement(extension);
    PassDownWith(extension, irp, PowerDownCompletion);
}

// A work item stops new reads and new data for the adapter, aborts the
// reads and passes the request on once only the device's own count is
// left. Messages already sent are not aborted: their bytes would be lost.
// Without a work item nothing is held: the request fails and the adapter
// works on.
NTSTATUS HoldIo(AdapterExtension* extension, PIRP irp)
{
    IoMarkIrpPending(irp);
    NTSTATUS status = QueueAdapterWork(extension, DrainThenPassDown, irp);
    if (NT_SUCCESS(status)) return STATUS_PENDING;
    PoStartNextPowerIrp(irp);
    irp->IoStatus.Status = status;
    irp->IoStatus.Information = 0;
    IoCompleteRequest(irp, IO_NO_INCREMENT);
    IoCountDecrement(extension);
    return STATUS_PENDING;
}

REQUEST_POWER_COMPLETE CountedRequestDone;
VOID CountedRequestDone(PDEVICE_OBJECT device, UCHAR minor, POWER_STATE state, PVOID context, PIO_STATUS_BLOCK ioStatus)
{
    UNREFERENCED_PARAMETER(device);
    UNREFERENCED_PARAMETER(minor);
    UNREFERENCED_PARAMETER(state);
    UNREFERENCED_PARAMETER(ioStatus);
    IoCountDecrement(static_cast<AdapterExtension*>(context));
}

struct PowerWait {
    KEVENT done;
    NTSTATUS status;
};

REQUEST_POWER_COMPLETE SignalRequestDone;
VOID SignalRequestDone(PDEVICE_OBJECT device, UCHAR minor, POWER_STATE state, PVOID context, PIO_STATUS_BLOCK ioStatus)
{
    UNREFERENCED_PARAMETER(device);
    UNREFERENCED_PARAMETER(minor);
    UNREFERENCED_PARAMETER(state);
    auto* wait = static_cast<PowerWait*>(context);
    wait->status = ioStatus->Status;
    KeSetEvent(&wait->done, IO_NO_INCREMENT, FALSE);
}

}  // namespace

NTSTATUS DeviceSetPower(AdapterExtension* extension, PIRP irp)
{
    const DEVICE_POWER_STATE requested = RequestedState(irp);
    const ULONG current = extension->devicePower;
    if (requested < current || (requested == PowerDeviceD0 && extension->ioHeld != 0)) {
        return PassDownWith(extension, irp, PowerUpCompletion);
    }
    if (current == PowerDeviceD0 && requested > PowerDeviceD0) return HoldIo(extension, irp);
    return PassDownWith(extension, irp, PowerDownCompletion);
}

NTSTATUS DeviceQueryPower(AdapterExtension* extension, PIRP irp)
{
    // Only a deeper state needs the traffic drained; the same or a
    // shallower one is agreed at once.
    if (RequestedState(irp) <= extension->devicePower) {
        irp->IoStatus.Status = STATUS_SUCCESS;
        PoStartNextPowerIrp(irp);
        IoSkipCurrentIrpStackLocation(irp);
        NTSTATUS status = PoCallDriver(extension->lowerDevice, irp);
        IoCountDecrement(extension);
        return status;
    }
    return HoldIo(extension, irp);
}

PAGED_CODE_SEG
NTSTATUS RequestDevicePowerRetrying(AdapterExtension* extension, DEVICE_POWER_STATE state,
                                    PREQUEST_POWER_COMPLETE done, PVOID context)
{
    PAGED_CODE();
    POWER_STATE power;
    power.DeviceState = state;
    LARGE_INTEGER retry;
    retry.QuadPart = kDrainPoll;
    NTSTATUS status = STATUS_INSUFFICIENT_RESOURCES;
    for (ULONG attempt = 0; attempt < kPowerRequestAttempts && status == STATUS_INSUFFICIENT_RESOURCES; ++attempt) {
        if (attempt != 0) KeDelayExecutionThread(KernelMode, FALSE, &retry);
        status = PoRequestPowerIrp(extension->pdo, IRP_MN_SET_POWER, power, done, context, nullptr);
    }
    return status;
}

namespace {

// Keeps the count the refused request took.
VOID RequestWorkingPowerAgain(AdapterExtension* extension, PVOID context)
{
    UNREFERENCED_PARAMETER(context);
    if (!NT_SUCCESS(RequestDevicePowerRetrying(extension, PowerDeviceD0, CountedRequestDone, extension))) {
        IoCountDecrement(extension);
    }
}

}  // namespace

NTSTATUS RequestDevicePowerCounted(AdapterExtension* extension, DEVICE_POWER_STATE state)
{
    IoCountIncrement(extension);
    POWER_STATE power;
    power.DeviceState = state;
    NTSTATUS status = PoRequestPowerIrp(extension->pdo, IRP_MN_SET_POWER, power, CountedRequestDone, extension, nullptr);
    if (NT_SUCCESS(status)) return status;
    if (status == STATUS_INSUFFICIENT_RESOURCES && state == PowerDeviceD0 &&
        NT_SUCCESS(QueueAdapterWork(extension, RequestWorkingPowerAgain, nullptr))) {
        return STATUS_PENDING;
    }
    IoCountDecrement(extension);
    TraceFailure("device power: PoRequestPowerIrp", status);
    return status;
}

PAGED_CODE_SEG
NTSTATUS RequestDevicePowerAndWait(AdapterExtension* extension, DEVICE_POWER_STATE state)
{
    PAGED_CODE();
    PowerWait wait;
    KeInitializeEvent(&wait.done, NotificationEvent, FALSE);
    wait.status = STATUS_PENDING;
    POWER_STATE power;
    power.DeviceState = state;
    NTSTATUS status = PoRequestPowerIrp(extension->pdo, IRP_MN_SET_POWER, power, SignalRequestDone, &wait, nullptr);
    if (!NT_SUCCESS(status)) return status;
    KeWaitForSingleObject(&wait.done, Executive, KernelMode, FALSE, nullptr);
    return wait.status;
}
