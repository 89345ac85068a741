#include "pnp/pnp_irp.h"

#include <cstring>

#include "km/io_irp_record.h"
#include "verifier/verifier.h"

namespace winsim::pnp {

namespace {

NTSTATUS SignalCompletion(PDEVICE_OBJECT device, PIRP irp, PVOID context)
{
    UNREFERENCED_PARAMETER(device);
    UNREFERENCED_PARAMETER(irp);
    KeSetEvent(static_cast<PKEVENT>(context), IO_NO_INCREMENT, FALSE);
    return STATUS_MORE_PROCESSING_REQUIRED;
}

// The power manager's requests, and the PnP requests a driver relies on
// getting (the end of a device, the end of a pending change), never fail for
// want of an IRP.
bool MustReachTheStack(UCHAR major, UCHAR minor)
{
    if (major == IRP_MJ_POWER) return true;
    switch (minor) {
    case IRP_MN_REMOVE_DEVICE:
    case IRP_MN_SURPRISE_REMOVAL:
    case IRP_MN_STOP_DEVICE:
    case IRP_MN_CANCEL_REMOVE_DEVICE:
    case IRP_MN_CANCEL_STOP_DEVICE: return true;
    default: return false;
    }
}

NTSTATUS SendStackIrp(PDEVICE_OBJECT pdo, UCHAR major, UCHAR minor, const StackSetup& setup,
                      ULONG_PTR* information)
{
    Verifier::CheckPagedCode(major == IRP_MJ_POWER ? "power request" : "PnP request");
    PDEVICE_OBJECT top = IoGetAttachedDeviceReference(pdo);
    PIRP irp = io::AllocateIrp(top->StackSize, MustReachTheStack(major, minor));
    if (irp == nullptr) {
        ObDereferenceObject(top);
        return STATUS_INSUFFICIENT_RESOURCES;
    }
    irp->IoStatus.Status = STATUS_NOT_SUPPORTED;
    irp->IoStatus.Information = 0;
    PIO_STACK_LOCATION next = IoGetNextIrpStackLocation(irp);
    next->MajorFunction = major;
    next->MinorFunction = minor;
    if (setup) setup(*next);

    KEVENT done;
    KeInitializeEvent(&done, NotificationEvent, FALSE);
    IoSetCompletionRoutine(irp, SignalCompletion, &done, TRUE, TRUE, TRUE);
    const NTSTATUS sent = major == IRP_MJ_POWER ? PoCallDriver(top, irp) : IoCallDriver(top, irp);
    if (sent == STATUS_PENDING) {
        KeWaitForSingleObject(&done, Executive, KernelMode, FALSE, nullptr);
    }
    const NTSTATUS status = irp->IoStatus.Status;
    if (information != nullptr) *information = irp->IoStatus.Information;
    IoFreeIrp(irp);
    ObDereferenceObject(top);
    return status;
}

}  // namespace

NTSTATUS SendPnpIrp(PDEVICE_OBJECT pdo, UCHAR minor, const StackSetup& setup, ULONG_PTR* information)
{
    return SendStackIrp(pdo, IRP_MJ_PNP, minor, setup, information);
}

NTSTATUS SendPowerIrp(PDEVICE_OBJECT pdo, UCHAR minor, const StackSetup& setup)
{
    return SendStackIrp(pdo, IRP_MJ_POWER, minor, setup, nullptr);
}

void InitializeCapabilities(DEVICE_CAPABILITIES* capabilities)
{
    std::memset(capabilities, 0, sizeof *capabilities);
    capabilities->Size = sizeof *capabilities;
    capabilities->Version = 1;
    capabilities->Address = MAXULONG;
    capabilities->UINumber = MAXULONG;
}

}  // namespace winsim::pnp
