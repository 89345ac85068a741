#include "core/usb_request.h"

#include "core/io_count.h"
#include "core/pool_tags.h"

namespace {

struct MessageTransfer {
    PURB urb;
    MessageRequest* request;
    AdapterExtension* extension;
};

NTSTATUS SendInternalRequest(AdapterExtension* extension, ULONG code, PVOID argument1)
{
    KEVENT event;
    IO_STATUS_BLOCK ioStatus;
    KeInitializeEvent(&event, NotificationEvent, FALSE);
    PIRP irp = IoBuildDeviceIoControlRequest(code, extension->lowerDevice, nullptr, 0, nullptr, 0, TRUE, &event,
                                             &ioStatus);
    if (irp == nullptr) return STATUS_INSUFFICIENT_RESOURCES;
    IoGetNextIrpStackLocation(irp)->Parameters.Others.Argument1 = argument1;

    IoCountIncrement(extension);
    NTSTATUS status = IoCallDriver(extension->lowerDevice, irp);
    if (status == STATUS_PENDING) {
        KeWaitForSingleObject(&event, Executive, KernelMode, FALSE, nullptr);
        status = ioStatus.Status;
    }
    IoCountDecrement(extension);
    return status;
}

IO_COMPLETION_ROUTINE MessageTransferComplete;
NTSTATUS MessageTransferComplete(PDEVICE_OBJECT device, PIRP irp, PVOID context)
{
    UNREFERENCED_PARAMETER(device);
    auto* transfer = static_cast<MessageTransfer*>(context);
    MessageRequest* request = transfer->request;
    AdapterExtension* extension = transfer->extension;

    request->status = irp->IoStatus.Status;
    request->refusedAtOnce = !NT_SUCCESS(irp->IoStatus.Status) && !irp->PendingReturned ? 1 : 0;
    request->transferred = NT_SUCCESS(irp->IoStatus.Status)
                               ? static_cast<LONG>(transfer->urb->UrbBulkOrInterruptTransfer.TransferBufferLength)
                               : 0;
    // The request's handler touches the adapter's state: it runs while the
    // transfer still counts as outstanding, so removal cannot free that state
    // under it.
    request->complete(request);
    ExFreePoolWithTag(transfer->urb, kDriverPoolTag);
    ExFreePoolWithTag(transfer, kDriverPoolTag);
    IoFreeIrp(irp);
    IoCountDecrement(extension);
    return STATUS_MORE_PROCESSING_REQUIRED;
}

}  // namespace

MessageRequest* AllocateMessageRequest(AdapterExtension* extension, UCHAR inbound, ULONG length, LONG port,
                                       MessageComplete complete)
{
    auto* request = static_cast<MessageRequest*>(
        ExAllocatePoolWithTag(NonPagedPoolNx, sizeof(MessageRequest), kDriverPoolTag));
    if (request == nullptr) return nullptr;
    request->buffer = static_cast<PUCHAR>(ExAllocatePoolWithTag(NonPagedPoolNx, kMessageBufferSize, kDriverPoolTag));
    if (request->buffer == nullptr) {
        ExFreePoolWithTag(request, kDriverPoolTag);
        return nullptr;
    }
    RtlZeroMemory(request->buffer, kMessageBufferSize);
    request->status = STATUS_SUCCESS;
    request->length = length;
    request->transferred = 0;
    request->inbound = inbound;
    request->port = port;
    request->complete = complete;
    request->device = extension->self;
    request->refusedAtOnce = 0;
    return request;
}

VOID FreeMessageRequest(MessageRequest* request)
{
    ExFreePoolWithTag(request->buffer, kDriverPoolTag);
    ExFreePoolWithTag(request, kDriverPoolTag);
}

NTSTATUS UsbSubmitUrbSynchronously(AdapterExtension* extension, PURB urb)
{
    return SendInternalRequest(extension, IOCTL_INTERNAL_USB_SUBMIT_URB, urb);
}

