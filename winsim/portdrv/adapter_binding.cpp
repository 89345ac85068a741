// The filter on an adapter's interface 0: binds to the adapter's FDO below
// it through the port services table and links the ports at the same
// location to it.
#include "common/guids.h"
#include "portdrv/port_extension.h"

namespace winsim::portdrv {

namespace {

const GUID kPortServicesInterface = QTR_PORT_SERVICES_GUID_INIT;

NTSTATUS QueryDone(PDEVICE_OBJECT device, PIRP irp, PVOID context)
{
    UNREFERENCED_PARAMETER(device);
    UNREFERENCED_PARAMETER(irp);
    KeSetEvent(static_cast<PKEVENT>(context), IO_NO_INCREMENT, FALSE);
    return STATUS_MORE_PROCESSING_REQUIRED;
}

// Asks the stack below for the table: size 104, version 6. The answer
// carries one reference, ours until Unbind.
NTSTATUS QueryTable(BindingExtension* binding)
{
    PIRP irp = IoAllocateIrp(binding->lower->StackSize, FALSE);
    if (irp == nullptr) return STATUS_INSUFFICIENT_RESOURCES;
    irp->IoStatus.Status = STATUS_NOT_SUPPORTED;
    PIO_STACK_LOCATION next = IoGetNextIrpStackLocation(irp);
    next->MajorFunction = IRP_MJ_PNP;
    next->MinorFunction = IRP_MN_QUERY_INTERFACE;
    next->Parameters.QueryInterface.InterfaceType = &kPortServicesInterface;
    next->Parameters.QueryInterface.Size = kPortServicesSize;
    next->Parameters.QueryInterface.Version = kPortServicesVersion;
    next->Parameters.QueryInterface.Interface = reinterpret_cast<PINTERFACE>(&binding->table);
    next->Parameters.QueryInterface.InterfaceSpecificData = nullptr;
    KEVENT done;
    KeInitializeEvent(&done, NotificationEvent, FALSE);
    IoSetCompletionRoutine(irp, QueryDone, &done, TRUE, TRUE, TRUE);
    if (IoCallDriver(binding->lower, irp) == STATUS_PENDING) {
        KeWaitForSingleObject(&done, Executive, KernelMode, FALSE, nullptr);
    }
    NTSTATUS status = irp->IoStatus.Status;
    IoFreeIrp(irp);
    return status;
}

VOID Notify(uint32_t event, void* context)
{
    UNREFERENCED_PARAMETER(event);
    PortRequestService(static_cast<PortExtension*>(context));
}

// Binding twice would take a second reference: a cancelled removal may
// follow a query-remove this filter refused itself.
VOID Bind(BindingExtension* binding)
{
    KIRQL irql;
    KeAcquireSpinLock(&g_driverLock, &irql);
    const bool alreadyBound = binding->bound;
    KeReleaseSpinLock(&g_driverLock, irql);
    if (alreadyBound) return;
    RtlZeroMemory(&binding->table, sizeof(binding->table));
    binding->table.size = kPortServicesSize;
    binding->table.version = kPortServicesVersion;
    if (!NT_SUCCESS(QueryTable(binding))) return;

    PortExtension* waiting[kPortsPerAdapter] = {};
    KeAcquireSpinLock(&g_driverLock, &irql);
    binding->bound = true;
    for (PortExtension* port = g_ports; port != nullptr; port = port->next) {
        if (port->binding == nullptr && port->started && SameLocation(port->location, binding->location) &&
            binding->ports[port->portIndex] == nullptr) {
            port->binding = binding;
            binding->ports[port->portIndex] = port;
            waiting[port->portIndex] = port;
        }
    }
    KeReleaseSpinLock(&g_driverLock, irql);
    for (PortExtension* port : waiting) {
        if (port != nullptr) BindingRegisterPort(binding, port);
    }
}

// The adapter is going: no call may follow the table's last reference.
VOID Unbind(BindingExtension* binding)
{
    PortExtension* linked[kPortsPerAdapter] = {};
    bool wasBound;
    KIRQL irql;
    KeAcquireSpinLock(&g_driverLock, &irql);
    wasBound = binding->bound;
    binding->bound = false;
    for (ULONG i = 0; i < kPortsPerAdapter; ++i) {
        linked[i] = binding->ports[i];
        binding->ports[i] = nullptr;
        if (linked[i] != nullptr) linked[i]->binding = nullptr;
    }
    const bool busy = binding->activeCalls != 0;
    KeReleaseSpinLock(&g_driverLock, irql);
    if (busy) KeWaitForSingleObject(&binding->noActiveCalls, Executive, KernelMode, FALSE, nullptr);
    if (!wasBound) return;
    PortServicesInterface& table = binding->table;
    for (ULONG i = 0; i < kPortsPerAdapter; ++i) {
        if (linked[i] == nullptr) continue;
        table.setNotify(table.context, i, nullptr, nullptr);
        PortAdapterLost(linked[i]);
    }
    table.dereference(table.context);
}

// A COM port in use keeps its adapter; an idle one lets it go.
bool AnyPortOpen(BindingExtension* binding)
{
    PortExtension* linked[kPortsPerAdapter] = {};
    KIRQL irql;
    KeAcquireSpinLock(&g_driverLock, &irql);
    RtlCopyMemory(linked, binding->ports, sizeof(linked));
    KeReleaseSpinLock(&g_driverLock, irql);
    bool open = false;
    for (PortExtension* port : linked) {
        if (port == nullptr) continue;
        KeAcquireSpinLock(&port->lock, &irql);
        open = open || port->open;
        KeReleaseSpinLock(&port->lock, irql);
    }
    return open;
}

VOID Unlist(BindingExtension* binding)
{
    KIRQL irql;
    KeAcquireSpinLock(&g_driverLock, &irql);
    for (BindingExtension** link = &g_bindings; *link != nullptr; link = &(*link)->next) {
        if (*link == binding) {
            *link = binding->next;
            break;
        }
    }
    KeReleaseSpinLock(&g_driverLock, irql);
}

}  // namespace

NTSTATUS BindingAddDevice(PDRIVER_OBJECT driver, PDEVICE_OBJECT pdo, const WCHAR* location)
{
    PDEVICE_OBJECT device = nullptr;
    NTSTATUS status =
        IoCreateDevice(driver, sizeof(BindingExtension), nullptr, FILE_DEVICE_UNKNOWN, 0, FALSE, &device);
    if (!NT_SUCCESS(status)) return status;
    auto* binding = static_cast<BindingExtension*>(device->DeviceExtension);
    RtlZeroMemory(binding, sizeof(*binding));
    binding->kind = DeviceKind::kAdapterFilter;
    binding->self = device;
    RtlCopyMemory(binding->location, location, sizeof(binding->location));
    binding->location[kLocationCharacters - 1] = 0;
    KeInitializeEvent(&binding->noActiveCalls, NotificationEvent, TRUE);
    binding->lower = IoAttachDeviceToDeviceStack(device, pdo);
    if (binding->lower == nullptr) {
        IoDeleteDevice(device);
        return STATUS_NO_SUCH_DEVICE;
    }
    // A filter looks like the device below it to the I/O manager.
    device->Flags |= binding->lower->Flags & (DO_BUFFERED_IO | DO_DIRECT_IO | DO_POWER_PAGABLE);
    device->DeviceType = binding->lower->DeviceType;
    device->Characteristics = binding->lower->Characteristics;
    KIRQL irql;
    KeAcquireSpinLock(&g_driverLock, &irql);
    binding->next = g_bindings;
    g_bindings = binding;
    KeReleaseSpinLock(&g_driverLock, irql);
    device->Flags &= ~DO_DEVICE_INITIALIZING;
    return STATUS_SUCCESS;
}

NTSTATUS BindingDispatchPnp(BindingExtension* binding, PIRP irp)
{
    switch (IoGetCurrentIrpStackLocation(irp)->MinorFunction) {
    case IRP_MN_START_DEVICE: {
        NTSTATUS status = ForwardAndWait(binding->lower, irp);
        if (NT_SUCCESS(status)) Bind(binding);
        return CompleteIrp(irp, status, irp->IoStatus.Information);
    }
    // The adapter refuses a query-remove while its table is referenced, so
    // the reference goes first and comes back if the removal is cancelled.
    case IRP_MN_QUERY_REMOVE_DEVICE:
        if (AnyPortOpen(binding)) return CompleteIrp(irp, STATUS_DEVICE_BUSY, 0);
        Unbind(binding);
        return PassDown(binding->lower, irp);
    case IRP_MN_CANCEL_REMOVE_DEVICE: {
        NTSTATUS status = ForwardAndWait(binding->lower, irp);
        if (NT_SUCCESS(status)) Bind(binding);
        return CompleteIrp(irp, status, irp->IoStatus.Information);
    }
    case IRP_MN_SURPRISE_REMOVAL:
        Unbind(binding);
        return PassDown(binding->lower, irp);
    case IRP_MN_REMOVE_DEVICE: {
        Unbind(binding);
        Unlist(binding);
        NTSTATUS status = PassDown(binding->lower, irp);
        IoDetachDevice(binding->lower);
        IoDeleteDevice(binding->self);
        return status;
    }
    default:
        return PassDown(binding->lower, irp);
    }
}

VOID BindingRegisterPort(BindingExtension* binding, PortExtension* port)
{
    UNREFERENCED_PARAMETER(binding);
    BindingExtension* held = AcquireTable(port);
    if (held == nullptr) return;
    PortServicesInterface& table = held->table;
    table.setNotify(table.context, port->portIndex, Notify, port);
    PortRegistration registration = {};
    registration.deviceObject = port->pdo;
    registration.comNumber = port->comNumber;
    table.registerPort(table.context, port->portIndex, &registration);
    ReleaseTable(held);
    // Whatever waited for an adapter can go now.
    PortRequestService(port);
}

}  // namespace winsim::portdrv
