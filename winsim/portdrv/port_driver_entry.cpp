// Entry, add-device and the routing of requests to the two kinds of device.
#include "portdrv/port_driver.h"
#include "portdrv/port_extension.h"

namespace winsim::portdrv {

KSPIN_LOCK g_driverLock;
BindingExtension* g_bindings = nullptr;
PortExtension* g_ports = nullptr;

namespace {

constexpr ULONG kIdBytes = 512;

// Which interface of the adapter the PDO is: 0 for the adapter's own, 1 to
// 4 for the ports; -1 for anything else.
int InterfaceOf(PDEVICE_OBJECT pdo)
{
    WCHAR ids[kIdBytes / sizeof(WCHAR)] = {};
    ULONG length = 0;
    if (!NT_SUCCESS(IoGetDeviceProperty(pdo, DevicePropertyHardwareID, sizeof(ids) - sizeof(WCHAR), ids, &length))) {
        return -1;
    }
    // The first id is the most specific: ...&MI_0n at its end.
    ULONG end = 0;
    while (end < kIdBytes / sizeof(WCHAR) && ids[end] != 0) ++end;
    if (end < 6) return -1;
    const WCHAR* tail = ids + end - 6;
    if (tail[0] != L'&' || tail[1] != L'M' || tail[2] != L'I' || tail[3] != L'_' || tail[4] != L'0') return -1;
    if (tail[5] < L'0' || tail[5] > L'4') return -1;
    return tail[5] - L'0';
}

NTSTATUS AddDevice(PDRIVER_OBJECT driver, PDEVICE_OBJECT pdo)
{
    WCHAR location[kLocationCharacters] = {};
    ULONG length = 0;
    IoGetDeviceProperty(pdo, DevicePropertyLocationInformation, sizeof(location) - sizeof(WCHAR), location, &length);
    const int interfaceNumber = InterfaceOf(pdo);
    if (interfaceNumber == 0) return BindingAddDevice(driver, pdo, location);
    if (interfaceNumber > 0) return PortAddDevice(driver, pdo, static_cast<ULONG>(interfaceNumber - 1), location);
    return STATUS_NOT_SUPPORTED;
}

NTSTATUS DispatchAny(PDEVICE_OBJECT device, PIRP irp)
{
    if (KindOf(device) == DeviceKind::kAdapterFilter) {
        auto* binding = static_cast<BindingExtension*>(device->DeviceExtension);
        const UCHAR major = IoGetCurrentIrpStackLocation(irp)->MajorFunction;
        if (major == IRP_MJ_PNP) return BindingDispatchPnp(binding, irp);
        if (major == IRP_MJ_POWER) {
            PoStartNextPowerIrp(irp);
            IoSkipCurrentIrpStackLocation(irp);
            return PoCallDriver(binding->lower, irp);
        }
        // The adapter's own requests (its control device, its pipes) are
        // not ours.
        return PassDown(binding->lower, irp);
    }
    auto* port = static_cast<PortExtension*>(device->DeviceExtension);
    switch (IoGetCurrentIrpStackLocation(irp)->MajorFunction) {
    case IRP_MJ_PNP: return PortDispatchPnp(port, irp);
    case IRP_MJ_POWER:
        PoStartNextPowerIrp(irp);
        IoSkipCurrentIrpStackLocation(irp);
        return PoCallDriver(port->lower, irp);
    case IRP_MJ_CREATE: return PortDispatchCreate(port, irp);
    case IRP_MJ_CLOSE: return PortDispatchClose(port, irp);
    case IRP_MJ_CLEANUP: return PortDispatchCleanup(port, irp);
    case IRP_MJ_READ: return PortDispatchRead(port, irp);
    case IRP_MJ_WRITE: return PortDispatchWrite(port, irp);
    case IRP_MJ_DEVICE_CONTROL: return PortDispatchControl(port, irp);
    case IRP_MJ_SYSTEM_CONTROL: return PassDown(port->lower, irp);
    default: return CompleteIrp(irp, STATUS_INVALID_DEVICE_REQUEST, 0);
    }
}

VOID Unload(PDRIVER_OBJECT driver) { UNREFERENCED_PARAMETER(driver); }

NTSTATUS SignalCompletion(PDEVICE_OBJECT device, PIRP irp, PVOID context)
{
    UNREFERENCED_PARAMETER(device);
    UNREFERENCED_PARAMETER(irp);
    KeSetEvent(static_cast<PKEVENT>(context), IO_NO_INCREMENT, FALSE);
    return STATUS_MORE_PROCESSING_REQUIRED;
}

}  // namespace

extern "C" NTSTATUS PortDriverEntry(PDRIVER_OBJECT driver, PUNICODE_STRING registryPath)
{
    UNREFERENCED_PARAMETER(registryPath);
    KeInitializeSpinLock(&g_driverLock);
    g_bindings = nullptr;
    g_ports = nullptr;
    for (PDRIVER_DISPATCH& dispatch : driver->MajorFunction) dispatch = DispatchAny;
    driver->DriverExtension->AddDevice = AddDevice;
    driver->DriverUnload = Unload;
    return STATUS_SUCCESS;
}

BindingExtension* AcquireTable(PortExtension* port)
{
    KIRQL irql;
    KeAcquireSpinLock(&g_driverLock, &irql);
    BindingExtension* binding = port->binding;
    if (binding != nullptr && binding->bound) {
        if (InterlockedIncrement(&binding->activeCalls) == 1) KeClearEvent(&binding->noActiveCalls);
    } else {
        binding = nullptr;
    }
    KeReleaseSpinLock(&g_driverLock, irql);
    return binding;
}

VOID ReleaseTable(BindingExtension* binding)
{
    KIRQL irql;
    KeAcquireSpinLock(&g_driverLock, &irql);
    if (InterlockedDecrement(&binding->activeCalls) == 0) KeSetEvent(&binding->noActiveCalls, IO_NO_INCREMENT, FALSE);
    KeReleaseSpinLock(&g_driverLock, irql);
}

NTSTATUS CompleteIrp(PIRP irp, NTSTATUS status, ULONG_PTR information)
{
    irp->IoStatus.Status = status;
    irp->IoStatus.Information = information;
    IoCompleteRequest(irp, IO_NO_INCREMENT);
    return status;
}

NTSTATUS ForwardAndWait(PDEVICE_OBJECT lower, PIRP irp)
{
    KEVENT event;
    KeInitializeEvent(&event, NotificationEvent, FALSE);
    IoCopyCurrentIrpStackLocationToNext(irp);
    IoSetCompletionRoutine(irp, SignalCompletion, &event, TRUE, TRUE, TRUE);
    NTSTATUS status = IoCallDriver(lower, irp);
    if (status == STATUS_PENDING) {
        KeWaitForSingleObject(&event, Executive, KernelMode, FALSE, nullptr);
    }
    return irp->IoStatus.Status;
}

NTSTATUS PassDown(PDEVICE_OBJECT lower, PIRP irp)
{
    IoSkipCurrentIrpStackLocation(irp);
    return IoCallDriver(lower, irp);
}

}  // namespace winsim::portdrv
