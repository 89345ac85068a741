// Plug and Play requests: the device-state machine of the adapter.
#include "core/adapter_table.h"
#include "core/firmware_check.h"
#include "core/io_count.h"
#include "core/lifecycle.h"
#include "core/port_config.h"
#include "core/port_rings.h"
#include "core/port_services.h"
#include "core/power_policy.h"
#include "core/selective_suspend.h"
#include "core/trace.h"
#include "core/usb_config.h"
#include "services/wmi_block.h"

namespace {

IO_COMPLETION_ROUTINE ForwardCompletion;
NTSTATUS ForwardCompletion(PDEVICE_OBJECT device, PIRP irp, PVOID context)
{
    UNREFERENCED_PARAMETER(device);
    UNREFERENCED_PARAMETER(irp);
    KeSetEvent(static_cast<PKEVENT>(context), IO_NO_INCREMENT, FALSE);
    return STATUS_MORE_PROCESSING_REQUIRED;
}

NTSTATUS PassDown(AdapterExtension* extension, PIRP irp)
{
    IoSkipCurrentIrpStackLocation(irp);
    return IoCallDriver(extension->lowerDevice, irp);
}

NTSTATUS PassDownWithSuccess(AdapterExtension* extension, PIRP irp)
{
    irp->IoStatus.Status = STATUS_SUCCESS;
    return PassDown(extension, irp);
}

NTSTATUS HandleStart(AdapterExtension* extension, PIRP irp)
{
    // A start after a failed one may find the previous descriptors.
    UsbFreeDescriptors(extension);
    NTSTATUS status = ForwardAndWait(extension, irp);
    if (NT_SUCCESS(status) && extension->powerWork == nullptr) {
        extension->powerWork = IoAllocateWorkItem(extension->self);
        if (extension->powerWork == nullptr) status = STATUS_INSUFFICIENT_RESOURCES;
    }
    if (NT_SUCCESS(status)) status = UsbConfigure(extension);
    if (NT_SUCCESS(status)) status = IoSetDeviceInterfaceState(&extension->interfaceName, TRUE);
    if (NT_SUCCESS(status)) {
        SetDeviceState(extension, Working);
        PowerPolicyStart(extension);
        // An adapter that never grants credits still starts; its ports just
        // cannot send until it does.
        status = InitializePorts(extension);
    }
    // Last: the start completes only once a download, if one was needed,
    // has been sent.
    if (NT_SUCCESS(status)) status = FirmwareCheck(extension);
    if (!NT_SUCCESS(status)) TraceFailure("start-device", status);
    return CompleteRequest(irp, status, 0);
}

NTSTATUS HandleStop(AdapterExtension* extension, PIRP irp)
{
    PowerPolicyStop(extension);
    SetDeviceState(extension, Stopped);
    UsbAbortPipes(extension);
    UsbFreeDescriptors(extension);
    // A stop may not fail: the PnP manager has committed to it. A device
    // that could not be deconfigured is deconfigured by the next start's
    // select-configuration.
    const NTSTATUS deconfigured = UsbDeconfigure(extension);
    if (!NT_SUCCESS(deconfigured)) TraceFailure("stop-device: deconfigure", deconfigured);
    irp->IoStatus.Status = STATUS_SUCCESS;
    return PassDown(extension, irp);
}

// Query-stop and query-remove: drain every other request before agreeing.
NTSTATUS DrainAndPassDown(AdapterExtension* extension, PIRP irp, DeviceState state)
{
    SetDeviceState(extension, state);
    IoCountDecrement(extension);
    UsbAbortPipesAndWait(extension, &extension->stopEvent);
    IoCountIncrement(extension);
    return PassDownWithSuccess(extension, irp);
}

NTSTATUS HandleCancel(AdapterExtension* extension, PIRP irp, DeviceState pending)
{
    if (CurrentState(extension) != pending && pending == PendingRemove) return PassDown(extension, irp);
    NTSTATUS status = ForwardAndWait(extension, irp);
    if (NT_SUCCESS(status) && CurrentState(extension) == pending) RestorePreviousState(extension);
    return CompleteRequest(irp, status, 0);
}

NTSTATUS HandleQueryRemove(AdapterExtension* extension, PIRP irp)
{
    if (ReadAcquire(&extension->interfaceRefs) > 0) {
        return CompleteRequest(irp, STATUS_DEVICE_BUSY, 0);
    }
    return DrainAndPassDown(extension, irp, PendingRemove);
}

// What surprise removal and removal both undo.
VOID TearDown(AdapterExtension* extension)
{
    PowerPolicyStop(extension);
    IoSetDeviceInterfaceState(&extension->interfaceName, FALSE);
    RtlFreeUnicodeString(&extension->interfaceName);
    UsbAbortPipes(extension);
}

NTSTATUS HandleSurpriseRemoval(AdapterExtension* extension, PIRP irp)
{
    TearDown(extension);
    SetDeviceState(extension, SurpriseRemoved);
    return PassDownWithSuccess(extension, irp);
}

NTSTATUS HandleRemove(AdapterExtension* extension, PIRP irp)
{
    if (CurrentState(extension) != SurpriseRemoved) TearDown(extension);
    SetDeviceState(extension, Removed);
    WmiBlockDeregister(extension);
    AdapterReleaseSlotAndDosName(extension);

    // This request's count and the device's own: then wait for the rest.
    IoCountDecrement(extension);
    IoCountDecrement(extension);
    KeWaitForSingleObject(&extension->removeEvent, Executive, KernelMode, FALSE, nullptr);

    // Only now, with no transfer or work item left that could touch them.
    if (extension->powerWork != nullptr) IoFreeWorkItem(extension->powerWork);
    extension->powerWork = nullptr;
    PortRingsFree(extension);
    UsbFreeDescriptors(extension);
    NTSTATUS status = PassDownWithSuccess(extension, irp);
    IoDetachDevice(extension->lowerDevice);
    IoDeleteDevice(extension->self);
    return status;
}

NTSTATUS HandleQueryCapabilities(AdapterExtension* extension, PIRP irp)
{
    PDEVICE_CAPABILITIES capabilities = IoGetCurrentIrpStackLocation(irp)->Parameters.DeviceCapabilities.Capabilities;
    if (capabilities->Version < 1 || capabilities->Size < sizeof(DEVICE_CAPABILITIES)) {
        return CompleteRequest(irp, STATUS_UNSUCCESSFUL, 0);
    }
    capabilities->SurpriseRemovalOK = TRUE;
    NTSTATUS status = ForwardAndWait(extension, irp);
    if (NT_SUCCESS(status)) {
        RtlCopyMemory(&extension->capabilities, capabilities, sizeof(DEVICE_CAPABILITIES));
        PowerPolicyCapabilitiesKnown(extension);
        capabilities->SurpriseRemovalOK = TRUE;
    }
    return CompleteRequest(irp, status, irp->IoStatus.Information);
}

}  // namespace

