// The power manager's services for WDM drivers: power IRPs sent down a
// stack, requested by a policy owner, and the device's recorded state.
#include "km/io_device_extension.h"
#include "km/io_pool_tags.h"
#include "verifier/pool.h"

namespace {

using winsim::io::kTagPowerRequest;

struct PowerRequest {
    PREQUEST_POWER_COMPLETE completion;
    PVOID context;
    UCHAR minor;
    POWER_STATE state;
    PDEVICE_OBJECT target;  // the device the caller named
    PDEVICE_OBJECT top;     // referenced top of its stack
};

NTSTATUS PowerRequestComplete(PDEVICE_OBJECT device, PIRP irp, PVOID context)
{
    UNREFERENCED_PARAMETER(device);
    auto* request = static_cast<PowerRequest*>(context);
    if (request->completion != nullptr) {
        request->completion(request->target, request->minor, request->state, request->context, &irp->IoStatus);
    }
    ObDereferenceObject(request->top);
    ExFreePoolWithTag(request, kTagPowerRequest);
    IoFreeIrp(irp);
    return STATUS_MORE_PROCESSING_REQUIRED;
}

}  // namespace

extern "C" {

VOID PoStartNextPowerIrp(PIRP irp)
{
    // Power IRPs are not serialised per device on current Windows either.
    UNREFERENCED_PARAMETER(irp);
}

NTSTATUS PoCallDriver(PDEVICE_OBJECT deviceObject, PIRP irp) { return IofCallDriver(deviceObject, irp); }

POWER_STATE PoSetPowerState(PDEVICE_OBJECT deviceObject, POWER_STATE_TYPE type, POWER_STATE state)
{
    _DEVOBJ_EXTENSION* extension = deviceObject->DeviceObjectExtension;
    POWER_STATE previous;
    if (type == SystemPowerState) {
        previous.SystemState = extension->systemPowerState;
        extension->systemPowerState = state.SystemState;
    } else {
        previous.DeviceState = extension->devicePowerState;
        extension->devicePowerState = state.DeviceState;
    }
    return previous;
}

NTSTATUS PoRequestPowerIrp(PDEVICE_OBJECT deviceObject, UCHAR minorFunction, POWER_STATE powerState,
                           PREQUEST_POWER_COMPLETE completionFunction, PVOID context, PIRP* irpOut)
{
    if (minorFunction != IRP_MN_SET_POWER && minorFunction != IRP_MN_QUERY_POWER &&
        minorFunction != IRP_MN_WAIT_WAKE) {
        return STATUS_INVALID_PARAMETER_2;
    }
    auto* request = static_cast<PowerRequest*>(ExAllocatePoolWithTag(NonPagedPoolNx, sizeof(PowerRequest), kTagPowerRequest));
    if (request == nullptr) return STATUS_INSUFFICIENT_RESOURCES;
    PDEVICE_OBJECT top = IoGetAttachedDeviceReference(deviceObject);
    PIRP irp = IoAllocateIrp(static_cast<CCHAR>(top->StackSize + 1), FALSE);
    if (irp == nullptr) {
        ObDereferenceObject(top);
        ExFreePoolWithTag(request, kTagPowerRequest);
        return STATUS_INSUFFICIENT_RESOURCES;
    }
    *request = {completionFunction, context, minorFunction, powerState, deviceObject, top};

    // The requester's own location holds the completion; the stack gets the rest.
    IoSetNextIrpStackLocation(irp);
    PIO_STACK_LOCATION next = IoGetNextIrpStackLocation(irp);
    next->MajorFunction = IRP_MJ_POWER;
    next->MinorFunction = minorFunction;
    if (minorFunction == IRP_MN_WAIT_WAKE) {
        next->Parameters.WaitWake.PowerState = powerState.SystemState;
    } else {
        next->Parameters.Power.Type = DevicePowerState;
        next->Parameters.Power.State = powerState;
    }
    irp->IoStatus.Status = STATUS_NOT_SUPPORTED;
    IoSetCompletionRoutine(irp, PowerRequestComplete, request, TRUE, TRUE, TRUE);
    if (irpOut != nullptr) *irpOut = irp;
    PoCallDriver(top, irp);
    return STATUS_PENDING;
}

}  // extern "C"
