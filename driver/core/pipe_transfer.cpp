#include "core/pipe_transfer.h"

#include "core/io_count.h"
#include "core/lifecycle.h"
#include "core/pool_tags.h"
#include "core/selective_suspend.h"
#include "core/usb_request.h"

namespace {

// One request in flight, from its first stage to its last.
struct TransferContext {
    PURB urb;
    PMDL partialMdl;
    ULONG remaining;
    ULONG transferred;
    PUCHAR nextAddress;
    AdapterExtension* extension;
    ULONG stageLength;  // asked of the stage in flight; the URB then holds what moved
};

IO_COMPLETION_ROUTINE StageComplete;

ULONG StageLength(ULONG remaining) { return remaining < kPipeStageBytes ? remaining : kPipeStageBytes; }

VOID FreeContext(TransferContext* context)
{
    if (context->urb != nullptr) ExFreePoolWithTag(context->urb, kDriverPoolTag);
    if (context->partialMdl != nullptr) IoFreeMdl(context->partialMdl);
    ExFreePoolWithTag(context, kDriverPoolTag);
}

// Points the next stack location at the lower driver with the URB.
VOID PrepareStage(PIRP irp, TransferContext* context)
{
    PIO_STACK_LOCATION next = IoGetNextIrpStackLocation(irp);
    next->MajorFunction = IRP_MJ_INTERNAL_DEVICE_CONTROL;
    next->Parameters.DeviceIoControl.IoControlCode = IOCTL_INTERNAL_USB_SUBMIT_URB;
    next->Parameters.Others.Argument1 = context->urb;
    IoSetCompletionRoutine(irp, StageComplete, context, TRUE, TRUE, TRUE);
}

// Describes the next stage of the caller's buffer and advances past it.
VOID BuildStage(PIRP irp, TransferContext* context)
{
    const ULONG stage = StageLength(context->remaining);
    IoBuildPartialMdl(irp->MdlAddress, context->partialMdl, context->nextAddress, stage);
    context->urb->UrbBulkOrInterruptTransfer.TransferBufferLength = stage;
    context->stageLength = stage;
    context->nextAddress += stage;
    context->remaining -= stage;
}

NTSTATUS StageComplete(PDEVICE_OBJECT device, PIRP irp, PVOID contextPointer)
{
    UNREFERENCED_PARAMETER(device);
    auto* context = static_cast<TransferContext*>(contextPointer);
    AdapterExtension* extension = context->extension;
    NTSTATUS status = irp->IoStatus.Status;

    if (NT_SUCCESS(status)) {
        const ULONG asked = context->stageLength;
        const ULONG moved = context->urb->UrbBulkOrInterruptTransfer.TransferBufferLength;
        context->transferred += moved;
        // A short stage ends the request too: reading on into the next
        // piece of the buffer would leave a gap in the caller's data.
        const bool shortRead = moved < asked;
        if (context->remaining == 0 || shortRead) {
            irp->IoStatus.Information = context->transferred;
        } else {
            MmPrepareMdlForReuse(context->partialMdl);
            BuildStage(irp, context);
            PrepareStage(irp, context);
            IoCallDriver(extension->lowerDevice, irp);
            return STATUS_MORE_PROCESSING_REQUIRED;
        }
    }

    FreeContext(context);
    IoCountDecrement(extension);
    if (irp->PendingReturned) IoMarkIrpPending(irp);
    return status;
}

}  // namespace

PAGED_CODE_SEG
NTSTATUS DispatchReadWrite(PDEVICE_OBJECT device, PIRP irp)
{
    PAGED_CODE();
    AdapterExtension* extension = ExtensionOf(device);
    if (CurrentState(extension) != Working) return CompleteRequest(irp, STATUS_DELETE_PENDING, 0);
    SelectiveSuspendWaitUntilAwake(extension);

    PIO_STACK_LOCATION location = IoGetCurrentIrpStackLocation(irp);
    PFILE_OBJECT file = location->FileObject;
    auto* pipe = file != nullptr ? static_cast<PUSBD_PIPE_INFORMATION>(file->FsContext) : nullptr;
    if (pipe == nullptr || (pipe->PipeType != UsbdPipeTypeBulk && pipe->PipeType != UsbdPipeTypeInterrupt)) {
        return CompleteRequest(irp, STATUS_INVALID_HANDLE, 0);
    }
    const bool read = location->MajorFunction == IRP_MJ_READ;
    const ULONG length = read ? location->Parameters.Read.Length : location->Parameters.Write.Length;
    if (irp->MdlAddress == nullptr || length == 0) return CompleteRequest(irp, STATUS_SUCCESS, 0);
    if (length > kPipeTransferLimit) return CompleteRequest(irp, STATUS_INVALID_PARAMETER, 0);

    auto* context = static_cast<TransferContext*>(
        ExAllocatePoolWithTag(NonPagedPoolNx, sizeof(TransferContext), kDriverPoolTag));
    if (context == nullptr) return CompleteRequest(irp, STATUS_INSUFFICIENT_RESOURCES, 0);
    PUCHAR start = static_cast<PUCHAR>(MmGetMdlVirtualAddress(irp->MdlAddress));
    context->partialMdl = IoAllocateMdl(start, length, FALSE, FALSE, nullptr);
    context->urb = static_cast<PURB>(
        ExAllocatePoolWithTag(NonPagedPoolNx, sizeof(struct _URB_BULK_OR_INTERRUPT_TRANSFER), kDriverPoolTag));
    if (context->partialMdl == nullptr || context->urb == nullptr) {
        FreeContext(context);
        return CompleteRequest(irp, STATUS_INSUFFICIENT_RESOURCES, 0);
    }
    context->remaining = length;
    context->transferred = 0;
    context->nextAddress = start;
    context->extension = extension;

    RtlZeroMemory(context->urb, sizeof(struct _URB_BULK_OR_INTERRUPT_TRANSFER));
    const ULONG flags = read ? (USBD_TRANSFER_DIRECTION_IN | USBD_SHORT_TRANSFER_OK) : USBD_SHORT_TRANSFER_OK;
    UsbBuildInterruptOrBulkTransferRequest(context->urb, sizeof(struct _URB_BULK_OR_INTERRUPT_TRANSFER),
                                           pipe->PipeHandle, nullptr, context->partialMdl, 0, flags, nullptr);
    BuildStage(irp, context);
    PrepareStage(irp, context);
    IoMarkIrpPending(irp);
    IoCountIncrement(extension);
    const NTSTATUS status = IoCallDriver(extension->lowerDevice, irp);
    if (!NT_SUCCESS(status)) UsbRecoverFromRefusal(extension, pipe, status);
    return STATUS_PENDING;
}
