#include "core/power_dispatch.h"

#include "core/device_power.h"
#include "core/io_count.h"
#include "core/lifecycle.h"
#include "core/wait_wake.h"
#include "core/work_item.h"

namespace {

NTSTATUS PassDown(AdapterExtension* extension, PIRP irp)
{
    PoStartNextPowerIrp(irp);
    IoSkipCurrentIrpStackLocation(irp);
    return PoCallDriver(extension->lowerDevice, irp);
}

// The device state capabilities give for a system state; D3 where the bus
// left it unspecified.
DEVICE_POWER_STATE DeviceStateFor(const AdapterExtension* extension, SYSTEM_POWER_STATE state)
{
    if (state == PowerSystemWorking) return PowerDeviceD0;
    DEVICE_POWER_STATE mapped = PowerDeviceUnspecified;
    if (state > PowerSystemUnspecified && state < PowerSystemMaximum) mapped = extension->capabilities.DeviceState[state];
    return mapped == PowerDeviceUnspecified ? PowerDeviceD3 : mapped;
}

// The device request made for a system request has finished: so does the
// system request, with its status.
REQUEST_POWER_COMPLETE DeviceRequestForSystemDone;
VOID DeviceRequestForSystemDone(PDEVICE_OBJECT device, UCHAR minor, POWER_STATE state, PVOID context,
                                PIO_STATUS_BLOCK ioStatus)
{
    UNREFERENCED_PARAMETER(device);
    UNREFERENCED_PARAMETER(minor);
    UNREFERENCED_PARAMETER(state);
    auto* systemIrp = static_cast<PIRP>(context);
    systemIrp->IoStatus.Status = ioStatus->Status;
    systemIrp->IoStatus.Information = 0;
    PoStartNextPowerIrp(systemIrp);
    IoCompleteRequest(systemIrp, IO_NO_INCREMENT);
}

// Back to S0 without memory for the device request: without it the
// adapter would stay powered down. A worker asks again, and the request's
// end finishes the system request.
VOID RequestWorkingPowerLater(AdapterExtension* extension, PVOID context)
{
    auto* systemIrp = static_cast<PIRP>(context);
    NTSTATUS status = RequestDevicePowerRetrying(extension, PowerDeviceD0, DeviceRequestForSystemDone, systemIrp);
    if (NT_SUCCESS(status)) return;
    systemIrp->IoStatus.Status = status;
    PoStartNextPowerIrp(systemIrp);
    IoCompleteRequest(systemIrp, IO_NO_INCREMENT);
}

IO_COMPLETION_ROUTINE SystemPowerCompletion;
NTSTATUS SystemPowerCompletion(PDEVICE_OBJECT device, PIRP irp, PVOID context)
{
    UNREFERENCED_PARAMETER(device);
    auto* extension = static_cast<AdapterExtension*>(context);
    // The request holds no count while the device request it causes runs:
    // a device power-down drains the count to its base first.
    IoCountDecrement(extension);
    if (!NT_SUCCESS(irp->IoStatus.Status)) {
        PoStartNextPowerIrp(irp);
        return STATUS_SUCCESS;
    }
    PIO_STACK_LOCATION stack = IoGetCurrentIrpStackLocation(irp);
    const SYSTEM_POWER_STATE systemState = stack->Parameters.Power.State.SystemState;
    if (stack->MinorFunction == IRP_MN_SET_POWER) extension->systemPower = systemState;
    POWER_STATE deviceState;
    deviceState.DeviceState = DeviceStateFor(extension, systemState);
    NTSTATUS status = PoRequestPowerIrp(extension->pdo, stack->MinorFunction, deviceState,
                                        DeviceRequestForSystemDone, irp, nullptr);
    if (NT_SUCCESS(status)) return STATUS_MORE_PROCESSING_REQUIRED;
    if (status == STATUS_INSUFFICIENT_RESOURCES && stack->MinorFunction == IRP_MN_SET_POWER &&
        systemState == PowerSystemWorking && NT_SUCCESS(QueueAdapterWork(extension, RequestWorkingPowerLater, irp))) {
        return STATUS_MORE_PROCESSING_REQUIRED;
    }
    irp->IoStatus.Status = status;
    PoStartNextPowerIrp(irp);
    return STATUS_SUCCESS;
}

NTSTATUS SystemPower(AdapterExtension* extension, PIRP irp)
{
    IoMarkIrpPending(irp);
    IoCopyCurrentIrpStackLocationToNext(irp);
    IoSetCompletionRoutine(irp, SystemPowerCompletion, extension, TRUE, TRUE, TRUE);
    PoCallDriver(extension->lowerDevice, irp);
    return STATUS_PENDING;
}

}  // namespace

NTSTATUS DispatchPower(PDEVICE_OBJECT device, PIRP irp)
{
    AdapterExtension* extension = ExtensionOf(device);
    DeviceState state = CurrentState(extension);
    if (state == Removed) {
        PoStartNextPowerIrp(irp);
        return CompleteRequest(irp, STATUS_NO_SUCH_DEVICE, 0);
    }
    if (state == NotStarted) return PassDown(extension, irp);

    IoCountIncrement(extension);
    PIO_STACK_LOCATION stack = IoGetCurrentIrpStackLocation(irp);
    const bool system = stack->Parameters.Power.Type == SystemPowerState;
    NTSTATUS status;
    switch (stack->MinorFunction) {
    case IRP_MN_WAIT_WAKE:
        status = WaitWakeDispatch(extension, irp);
        break;
    case IRP_MN_SET_POWER:
        return system ? SystemPower(extension, irp) : DeviceSetPower(extension, irp);
    case IRP_MN_QUERY_POWER:
        if (!system) return DeviceQueryPower(extension, irp);
        // Going to sleep: arm the adapter's wakeup first.
        if (stack->Parameters.Power.State.SystemState > extension->systemPower && extension->remoteWakeSupported) {
            WaitWakeIssue(extension);
        }
        return SystemPower(extension, irp);
    default:
        status = PassDown(extension, irp);
        break;
    }
    IoCountDecrement(extension);
    return status;
}
