// Driver entry and unload.
#include "core/adapter_table.h"
#include "core/driver_globals.h"
#include "core/lifecycle.h"
#include "core/pipe_transfer.h"
#include "core/pool_tags.h"
#include "core/power_dispatch.h"
#include "services/control_dispatch.h"
#include "services/event_log.h"
#include "services/monitor.h"
#include "services/wmi_block.h"

UNICODE_STRING DriverRegistryPath;

extern "C" DRIVER_INITIALIZE DriverEntry;
#ifdef ALLOC_PRAGMA
#pragma alloc_text(INIT, DriverEntry)
#endif

namespace {

DRIVER_UNLOAD DriverUnload;

PAGED_CODE_SEG
VOID DriverUnload(PDRIVER_OBJECT driverObject)
{
    PAGED_CODE();
    UNREFERENCED_PARAMETER(driverObject);
    if (DriverRegistryPath.Buffer != nullptr) {
        ExFreePoolWithTag(DriverRegistryPath.Buffer, kDriverPoolTag);
        DriverRegistryPath.Buffer = nullptr;
    }
}

}  // namespace

extern "C" NTSTATUS DriverEntry(PDRIVER_OBJECT driverObject, PUNICODE_STRING registryPath)
{
    // Two bytes beyond the path, zero-filled, so the copy is terminated.
    const USHORT size = static_cast<USHORT>(registryPath->Length + sizeof(WCHAR));
    DriverRegistryPath.Buffer = static_cast<PWCH>(ExAllocatePoolWithTag(NonPagedPoolNx, size, kDriverPoolTag));
    if (DriverRegistryPath.Buffer == nullptr) return STATUS_INSUFFICIENT_RESOURCES;
    RtlZeroMemory(DriverRegistryPath.Buffer, size);
    DriverRegistryPath.Length = 0;
    DriverRegistryPath.MaximumLength = size;
    RtlCopyUnicodeString(&DriverRegistryPath, registryPath);

    driverObject->MajorFunction[IRP_MJ_CREATE] = DispatchCreate;
    driverObject->MajorFunction[IRP_MJ_CLOSE] = DispatchClose;
    driverObject->MajorFunction[IRP_MJ_CLEANUP] = DispatchCleanup;
    driverObject->MajorFunction[IRP_MJ_READ] = DispatchReadWrite;
    driverObject->MajorFunction[IRP_MJ_WRITE] = DispatchReadWrite;
    driverObject->MajorFunction[IRP_MJ_DEVICE_CONTROL] = DispatchDeviceControl;
    driverObject->MajorFunction[IRP_MJ_POWER] = DispatchPower;
    driverObject->MajorFunction[IRP_MJ_SYSTEM_CONTROL] = DispatchSystemControl;
    driverObject->MajorFunction[IRP_MJ_PNP] = DispatchPnp;
    driverObject->DriverUnload = DriverUnload;
    driverObject->DriverExtension->AddDevice = AdapterAddDevice;

    AdapterTableInitialize();
    EventLogInitialize();
    MonitorInitialize();
    WmiBlockDriverInitialize();
    return STATUS_SUCCESS;
}