NTSTATUS CompleteRequest(PIRP irp, NTSTATUS status, ULONG_PTR information)
{
    irp->IoStatus.Status = status;
    irp->IoStatus.Information = information;
    IoCompleteRequest(irp, IO_NO_INCREMENT);
    return status;
}

PAGED_CODE_SEG
NTSTATUS ForwardAndWait(AdapterExtension* extension, PIRP irp)
{
    PAGED_CODE();
    KEVENT event;
    KeInitializeEvent(&event, NotificationEvent, FALSE);
    IoCopyCurrentIrpStackLocationToNext(irp);
    IoSetCompletionRoutine(irp, ForwardCompletion, &event, TRUE, TRUE, TRUE);
    NTSTATUS status = IoCallDriver(extension->lowerDevice, irp);
    if (status == STATUS_PENDING) {
        KeWaitForSingleObject(&event, Executive, KernelMode, FALSE, nullptr);
        status = irp->IoStatus.Status;
    }
    return status;
}

PAGED_CODE_SEG
NTSTATUS DispatchPnp(PDEVICE_OBJECT device, PIRP irp)
{
    PAGED_CODE();
    AdapterExtension* extension = ExtensionOf(device);
    if (CurrentState(extension) == Removed) return CompleteRequest(irp, STATUS_NO_SUCH_DEVICE, 0);

    const UCHAR minor = IoGetCurrentIrpStackLocation(irp)->MinorFunction;

    IoCountIncrement(extension);
    if (minor != IRP_MN_START_DEVICE) SelectiveSuspendCancelIdle(extension);
    NTSTATUS status;
    switch (minor) {
    case IRP_MN_START_DEVICE: status = HandleStart(extension, irp); break;
    case IRP_MN_QUERY_REMOVE_DEVICE: status = HandleQueryRemove(extension, irp); break;
    case IRP_MN_REMOVE_DEVICE: return HandleRemove(extension, irp);  // gives up its own count
    case IRP_MN_CANCEL_REMOVE_DEVICE: status = HandleCancel(extension, irp, PendingRemove); break;
    case IRP_MN_STOP_DEVICE: status = HandleStop(extension, irp); break;
    case IRP_MN_QUERY_STOP_DEVICE: status = DrainAndPassDown(extension, irp, PendingStop); break;
    case IRP_MN_CANCEL_STOP_DEVICE: status = HandleCancel(extension, irp, PendingStop); break;
    case IRP_MN_QUERY_INTERFACE: status = PortServicesQueryInterface(extension, irp); break;
    case IRP_MN_QUERY_CAPABILITIES: status = HandleQueryCapabilities(extension, irp); break;
    case IRP_MN_SURPRISE_REMOVAL: status = HandleSurpriseRemoval(extension, irp); break;
    default: status = PassDown(extension, irp); break;
    }
    IoCountDecrement(extension);
    return status;
}
