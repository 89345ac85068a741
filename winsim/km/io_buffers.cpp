#include "km/io_buffers.h"

#include <km_ex.h>

#include <algorithm>
#include <cstring>

#include "km/io_irp_record.h"
#include "km/io_objects.h"
#include "km/io_pool_tags.h"

namespace winsim::io {

namespace {

void RecordOutputLength(PIRP irp, ULONG length)
{
    std::lock_guard lk(IrpTableLock());
    if (IrpRecord* record = FindIrpLocked(irp)) record->outputLength = length;
}

// The copy is not cleared beyond the input, as on Windows: a driver that
// returns more than it wrote hands back whatever the pool held.
NTSTATUS AttachSystemBuffer(PIRP irp, ULONG size, const void* input, ULONG inputLength)
{
    PVOID buffer = ExAllocatePoolWithTag(NonPagedPoolNx, size, kTagSystemBuffer);
    if (buffer == nullptr) return STATUS_INSUFFICIENT_RESOURCES;
    if (input != nullptr && inputLength != 0) std::memcpy(buffer, input, inputLength);
    irp->AssociatedIrp.SystemBuffer = buffer;
    irp->Flags |= kIrpBufferedIo | kIrpDeallocateBuffer;
    return STATUS_SUCCESS;
}

NTSTATUS AttachLockedMdl(PIRP irp, PVOID buffer, ULONG length, LOCK_OPERATION operation)
{
    PMDL mdl = IoAllocateMdl(buffer, length, FALSE, FALSE, irp);
    if (mdl == nullptr) return STATUS_INSUFFICIENT_RESOURCES;
    MmProbeAndLockPages(mdl, KernelMode, operation);
    return STATUS_SUCCESS;
}

}  // namespace

NTSTATUS PrepareControlBuffers(PIRP irp, ULONG ioControlCode, PVOID input, ULONG inputLength, PVOID output,
                               ULONG outputLength)
{
    PIO_STACK_LOCATION next = IoGetNextIrpStackLocation(irp);
    next->Parameters.DeviceIoControl.IoControlCode = ioControlCode;
    next->Parameters.DeviceIoControl.InputBufferLength = inputLength;
    next->Parameters.DeviceIoControl.OutputBufferLength = outputLength;
    RecordOutputLength(irp, outputLength);
    NTSTATUS status = STATUS_SUCCESS;
    switch (METHOD_FROM_CTL_CODE(ioControlCode)) {
    case METHOD_BUFFERED:
        if (std::max(inputLength, outputLength) != 0) {
            status = AttachSystemBuffer(irp, std::max(inputLength, outputLength), input, inputLength);
            if (NT_SUCCESS(status) && output != nullptr && outputLength != 0) {
                irp->Flags |= kIrpInputOperation;
                irp->UserBuffer = output;
            }
        }
        break;
    case METHOD_IN_DIRECT:
    case METHOD_OUT_DIRECT:
        if (inputLength != 0) status = AttachSystemBuffer(irp, inputLength, input, inputLength);
        if (NT_SUCCESS(status) && outputLength != 0) {
            LOCK_OPERATION operation =
                METHOD_FROM_CTL_CODE(ioControlCode) == METHOD_IN_DIRECT ? IoReadAccess : IoWriteAccess;
            status = AttachLockedMdl(irp, output, outputLength, operation);
        }
        break;
    default:
        next->Parameters.DeviceIoControl.Type3InputBuffer = input;
        irp->UserBuffer = output;
        break;
    }
    return status;
}

NTSTATUS PrepareTransferBuffers(PIRP irp, PDEVICE_OBJECT device, bool read, PVOID buffer, ULONG length)
{
    PIO_STACK_LOCATION next = IoGetNextIrpStackLocation(irp);
    next->Parameters.Read.Length = length;  // Write has the same layout
    irp->Flags |= read ? kIrpReadOperation : kIrpWriteOperation;
    RecordOutputLength(irp, read ? length : 0);
    irp->UserBuffer = buffer;
    if (length == 0) return STATUS_SUCCESS;
    if ((device->Flags & DO_BUFFERED_IO) != 0) {
        NTSTATUS status = AttachSystemBuffer(irp, length, read ? nullptr : buffer, read ? 0 : length);
        if (NT_SUCCESS(status) && read) irp->Flags |= kIrpInputOperation;
        return status;
    }
    if ((device->Flags & DO_DIRECT_IO) != 0) {
        // A read writes into the caller's pages, a write reads from them.
        return AttachLockedMdl(irp, buffer, length, read ? IoWriteAccess : IoReadAccess);
    }
    return STATUS_SUCCESS;
}

void DiscardBuffers(PIRP irp)
{
    if ((irp->Flags & kIrpDeallocateBuffer) != 0 && irp->AssociatedIrp.SystemBuffer != nullptr) {
        ExFreePoolWithTag(irp->AssociatedIrp.SystemBuffer, kTagSystemBuffer);
        irp->AssociatedIrp.SystemBuffer = nullptr;
    }
    for (PMDL mdl = irp->MdlAddress; mdl != nullptr;) {
        PMDL next = mdl->Next;
        if ((mdl->MdlFlags & MDL_PAGES_LOCKED) != 0) MmUnlockPages(mdl);
        IoFreeMdl(mdl);
        mdl = next;
    }
    irp->MdlAddress = nullptr;
}

}  // namespace winsim::io
