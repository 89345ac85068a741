// WMI library: dispatch of IRP_MJ_SYSTEM_CONTROL to a driver's WMI callbacks
// and completion of the WNODEs they fill.
//
// The requests are laid out as WMI sends them: Parameters.WMI.ProviderId is
// the target device object, DataPath points to the data block's GUID
// (registration requests: WMIREGISTER or WMIUPDATE instead), Buffer and
// BufferSize hold the WNODE or, for registration, the WMIREGINFO to fill.
// Instances are addressed by index (WNODE_FLAG_STATIC_INSTANCE_NAMES), since
// WMILIB registers instance names by PDO or by base name.
#include "km_ex.h"
#include "km_io.h"
#include "km_ke.h"
#include "km_rtl.h"
#include "wmilib.h"
#include "wmistr.h"

namespace {

bool FindGuid(const WMILIB_CONTEXT* info, const GUID* guid, ULONG* index)
{
    if (guid == nullptr || info->GuidList == nullptr) {
        return false;
    }
    for (ULONG i = 0; i < info->GuidCount; ++i) {
        if (info->GuidList[i].Guid != nullptr && IsEqualGUID(*info->GuidList[i].Guid, *guid)) {
            *index = i;
            return true;
        }
    }
    return false;
}

SYSCTL_IRP_DISPOSITION LeaveForDriver(PIRP irp, NTSTATUS status, ULONG_PTR information = 0)
{
    irp->IoStatus.Status = status;
    irp->IoStatus.Information = information;
    return IrpNotCompleted;
}

bool HasText(PCUNICODE_STRING s)
{
    return s != nullptr && s->Buffer != nullptr && s->Length != 0;
}

// Registration strings are counted: a USHORT byte count, then the characters.
ULONG CountedSize(PCUNICODE_STRING s)
{
    return sizeof(USHORT) + (HasText(s) ? s->Length : 0);
}

void PutCounted(PUCHAR at, PCUNICODE_STRING s)
{
    const USHORT length = HasText(s) ? s->Length : 0;
    RtlCopyMemory(at, &length, sizeof(length));
    if (length != 0) {
        RtlCopyMemory(at + sizeof(length), s->Buffer, length);
    }
}

SYSCTL_IRP_DISPOSITION RegInfo(PWMILIB_CONTEXT info, PDEVICE_OBJECT device, PIRP irp,
                               PIO_STACK_LOCATION stack)
{
    if (info->QueryWmiRegInfo == nullptr || info->GuidCount == 0 || info->GuidList == nullptr) {
        return LeaveForDriver(irp, STATUS_INVALID_DEVICE_REQUEST);
    }
    ULONG regFlags = 0;
    UNICODE_STRING instanceName = {0, 0, nullptr};
    UNICODE_STRING mofResourceName = {0, 0, nullptr};
    PUNICODE_STRING registryPath = nullptr;
    PDEVICE_OBJECT pdo = nullptr;
    NTSTATUS status =
        info->QueryWmiRegInfo(device, &regFlags, &instanceName, &registryPath, &mofResourceName, &pdo);
    const bool byPdo = (regFlags & WMIREG_FLAG_INSTANCE_PDO) != 0;
    if (NT_SUCCESS(status) && byPdo && pdo == nullptr) {
        status = STATUS_INVALID_DEVICE_REQUEST;
    }

    ULONG_PTR information = 0;
    if (NT_SUCCESS(status)) {
        // Layout: header, one WMIREGGUID per GUID, then the counted strings.
        ULONG64 offset =
            FIELD_OFFSET(WMIREGINFOW, WmiRegGuid) + ULONG64{info->GuidCount} * sizeof(WMIREGGUIDW);
        ULONG64 nameOffset = 0;
        ULONG64 registryOffset = 0;
        ULONG64 mofOffset = 0;
        if (!byPdo) {
            nameOffset = offset;
            offset += CountedSize(&instanceName);
        }
        if (HasText(registryPath)) {
            registryOffset = offset;
            offset += CountedSize(registryPath);
        }
        if (HasText(&mofResourceName)) {
            mofOffset = offset;
            offset += CountedSize(&mofResourceName);
        }

        auto* buffer = static_cast<PUCHAR>(stack->Parameters.WMI.Buffer);
        const ULONG bufferSize = stack->Parameters.WMI.BufferSize;
        if (offset > bufferSize || buffer == nullptr) {
            // WMI asks again with a buffer of the size written here.
            if (buffer != nullptr && bufferSize >= sizeof(ULONG)) {
                const ULONG needed = offset > MAXULONG ? MAXULONG : static_cast<ULONG>(offset);
                RtlCopyMemory(buffer, &needed, sizeof(needed));
                information = sizeof(ULONG);
            }
            status = STATUS_BUFFER_TOO_SMALL;
        } else {
            auto* regInfo = reinterpret_cast<PWMIREGINFOW>(buffer);
            RtlZeroMemory(buffer, static_cast<SIZE_T>(offset));
            regInfo->BufferSize = static_cast<ULONG>(offset);
            regInfo->NextWmiRegInfo = 0;
            regInfo->RegistryPath = static_cast<ULONG>(registryOffset);
            regInfo->MofResourceName = static_cast<ULONG>(mofOffset);
            regInfo->GuidCount = info->GuidCount;
            for (ULONG i = 0; i < info->GuidCount; ++i) {
                PWMIREGGUIDW guid = &regInfo->WmiRegGuid[i];
                guid->Guid = *info->GuidList[i].Guid;
                guid->InstanceCount = info->GuidList[i].InstanceCount;
                guid->Flags = info->GuidList[i].Flags | regFlags;
                if (byPdo) {
                    guid->Pdo = reinterpret_cast<ULONG_PTR>(pdo);
                    // WMI dereferences the PDO of each entry it is handed
                    // through IRP_MN_REGINFO_EX.
                    if (stack->MinorFunction == IRP_MN_REGINFO_EX) {
                        ObReferenceObject(pdo);
                    }
                } else {
                    guid->Flags |= WMIREG_FLAG_INSTANCE_BASENAME;
                    guid->BaseNameOffset = static_cast<ULONG>(nameOffset);
                }
            }
            if (!byPdo) {
                PutCounted(buffer + nameOffset, &instanceName);
            }
            if (registryOffset != 0) {
                PutCounted(buffer + registryOffset, registryPath);
            }
            if (mofOffset != 0) {
                PutCounted(buffer + mofOffset, &mofResourceName);
            }
            information = static_cast<ULONG_PTR>(offset);
        }
    }
    // The base name was allocated by the callback and is ours to free.
    if (instanceName.Buffer != nullptr) {
        ExFreePool(instanceName.Buffer);
    }
    return LeaveForDriver(irp, status, information);
}

// Smallest buffer each request's WNODE needs before anything can be read from
// or written to it.
ULONG FixedWnodeSize(UCHAR minor)
{
    switch (minor) {
    case IRP_MN_QUERY_ALL_DATA:
        return FIELD_OFFSET(WNODE_ALL_DATA, OffsetInstanceDataAndLength);
    case IRP_MN_QUERY_SINGLE_INSTANCE:
    case IRP_MN_CHANGE_SINGLE_INSTANCE:
        return FIELD_OFFSET(WNODE_SINGLE_INSTANCE, VariableData);
    case IRP_MN_CHANGE_SINGLE_ITEM:
        return FIELD_OFFSET(WNODE_SINGLE_ITEM, VariableData);
    case IRP_MN_EXECUTE_METHOD:
        return FIELD_OFFSET(WNODE_METHOD_ITEM, VariableData);
    default:
        return 0;
    }
}

bool AddressesOneInstance(UCHAR minor)
{
    return minor == IRP_MN_QUERY_SINGLE_INSTANCE || minor == IRP_MN_CHANGE_SINGLE_INSTANCE ||
           minor == IRP_MN_CHANGE_SINGLE_ITEM || minor == IRP_MN_EXECUTE_METHOD;
}

// The data an incoming change or method request carries must lie inside the
// buffer.
bool DataInside(ULONG offset, ULONG size, ULONG bufferSize)
{
    return ULONG64{offset} + size <= bufferSize;
}

// Converts a status of STATUS_BUFFER_TOO_SMALL into the WNODE_TOO_SMALL
// answer WMI expects, when the buffer can hold one.
ULONG_PTR ReportTooSmall(PUCHAR buffer, ULONG bufferSize, ULONG64 needed, NTSTATUS* status)
{
    if (bufferSize < sizeof(WNODE_TOO_SMALL)) {
        return 0;
    }
    auto* tooSmall = reinterpret_cast<PWNODE_TOO_SMALL>(buffer);
    tooSmall->WnodeHeader.BufferSize = sizeof(WNODE_TOO_SMALL);
    tooSmall->WnodeHeader.Flags = WNODE_FLAG_TOO_SMALL;
    tooSmall->SizeNeeded = needed > MAXULONG ? MAXULONG : static_cast<ULONG>(needed);
    *status = STATUS_SUCCESS;
    return sizeof(WNODE_TOO_SMALL);
}

}  // namespace

