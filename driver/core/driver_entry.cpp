// Driver entry and unload.
#include "kernel.h"
#include "core/pool_tags.h"

namespace {

// The service key path, kept for the driver's lifetime (WMI registration
// hands it back to the system).
UNICODE_STRING g_registryPath;

void DriverUnload(PDRIVER_OBJECT driverObject)
{
    UNREFERENCED_PARAMETER(driverObject);
    if (g_registryPath.Buffer != nullptr) {
        ExFreePoolWithTag(g_registryPath.Buffer, kDriverPoolTag);
        g_registryPath.Buffer = nullptr;
    }
}

}  // namespace

extern "C" NTSTATUS DriverEntry(PDRIVER_OBJECT driverObject, PUNICODE_STRING registryPath)
{
    // Two bytes beyond the path, zero-filled, so the copy is terminated.
    const USHORT size = static_cast<USHORT>(registryPath->Length + sizeof(WCHAR));
    g_registryPath.Buffer = static_cast<PWCH>(ExAllocatePoolWithTag(NonPagedPool, size, kDriverPoolTag));
    if (g_registryPath.Buffer == nullptr) {
        return STATUS_INSUFFICIENT_RESOURCES;
    }
    RtlZeroMemory(g_registryPath.Buffer, size);
    g_registryPath.MaximumLength = size;
    RtlCopyUnicodeString(&g_registryPath, registryPath);

    driverObject->DriverUnload = DriverUnload;
    return STATUS_SUCCESS;
}