NTSTATUS UsbSendMessage(AdapterExtension* extension, MessageRequest* request)
{
    if (request == nullptr) return STATUS_INVALID_PARAMETER;
    if (CurrentState(extension) != Working) return STATUS_DELETE_PENDING;
    if (request->length > kMessageBufferSize) return STATUS_INVALID_PARAMETER;
    PUSBD_INTERFACE_INFORMATION interfaceInfo = extension->interfaceInfo;
    if (interfaceInfo == nullptr || interfaceInfo->NumberOfPipes < 2) return STATUS_DELETE_PENDING;

    auto* transfer = static_cast<MessageTransfer*>(
        ExAllocatePoolWithTag(NonPagedPoolNx, sizeof(MessageTransfer), kDriverPoolTag));
    if (transfer == nullptr) return STATUS_INSUFFICIENT_RESOURCES;
    transfer->urb = static_cast<PURB>(
        ExAllocatePoolWithTag(NonPagedPoolNx, sizeof(struct _URB_BULK_OR_INTERRUPT_TRANSFER), kDriverPoolTag));
    if (transfer->urb == nullptr) {
        ExFreePoolWithTag(transfer, kDriverPoolTag);
        return STATUS_INSUFFICIENT_RESOURCES;
    }
    transfer->request = request;
    transfer->extension = extension;

    PUSBD_PIPE_INFORMATION pipe = &interfaceInfo->Pipes[request->inbound ? 0 : 1];
    RtlZeroMemory(transfer->urb, sizeof(struct _URB_BULK_OR_INTERRUPT_TRANSFER));
    UsbBuildInterruptOrBulkTransferRequest(
        transfer->urb, sizeof(struct _URB_BULK_OR_INTERRUPT_TRANSFER), pipe->PipeHandle, request->buffer, nullptr,
        request->length,
        request->inbound ? (USBD_TRANSFER_DIRECTION_IN | USBD_SHORT_TRANSFER_OK) : USBD_SHORT_TRANSFER_OK, nullptr);

    PIRP irp = IoAllocateIrp(static_cast<CCHAR>(extension->lowerDevice->StackSize + 1), FALSE);
    if (irp == nullptr) {
        ExFreePoolWithTag(transfer->urb, kDriverPoolTag);
        ExFreePoolWithTag(transfer, kDriverPoolTag);
        return STATUS_INSUFFICIENT_RESOURCES;
    }
    // Our own location, so the completion routine sees this device.
    IoSetNextIrpStackLocation(irp);
    IoGetCurrentIrpStackLocation(irp)->DeviceObject = extension->self;
    PIO_STACK_LOCATION next = IoGetNextIrpStackLocation(irp);
    next->MajorFunction = IRP_MJ_INTERNAL_DEVICE_CONTROL;
    next->Parameters.DeviceIoControl.IoControlCode = IOCTL_INTERNAL_USB_SUBMIT_URB;
    next->Parameters.Others.Argument1 = transfer->urb;
    NTSTATUS status =
        IoSetCompletionRoutineEx(extension->self, irp, MessageTransferComplete, transfer, TRUE, TRUE, TRUE);
    if (!NT_SUCCESS(status)) {
        IoFreeIrp(irp);
        ExFreePoolWithTag(transfer->urb, kDriverPoolTag);
        ExFreePoolWithTag(transfer, kDriverPoolTag);
        return STATUS_INSUFFICIENT_RESOURCES;
    }

    IoCountIncrement(extension);
    status = IoCallDriver(extension->lowerDevice, irp);
    // From here on the completion owns the request.
    if (NT_SUCCESS(status)) return STATUS_PENDING;
    if (status == STATUS_CANCELLED || status == STATUS_DEVICE_NOT_CONNECTED) return status;
    UsbRecoverFromRefusal(extension, pipe, status);
    return STATUS_UNSUCCESSFUL;
}

VOID UsbRecoverFromRefusal(AdapterExtension* extension, PUSBD_PIPE_INFORMATION pipe, NTSTATUS status)
{
    if (status == STATUS_CANCELLED || status == STATUS_DEVICE_NOT_CONNECTED) return;
    if (!NT_SUCCESS(UsbResetPipe(extension, pipe))) UsbResetPort(extension);
}

NTSTATUS UsbResetPipe(AdapterExtension* extension, PUSBD_PIPE_INFORMATION pipe)
{
    if (KeGetCurrentIrql() > PASSIVE_LEVEL) return STATUS_SUCCESS;
    auto* urb = static_cast<PURB>(
        ExAllocatePoolWithTag(NonPagedPoolNx, sizeof(struct _URB_PIPE_REQUEST), kDriverPoolTag));
    if (urb == nullptr) return STATUS_INSUFFICIENT_RESOURCES;
    RtlZeroMemory(urb, sizeof(struct _URB_PIPE_REQUEST));
    urb->UrbHeader.Length = sizeof(struct _URB_PIPE_REQUEST);
    urb->UrbHeader.Function = URB_FUNCTION_SYNC_RESET_PIPE_AND_CLEAR_STALL;
    urb->UrbPipeRequest.PipeHandle = pipe->PipeHandle;
    NTSTATUS status = UsbSubmitUrbSynchronously(extension, urb);
    ExFreePoolWithTag(urb, kDriverPoolTag);
    return status;
}

NTSTATUS UsbResetPort(AdapterExtension* extension)
{
    if (KeGetCurrentIrql() > PASSIVE_LEVEL) return STATUS_SUCCESS;
    ULONG portStatus = 0;
    NTSTATUS status = SendInternalRequest(extension, IOCTL_INTERNAL_USB_GET_PORT_STATUS, &portStatus);
    if (!NT_SUCCESS(status)) return status;
    if ((portStatus & USBD_PORT_ENABLED) != 0 || (portStatus & USBD_PORT_CONNECTED) == 0) return status;
    return SendInternalRequest(extension, IOCTL_INTERNAL_USB_RESET_PORT, nullptr);
}