extern "C" {

NTSTATUS WmiSystemControl(PWMILIB_CONTEXT WmiLibInfo, PDEVICE_OBJECT DeviceObject, PIRP Irp,
                          PSYSCTL_IRP_DISPOSITION IrpDisposition)
{
    PIO_STACK_LOCATION stack = IoGetCurrentIrpStackLocation(Irp);
    if (stack->MajorFunction != IRP_MJ_SYSTEM_CONTROL) {
        *IrpDisposition = IrpNotWmi;
        return Irp->IoStatus.Status;
    }
    if (stack->Parameters.WMI.ProviderId != reinterpret_cast<ULONG_PTR>(DeviceObject)) {
        *IrpDisposition = IrpForward;
        return Irp->IoStatus.Status;
    }

    const UCHAR minor = stack->MinorFunction;
    if (minor == IRP_MN_REGINFO || minor == IRP_MN_REGINFO_EX) {
        *IrpDisposition = RegInfo(WmiLibInfo, DeviceObject, Irp, stack);
        return Irp->IoStatus.Status;
    }
    if (minor > IRP_MN_EXECUTE_METHOD) {
        *IrpDisposition = IrpNotWmi;
        return Irp->IoStatus.Status;
    }

    ULONG guidIndex = 0;
    if (!FindGuid(WmiLibInfo, static_cast<const GUID*>(stack->Parameters.WMI.DataPath), &guidIndex)) {
        *IrpDisposition = LeaveForDriver(Irp, STATUS_WMI_GUID_NOT_FOUND);
        return STATUS_WMI_GUID_NOT_FOUND;
    }
    auto* buffer = static_cast<PUCHAR>(stack->Parameters.WMI.Buffer);
    const ULONG bufferSize = stack->Parameters.WMI.BufferSize;
    if (FixedWnodeSize(minor) != 0 && (buffer == nullptr || bufferSize < FixedWnodeSize(minor))) {
        *IrpDisposition = LeaveForDriver(Irp, STATUS_BUFFER_TOO_SMALL);
        return STATUS_BUFFER_TOO_SMALL;
    }
    // The single-instance, single-item and method WNODEs share this prefix.
    auto* single = reinterpret_cast<PWNODE_SINGLE_INSTANCE>(buffer);
    if (AddressesOneInstance(minor) &&
        ((single->WnodeHeader.Flags & WNODE_FLAG_STATIC_INSTANCE_NAMES) == 0 ||
         single->InstanceIndex >= WmiLibInfo->GuidList[guidIndex].InstanceCount)) {
        *IrpDisposition = LeaveForDriver(Irp, STATUS_WMI_INSTANCE_NOT_FOUND);
        return STATUS_WMI_INSTANCE_NOT_FOUND;
    }

    NTSTATUS status = STATUS_SUCCESS;
    switch (minor) {
    case IRP_MN_QUERY_ALL_DATA: {
        if (WmiLibInfo->QueryWmiDataBlock == nullptr) {
            status = STATUS_INVALID_DEVICE_REQUEST;
            break;
        }
        auto* all = reinterpret_cast<PWNODE_ALL_DATA>(buffer);
        const ULONG instances = WmiLibInfo->GuidList[guidIndex].InstanceCount;
        // Instance table, then the data 8-byte aligned.
        const ULONG64 dataOffset = (FIELD_OFFSET(WNODE_ALL_DATA, OffsetInstanceDataAndLength) +
                                    ULONG64{instances} * sizeof(OFFSETINSTANCEDATAANDLENGTH) + 7) &
                                   ~ULONG64{7};
        all->InstanceCount = instances;
        all->WnodeHeader.Flags &= ~WNODE_FLAG_FIXED_INSTANCE_SIZE;
        all->DataBlockOffset = dataOffset > MAXULONG ? MAXULONG : static_cast<ULONG>(dataOffset);
        PULONG lengths = nullptr;
        ULONG available = 0;
        PUCHAR data = nullptr;
        if (dataOffset <= bufferSize) {
            // The callback writes plain lengths; WmiCompleteRequest spreads
            // them into offset/length pairs.
            lengths = reinterpret_cast<PULONG>(&all->OffsetInstanceDataAndLength[0]);
            available = bufferSize - static_cast<ULONG>(dataOffset);
            data = buffer + dataOffset;
        }
        *IrpDisposition = IrpProcessed;
        return WmiLibInfo->QueryWmiDataBlock(DeviceObject, Irp, guidIndex, 0, instances, lengths, available,
                                             data);
    }
    case IRP_MN_QUERY_SINGLE_INSTANCE: {
        if (WmiLibInfo->QueryWmiDataBlock == nullptr) {
            status = STATUS_INVALID_DEVICE_REQUEST;
            break;
        }
        const ULONG offset = single->DataBlockOffset;
        const bool fits = offset <= bufferSize;
        *IrpDisposition = IrpProcessed;
        return WmiLibInfo->QueryWmiDataBlock(DeviceObject, Irp, guidIndex, single->InstanceIndex, 1,
                                             &single->SizeDataBlock, fits ? bufferSize - offset : 0,
                                             fits ? buffer + offset : nullptr);
    }
    case IRP_MN_CHANGE_SINGLE_INSTANCE: {
        if (WmiLibInfo->SetWmiDataBlock == nullptr) {
            status = STATUS_WMI_READ_ONLY;
            break;
        }
        if (!DataInside(single->DataBlockOffset, single->SizeDataBlock, bufferSize)) {
            status = STATUS_INVALID_PARAMETER;
            break;
        }
        *IrpDisposition = IrpProcessed;
        return WmiLibInfo->SetWmiDataBlock(DeviceObject, Irp, guidIndex, single->InstanceIndex,
                                           single->SizeDataBlock, buffer + single->DataBlockOffset);
    }
    case IRP_MN_CHANGE_SINGLE_ITEM: {
        auto* item = reinterpret_cast<PWNODE_SINGLE_ITEM>(buffer);
        if (WmiLibInfo->SetWmiDataItem == nullptr) {
            status = STATUS_WMI_READ_ONLY;
            break;
        }
        if (!DataInside(item->DataBlockOffset, item->SizeDataItem, bufferSize)) {
            status = STATUS_INVALID_PARAMETER;
            break;
        }
        *IrpDisposition = IrpProcessed;
        return WmiLibInfo->SetWmiDataItem(DeviceObject, Irp, guidIndex, item->InstanceIndex, item->ItemId,
                                          item->SizeDataItem, buffer + item->DataBlockOffset);
    }
    case IRP_MN_EXECUTE_METHOD: {
        auto* method = reinterpret_cast<PWNODE_METHOD_ITEM>(buffer);
        if (WmiLibInfo->ExecuteWmiMethod == nullptr) {
            status = STATUS_INVALID_DEVICE_REQUEST;
            break;
        }
        if (!DataInside(method->DataBlockOffset, method->SizeDataBlock, bufferSize)) {
            status = STATUS_INVALID_PARAMETER;
            break;
        }
        *IrpDisposition = IrpProcessed;
        return WmiLibInfo->ExecuteWmiMethod(
            DeviceObject, Irp, guidIndex, method->InstanceIndex, method->MethodId, method->SizeDataBlock,
            bufferSize - method->DataBlockOffset, buffer + method->DataBlockOffset);
    }
    case IRP_MN_ENABLE_EVENTS:
    case IRP_MN_DISABLE_EVENTS:
    case IRP_MN_ENABLE_COLLECTION:
    case IRP_MN_DISABLE_COLLECTION: {
        if (WmiLibInfo->WmiFunctionControl == nullptr) {
            break;  // nothing to switch: success
        }
        const WMIENABLEDISABLECONTROL function =
            (minor == IRP_MN_ENABLE_EVENTS || minor == IRP_MN_DISABLE_EVENTS) ? WmiEventControl
                                                                              : WmiDataBlockControl;
        const BOOLEAN enable =
            (minor == IRP_MN_ENABLE_EVENTS || minor == IRP_MN_ENABLE_COLLECTION) ? TRUE : FALSE;
        *IrpDisposition = IrpProcessed;
        return WmiLibInfo->WmiFunctionControl(DeviceObject, Irp, guidIndex, function, enable);
    }
    default:
        *IrpDisposition = IrpNotWmi;
        return Irp->IoStatus.Status;
    }
    *IrpDisposition = LeaveForDriver(Irp, status);
    return status;
}

NTSTATUS WmiCompleteRequest(PDEVICE_OBJECT DeviceObject, PIRP Irp, NTSTATUS Status, ULONG BufferUsed,
                            CCHAR PriorityBoost)
{
    UNREFERENCED_PARAMETER(DeviceObject);
    PIO_STACK_LOCATION stack = IoGetCurrentIrpStackLocation(Irp);
    auto* buffer = static_cast<PUCHAR>(stack->Parameters.WMI.Buffer);
    const ULONG bufferSize = stack->Parameters.WMI.BufferSize;
    ULONG_PTR information = 0;

    switch (stack->MinorFunction) {
    case IRP_MN_QUERY_ALL_DATA: {
        auto* all = reinterpret_cast<PWNODE_ALL_DATA>(buffer);
        const ULONG64 needed = ULONG64{all->DataBlockOffset} + BufferUsed;
        if (NT_SUCCESS(Status) && needed > bufferSize) {
            Status = STATUS_BUFFER_TOO_SMALL;
        }
        if (Status == STATUS_BUFFER_TOO_SMALL) {
            information = ReportTooSmall(buffer, bufferSize, needed, &Status);
            break;
        }
        if (!NT_SUCCESS(Status)) {
            break;
        }
        KeQuerySystemTime(&all->WnodeHeader.TimeStamp);
        all->WnodeHeader.BufferSize = static_cast<ULONG>(needed);
        // Lengths were written as a packed ULONG array over the pair table:
        // spread them from the last, then lay the offsets out forwards.
        const ULONG instances = all->InstanceCount;
        auto* lengths = reinterpret_cast<PULONG>(&all->OffsetInstanceDataAndLength[0]);
        POFFSETINSTANCEDATAANDLENGTH pairs = &all->OffsetInstanceDataAndLength[0];
        for (ULONG i = instances; i != 0; --i) {
            pairs[i - 1].LengthInstanceData = lengths[i - 1];
        }
        ULONG offset = all->DataBlockOffset;
        for (ULONG i = 0; i < instances; ++i) {
            pairs[i].OffsetInstanceData = offset;
            offset = (offset + pairs[i].LengthInstanceData + 7) & ~7u;
        }
        information = static_cast<ULONG_PTR>(needed);
        break;
    }
    case IRP_MN_QUERY_SINGLE_INSTANCE:
    case IRP_MN_EXECUTE_METHOD: {
        // The two WNODEs keep their data offset in different places.
        const bool method = stack->MinorFunction == IRP_MN_EXECUTE_METHOD;
        auto* single = reinterpret_cast<PWNODE_SINGLE_INSTANCE>(buffer);
        auto* methodItem = reinterpret_cast<PWNODE_METHOD_ITEM>(buffer);
        const ULONG dataOffset = method ? methodItem->DataBlockOffset : single->DataBlockOffset;
        const ULONG64 needed = ULONG64{dataOffset} + BufferUsed;
        if (NT_SUCCESS(Status) && needed > bufferSize) {
            Status = STATUS_BUFFER_TOO_SMALL;
        }
        if (Status == STATUS_BUFFER_TOO_SMALL) {
            information = ReportTooSmall(buffer, bufferSize, needed, &Status);
            break;
        }
        if (!NT_SUCCESS(Status)) {
            break;
        }
        single->WnodeHeader.BufferSize = static_cast<ULONG>(needed);
        if (method) {
            methodItem->SizeDataBlock = BufferUsed;
        } else {
            KeQuerySystemTime(&single->WnodeHeader.TimeStamp);
        }
        information = static_cast<ULONG_PTR>(needed);
        break;
    }
    default:
        // Changes and enable/disable requests return no data.
        break;
    }

    Irp->IoStatus.Status = Status;
    Irp->IoStatus.Information = information;
    IoCompleteRequest(Irp, PriorityBoost);
    return Status;
}

}  // extern "C"
