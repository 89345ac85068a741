// A port device's life: created on its port interface, named COMn at start
// after the port's "PortName", registered with its adapter when both are
// there, unnamed and unlinked when it goes.
#include <km_zw.h>
#include <ntstrsafe.h>

#include "portdrv/port_extension.h"

namespace winsim::portdrv {

namespace {

LONG g_portDeviceNumber = 0;

// The COM-port database arbitrates COM1 to COM4096.
constexpr ULONG kHighestComNumber = 4096;

// The number in the port's "PortName" (COMn), 0 without a usable one.
ULONG ReadComNumber(PDEVICE_OBJECT pdo)
{
    HANDLE key = nullptr;
    if (!NT_SUCCESS(IoOpenDeviceRegistryKey(pdo, PLUGPLAY_REGKEY_DEVICE, KEY_READ, &key))) return 0;
    ULONG buffer[64];
    auto* info = reinterpret_cast<PKEY_VALUE_PARTIAL_INFORMATION>(buffer);
    UNICODE_STRING name;
    RtlInitUnicodeString(&name, L"PortName");
    ULONG length = 0;
    NTSTATUS status = ZwQueryValueKey(key, &name, KeyValuePartialInformation, info, sizeof(buffer), &length);
    ZwClose(key);
    if (!NT_SUCCESS(status) || info->Type != REG_SZ) return 0;
    auto* text = reinterpret_cast<PWCH>(info->Data);
    const ULONG characters = info->DataLength / sizeof(WCHAR);
    if (characters < 4 || text[0] != L'C' || text[1] != L'O' || text[2] != L'M') return 0;
    ULONG number = 0;
    for (ULONG i = 3; i < characters && text[i] >= L'0' && text[i] <= L'9'; ++i) {
        number = number * 10 + (text[i] - L'0');
        if (number > kHighestComNumber) return 0;
    }
    return number;
}

NTSTATUS StartPort(PortExtension* port)
{
    port->comNumber = ReadComNumber(port->pdo);
    if (port->comNumber == 0) return STATUS_DEVICE_CONFIGURATION_ERROR;
    NTSTATUS status = RtlStringCbPrintfW(port->dosName, sizeof(port->dosName), L"\\DosDevices\\COM%u",
                                         static_cast<unsigned>(port->comNumber));
    if (!NT_SUCCESS(status)) return status;
    UNICODE_STRING link;
    RtlInitUnicodeString(&link, port->dosName);
    UNICODE_STRING target;
    RtlInitUnicodeString(&target, port->deviceName);
    status = IoCreateSymbolicLink(&link, &target);
    if (!NT_SUCCESS(status)) {
        port->dosName[0] = 0;
        return status;
    }

    BindingExtension* found = nullptr;
    KIRQL irql;
    KeAcquireSpinLock(&g_driverLock, &irql);
    port->started = true;
    for (BindingExtension* binding = g_bindings; binding != nullptr; binding = binding->next) {
        if (binding->bound && SameLocation(binding->location, port->location) &&
            binding->ports[port->portIndex] == nullptr) {
            binding->ports[port->portIndex] = port;
            port->binding = binding;
            found = binding;
            break;
        }
    }
    KeReleaseSpinLock(&g_driverLock, irql);
    if (found != nullptr) BindingRegisterPort(found, port);
    return STATUS_SUCCESS;
}

// Removal, surprise or not: nobody reaches the port by its name any more,
// and the adapter no longer calls it.
VOID StopPort(PortExtension* port)
{
    if (port->dosName[0] != 0) {
        UNICODE_STRING link;
        RtlInitUnicodeString(&link, port->dosName);
        IoDeleteSymbolicLink(&link);
        port->dosName[0] = 0;
    }
    BindingExtension* binding = nullptr;
    KIRQL irql;
    KeAcquireSpinLock(&g_driverLock, &irql);
    port->started = false;
    port->removed = true;
    KeReleaseSpinLock(&g_driverLock, irql);
    binding = AcquireTable(port);
    if (binding != nullptr) {
        binding->table.setNotify(binding->table.context, port->portIndex, nullptr, nullptr);
        ReleaseTable(binding);
    }
    KeAcquireSpinLock(&g_driverLock, &irql);
    if (port->binding != nullptr) {
        port->binding->ports[port->portIndex] = nullptr;
        port->binding = nullptr;
    }
    KeReleaseSpinLock(&g_driverLock, irql);
    PortFailQueued(port, STATUS_DELETE_PENDING, true, true);
}

VOID Unlist(PortExtension* port)
{
    KIRQL irql;
    KeAcquireSpinLock(&g_driverLock, &irql);
    for (PortExtension** link = &g_ports; *link != nullptr; link = &(*link)->next) {
        if (*link == port) {
            *link = port->next;
            break;
        }
    }
    KeReleaseSpinLock(&g_driverLock, irql);
}

}  // namespace

NTSTATUS PortAddDevice(PDRIVER_OBJECT driver, PDEVICE_OBJECT pdo, ULONG portIndex, const WCHAR* location)
{
    WCHAR nameText[32];
    NTSTATUS status = RtlStringCbPrintfW(nameText, sizeof(nameText), L"\\Device\\QTRSerial%d",
                                         static_cast<int>(InterlockedIncrement(&g_portDeviceNumber) - 1));
    if (!NT_SUCCESS(status)) return status;
    UNICODE_STRING name;
    RtlInitUnicodeString(&name, nameText);
    PDEVICE_OBJECT device = nullptr;
    // Exclusive: a serial port has one opener at a time.
    status = IoCreateDevice(driver, sizeof(PortExtension), &name, FILE_DEVICE_SERIAL_PORT, FILE_DEVICE_SECURE_OPEN,
                            TRUE, &device);
    if (!NT_SUCCESS(status)) return status;
    auto* port = static_cast<PortExtension*>(device->DeviceExtension);
    RtlZeroMemory(port, sizeof(*port));
    port->kind = DeviceKind::kPort;
    port->self = device;
    port->pdo = pdo;
    port->portIndex = portIndex;
    RtlCopyMemory(port->deviceName, nameText, sizeof(port->deviceName));
    RtlCopyMemory(port->location, location, sizeof(port->location));
    port->location[kLocationCharacters - 1] = 0;
    PortInitializeIo(port);
    port->lower = IoAttachDeviceToDeviceStack(device, pdo);
    if (port->lower == nullptr) {
        IoDeleteDevice(device);
        return STATUS_NO_SUCH_DEVICE;
    }
    device->Flags |= DO_BUFFERED_IO | DO_POWER_PAGABLE;
    KIRQL irql;
    KeAcquireSpinLock(&g_driverLock, &irql);
    port->next = g_ports;
    g_ports = port;
    KeReleaseSpinLock(&g_driverLock, irql);
    device->Flags &= ~DO_DEVICE_INITIALIZING;
    return STATUS_SUCCESS;
}

NTSTATUS PortDispatchPnp(PortExtension* port, PIRP irp)
{
    switch (IoGetCurrentIrpStackLocation(irp)->MinorFunction) {
    case IRP_MN_START_DEVICE: {
        NTSTATUS status = ForwardAndWait(port->lower, irp);
        if (NT_SUCCESS(status)) status = StartPort(port);
        return CompleteIrp(irp, status, 0);
    }
    case IRP_MN_SURPRISE_REMOVAL:
        StopPort(port);
        irp->IoStatus.Status = STATUS_SUCCESS;
        return PassDown(port->lower, irp);
    case IRP_MN_REMOVE_DEVICE: {
        StopPort(port);
        Unlist(port);
        KeCancelTimer(&port->readTotalTimer);
        KeCancelTimer(&port->readIntervalTimer);
        KeCancelTimer(&port->writeTotalTimer);
        KeFlushQueuedDpcs();
        irp->IoStatus.Status = STATUS_SUCCESS;
        NTSTATUS status = PassDown(port->lower, irp);
        IoDetachDevice(port->lower);
        IoDeleteDevice(port->self);
        return status;
    }
    case IRP_MN_QUERY_REMOVE_DEVICE:
    case IRP_MN_QUERY_STOP_DEVICE:
    case IRP_MN_CANCEL_REMOVE_DEVICE:
    case IRP_MN_CANCEL_STOP_DEVICE:
    case IRP_MN_STOP_DEVICE:
        irp->IoStatus.Status = STATUS_SUCCESS;
        return PassDown(port->lower, irp);
    default:
        return PassDown(port->lower, irp);
    }
}

}  // namespace winsim::portdrv
