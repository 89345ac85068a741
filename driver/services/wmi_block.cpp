#include "services/wmi_block.h"

#include "common/guids.h"
#include "core/driver_globals.h"
#include "core/io_count.h"
#include "core/lifecycle.h"

ULONG wmiControlValue;

namespace {

const GUID kWmiDataBlock = QTR_WMI_DATA_BLOCK_GUID_INIT;
WMIGUIDREGINFO g_guidList[] = {{&kWmiDataBlock, 1, 0}};

constexpr WCHAR kBlockText[] = L"QTR84PX-1 USB adapter";
constexpr USHORT kBlockTextBytes = sizeof(kBlockText) - sizeof(WCHAR);
constexpr ULONG kBlockSize = sizeof(ULONG) + sizeof(USHORT) + kBlockTextBytes;

constexpr WCHAR kMofResourceName[] = L"MofResourceName";
constexpr ULONG kInitialControlValue = 3;

WMI_QUERY_REGINFO_CALLBACK QueryRegInfo;
NTSTATUS QueryRegInfo(PDEVICE_OBJECT device, PULONG regFlags, PUNICODE_STRING instanceName,
                      PUNICODE_STRING* registryPath, PUNICODE_STRING mofResourceName, PDEVICE_OBJECT* pdo)
{
    UNREFERENCED_PARAMETER(instanceName);
    *regFlags = WMIREG_FLAG_INSTANCE_PDO;
    *registryPath = &DriverRegistryPath;
    RtlInitUnicodeString(mofResourceName, kMofResourceName);
    *pdo = ExtensionOf(device)->pdo;
    return STATUS_SUCCESS;
}

WMI_QUERY_DATABLOCK_CALLBACK QueryDataBlock;
NTSTATUS QueryDataBlock(PDEVICE_OBJECT device, PIRP irp, ULONG guidIndex, ULONG instanceIndex, ULONG instanceCount,
                        PULONG instanceLengthArray, ULONG bufferAvail, PUCHAR buffer)
{
    UNREFERENCED_PARAMETER(instanceIndex);
    UNREFERENCED_PARAMETER(instanceCount);
    if (guidIndex != 0) return WmiCompleteRequest(device, irp, STATUS_WMI_GUID_NOT_FOUND, 0, IO_NO_INCREMENT);
    if (buffer == nullptr || instanceLengthArray == nullptr || bufferAvail < kBlockSize) {
        return WmiCompleteRequest(device, irp, STATUS_BUFFER_TOO_SMALL, kBlockSize, IO_NO_INCREMENT);
    }
    ULONG value = ReadULongNoFence(&wmiControlValue);
    USHORT textBytes = kBlockTextBytes;
    RtlCopyMemory(buffer, &value, sizeof(value));
    RtlCopyMemory(buffer + sizeof(value), &textBytes, sizeof(textBytes));
    RtlCopyMemory(buffer + sizeof(value) + sizeof(textBytes), kBlockText, kBlockTextBytes);
    instanceLengthArray[0] = kBlockSize;
    return WmiCompleteRequest(device, irp, STATUS_SUCCESS, kBlockSize, IO_NO_INCREMENT);
}

NTSTATUS SetValue(PDEVICE_OBJECT device, PIRP irp, ULONG bufferSize, PUCHAR buffer)
{
    if (bufferSize != sizeof(ULONG)) {
        return WmiCompleteRequest(device, irp, STATUS_INFO_LENGTH_MISMATCH, 0, IO_NO_INCREMENT);
    }
    ULONG value;
    RtlCopyMemory(&value, buffer, sizeof(value));
    WriteULongNoFence(&wmiControlValue, value);
    return WmiCompleteRequest(device, irp, STATUS_SUCCESS, sizeof(ULONG), IO_NO_INCREMENT);
}

WMI_SET_DATABLOCK_CALLBACK SetDataBlock;
NTSTATUS SetDataBlock(PDEVICE_OBJECT device, PIRP irp, ULONG guidIndex, ULONG instanceIndex, ULONG bufferSize,
                      PUCHAR buffer)
{
    UNREFERENCED_PARAMETER(instanceIndex);
    if (guidIndex != 0) return WmiCompleteRequest(device, irp, STATUS_WMI_GUID_NOT_FOUND, 0, IO_NO_INCREMENT);
    return SetValue(device, irp, bufferSize, buffer);
}

WMI_SET_DATAITEM_CALLBACK SetDataItem;
NTSTATUS SetDataItem(PDEVICE_OBJECT device, PIRP irp, ULONG guidIndex, ULONG instanceIndex, ULONG dataItemId,
                     ULONG bufferSize, PUCHAR buffer)
{
    UNREFERENCED_PARAMETER(instanceIndex);
    if (guidIndex != 0) return WmiCompleteRequest(device, irp, STATUS_WMI_GUID_NOT_FOUND, 0, IO_NO_INCREMENT);
    if (dataItemId != 1) return WmiCompleteRequest(device, irp, STATUS_WMI_ITEMID_NOT_FOUND, 0, IO_NO_INCREMENT);
    return SetValue(device, irp, bufferSize, buffer);
}

}  // namespace

VOID WmiBlockDriverInitialize()
{
    // Each load starts from the documented value, whatever an earlier load
    // of the image left behind.
    WriteULongNoFence(&wmiControlValue, kInitialControlValue);
}

VOID WmiBlockInitialize(AdapterExtension* extension)
{
    WMILIB_CONTEXT& context = extension->wmiContext;
    RtlZeroMemory(&context, sizeof(context));
    context.GuidCount = ARRAYSIZE(g_guidList);
    context.GuidList = g_guidList;
    context.QueryWmiRegInfo = QueryRegInfo;
    context.QueryWmiDataBlock = QueryDataBlock;
    context.SetWmiDataBlock = SetDataBlock;
    context.SetWmiDataItem = SetDataItem;
}

VOID WmiBlockDeregister(AdapterExtension* extension)
{
    IoWMIRegistrationControl(extension->self, WMIREG_ACTION_DEREGISTER);
}

PAGED_CODE_SEG
NTSTATUS DispatchSystemControl(PDEVICE_OBJECT device, PIRP irp)
{
    PAGED_CODE();
    AdapterExtension* extension = ExtensionOf(device);
    if (CurrentState(extension) == Removed) return CompleteRequest(irp, STATUS_NO_SUCH_DEVICE, 0);

    IoCountIncrement(extension);
    SYSCTL_IRP_DISPOSITION disposition;
    NTSTATUS status = WmiSystemControl(&extension->wmiContext, device, irp, &disposition);
    switch (disposition) {
    case IrpProcessed: break;
    case IrpNotCompleted: IoCompleteRequest(irp, IO_NO_INCREMENT); break;
    case IrpNotWmi:
    case IrpForward:
    default:
        IoSkipCurrentIrpStackLocation(irp);
        status = IoCallDriver(extension->lowerDevice, irp);
        break;
    }
    IoCountDecrement(extension);
    return status;
}
