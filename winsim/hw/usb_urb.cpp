// URBs from a client driver: descriptor reads, select configuration, bulk
// and interrupt transfers, abort and reset of a pipe.
#include <usbdlib.h>

#include <algorithm>
#include <cstring>
#include <set>

#include "hw/usb_bus.h"
#include "hw/usb_bus_internals.h"
#include "hw/usb_status.h"

namespace winsim::hw {

namespace {

UCHAR EndpointOfPipeRequest(PURB urb)
{
    switch (urb->UrbHeader.Function) {
    case URB_FUNCTION_BULK_OR_INTERRUPT_TRANSFER:
    case URB_FUNCTION_ABORT_PIPE:
    case URB_FUNCTION_SYNC_RESET_PIPE_AND_CLEAR_STALL:
        // Both layouts carry the handle at the same place.
        return static_cast<UCHAR>(reinterpret_cast<ULONG64>(urb->UrbPipeRequest.PipeHandle) & 0xFF);
    default:
        return 0;
    }
}

}  // namespace

UsbBus::Pipe* UsbBus::PipeFromHandleLocked(Plugged* device, USBD_PIPE_HANDLE handle)
{
    UCHAR endpoint;
    if (!device->configured || !DecodeHandle(handle, HandleKind::kPipe, device->id, device->generation, &endpoint)) {
        return nullptr;
    }
    auto it = device->pipes.find(endpoint);
    return it == device->pipes.end() ? nullptr : &it->second;
}

NTSTATUS UsbBus::SubmitUrb(Plugged* device, PIRP irp, PURB urb)
{
    const USHORT function = urb->UrbHeader.Function;
    const NTSTATUS refusal = device->model->ReceiveRequest({function, EndpointOfPipeRequest(urb)});
    bool connected;
    {
        std::lock_guard lk(lock_);
        connected = device->connected;
    }
    if (!connected) return CompleteUrb(irp, urb, USBD_STATUS_DEVICE_GONE, STATUS_DEVICE_NOT_CONNECTED);
    if (!NT_SUCCESS(refusal)) return CompleteUrb(irp, urb, UsbdFromStatus(refusal), refusal);

    switch (function) {
    case URB_FUNCTION_GET_DESCRIPTOR_FROM_DEVICE: return GetDescriptor(device, irp, urb);
    case URB_FUNCTION_SELECT_CONFIGURATION: return SelectConfiguration(device, irp, urb);
    case URB_FUNCTION_BULK_OR_INTERRUPT_TRANSFER: return QueueTransfer(device, irp, urb);
    case URB_FUNCTION_ABORT_PIPE: return AbortPipe(device, irp, urb);
    case URB_FUNCTION_SYNC_RESET_PIPE_AND_CLEAR_STALL: return ResetPipe(device, irp, urb);
    default: return CompleteUrb(irp, urb, USBD_STATUS_INVALID_URB_FUNCTION, STATUS_INVALID_PARAMETER);
    }
}

// A control request the silent device never answers: it waits, cancellable,
// until the device goes.
NTSTATUS UsbBus::Park(Plugged* device, PIRP irp)
{
    static_cast<PURB>(URB_FROM_IRP(irp))->UrbHeader.Status = USBD_STATUS_PENDING;
    IoMarkIrpPending(irp);
    bool cancelled = false;
    {
        std::lock_guard lk(lock_);
        device->parked.push_back(irp);
        irp->Tail.Overlay.DriverContext[0] = device;
        IoSetCancelRoutine(irp, CancelParked);
        if (irp->Cancel && IoSetCancelRoutine(irp, nullptr) != nullptr) {
            device->parked.pop_back();
            cancelled = true;
        }
    }
    if (cancelled) {
        CompleteUrb(irp, static_cast<PURB>(URB_FROM_IRP(irp)), USBD_STATUS_CANCELED, STATUS_CANCELLED);
    }
    return STATUS_PENDING;
}

VOID UsbBus::CancelParked(PDEVICE_OBJECT pdo, PIRP irp)
{
    IoReleaseCancelSpinLock(irp->CancelIrql);
    auto* context = static_cast<PdoContext*>(pdo->DeviceExtension);
    auto* device = static_cast<Plugged*>(irp->Tail.Overlay.DriverContext[0]);
    {
        std::lock_guard lk(context->bus->lock_);
        std::erase(device->parked, irp);
    }
    CompleteUrb(irp, static_cast<PURB>(URB_FROM_IRP(irp)), USBD_STATUS_CANCELED, STATUS_CANCELLED);
}

NTSTATUS UsbBus::GetDescriptor(Plugged* device, PIRP irp, PURB urb)
{
    const AdapterModel& model = *device->model;
    if (model.AnswersNothing()) return Park(device, irp);
    _URB_CONTROL_DESCRIPTOR_REQUEST& request = urb->UrbControlDescriptorRequest;
    std::vector<UCHAR> bytes;
    if (request.DescriptorType == USB_DEVICE_DESCRIPTOR_TYPE && request.Index == 0) {
        bytes = DeviceDescriptorBytes(model.Descriptors());
    } else if (request.DescriptorType == USB_CONFIGURATION_DESCRIPTOR_TYPE && request.Index == 0) {
        bytes = ConfigurationDescriptorBytes(model.Descriptors());
    } else {
        // The device stalls a request for a descriptor it does not have.
        request.TransferBufferLength = 0;
        return CompleteUrb(irp, urb, USBD_STATUS_STALL_PID, STATUS_UNSUCCESSFUL);
    }
    PUCHAR buffer = TransferBufferOf(request.TransferBuffer, request.TransferBufferMDL);
    const ULONG copied = std::min<ULONG>(request.TransferBufferLength, static_cast<ULONG>(bytes.size()));
    if (buffer == nullptr && copied != 0) return CompleteUrb(irp, urb, USBD_STATUS_INVALID_PARAMETER, STATUS_INVALID_PARAMETER);
    if (copied != 0) std::memcpy(buffer, bytes.data(), copied);
    request.TransferBufferLength = copied;
    return CompleteUrb(irp, urb, USBD_STATUS_SUCCESS, STATUS_SUCCESS);
}

NTSTATUS UsbBus::SelectConfiguration(Plugged* device, PIRP irp, PURB urb)
{
    const AdapterModel& model = *device->model;
    const DescriptorLayout& layout = model.Descriptors();
    if (model.AnswersNothing()) return Park(device, irp);
    _URB_SELECT_CONFIGURATION& request = urb->UrbSelectConfiguration;
    PUSB_CONFIGURATION_DESCRIPTOR configuration = request.ConfigurationDescriptor;
    constexpr SIZE_T kFirstInterface = FIELD_OFFSET(struct _URB_SELECT_CONFIGURATION, Interface);
    constexpr SIZE_T kPipesOffset = FIELD_OFFSET(USBD_INTERFACE_INFORMATION, Pipes);

    // Check the whole request before anything changes.
    std::vector<std::pair<PUSBD_INTERFACE_INFORMATION, const InterfaceLayout*>> selected;
    if (configuration != nullptr) {
        if (configuration->bDescriptorType != USB_CONFIGURATION_DESCRIPTOR_TYPE ||
            configuration->bConfigurationValue != layout.configurationValue || configuration->bNumInterfaces == 0) {
            return CompleteUrb(irp, urb, USBD_STATUS_INAVLID_CONFIGURATION_DESCRIPTOR, STATUS_INVALID_PARAMETER);
        }
        std::set<UCHAR> seen;
        SIZE_T offset = kFirstInterface;
        for (ULONG i = 0; i < configuration->bNumInterfaces; ++i) {
            if (offset + kPipesOffset > urb->UrbHeader.Length) {
                return CompleteUrb(irp, urb, USBD_STATUS_BUFFER_TOO_SMALL, STATUS_INVALID_PARAMETER);
            }
            auto* info = reinterpret_cast<PUSBD_INTERFACE_INFORMATION>(reinterpret_cast<PUCHAR>(urb) + offset);
            const InterfaceLayout* interface = layout.Interface(info->InterfaceNumber);
            if (interface == nullptr || info->AlternateSetting != 0 || !seen.insert(info->InterfaceNumber).second) {
                return CompleteUrb(irp, urb, USBD_STATUS_INTERFACE_NOT_FOUND, STATUS_INVALID_PARAMETER);
            }
            const SIZE_T needed = GET_USBD_INTERFACE_SIZE(interface->endpoints.size());
            if (info->Length < needed || offset + needed > urb->UrbHeader.Length) {
                return CompleteUrb(irp, urb, USBD_STATUS_BUFFER_TOO_SMALL, STATUS_INVALID_PARAMETER);
            }
            selected.emplace_back(info, interface);
            offset += info->Length;
        }
    }

    // Whatever the old configuration had in flight ends here.
    std::vector<Finished> cancelled;
    {
        std::lock_guard lk(lock_);
        for (auto& [address, pipe] : device->pipes) {
            TakeTransfersLocked(pipe, USBD_STATUS_CANCELED, cancelled);
            // Left to cancel routines under way, which must not look for the pipe.
            for (Transfer* transfer : pipe.queue) transfer->pipe = nullptr;
        }
        device->pipes.clear();
        device->generation++;
        device->configured = configuration != nullptr;
        const ULONG id = device->id;
        const ULONG generation = device->generation;
        for (auto& [info, interface] : selected) {
            info->Class = interface->interfaceClass;
            info->SubClass = interface->subClass;
            info->Protocol = interface->protocol;
            info->InterfaceHandle = MakeHandle(HandleKind::kInterface, id, generation, interface->number);
            info->NumberOfPipes = static_cast<ULONG>(interface->endpoints.size());
            for (ULONG p = 0; p < info->NumberOfPipes; ++p) {
                const EndpointLayout& endpoint = interface->endpoints[p];
                PUSBD_PIPE_INFORMATION pipe = &info->Pipes[p];
                pipe->MaximumPacketSize = endpoint.maxPacketSize;
                pipe->EndpointAddress = endpoint.address;
                pipe->Interval = endpoint.interval;
                pipe->PipeType = endpoint.type == USB_ENDPOINT_TYPE_INTERRUPT ? UsbdPipeTypeInterrupt : UsbdPipeTypeBulk;
                pipe->PipeHandle = MakeHandle(HandleKind::kPipe, id, generation, endpoint.address);
                device->pipes[endpoint.address].layout = endpoint;
            }
        }
        request.ConfigurationHandle =
            configuration != nullptr ? MakeHandle(HandleKind::kConfiguration, id, generation, layout.configurationValue)
                                     : nullptr;
    }
    CompleteTransfers(cancelled);
    return CompleteUrb(irp, urb, USBD_STATUS_SUCCESS, STATUS_SUCCESS);
}

NTSTATUS UsbBus::QueueTransfer(Plugged* device, PIRP irp, PURB urb)
{
    _URB_BULK_OR_INTERRUPT_TRANSFER& request = urb->UrbBulkOrInterruptTransfer;
    UCHAR endpoint;
    {
        std::lock_guard lk(lock_);
        Pipe* pipe = PipeFromHandleLocked(device, request.PipeHandle);
        if (pipe == nullptr) return CompleteUrb(irp, urb, USBD_STATUS_INVALID_PIPE_HANDLE, STATUS_INVALID_PARAMETER);
        endpoint = pipe->layout.address;
    }
    const NTSTATUS refusal = device->model->AcceptTransfer(endpoint);
    if (!NT_SUCCESS(refusal)) {
        request.TransferBufferLength = 0;
        return CompleteUrb(irp, urb, UsbdFromStatus(refusal), refusal);
    }
    PUCHAR buffer = TransferBufferOf(request.TransferBuffer, request.TransferBufferMDL);
    if (buffer == nullptr && request.TransferBufferLength != 0) {
        return CompleteUrb(irp, urb, USBD_STATUS_INVALID_PARAMETER, STATUS_INVALID_PARAMETER);
    }

    auto* transfer = new Transfer{irp,
                                  urb,
                                  nullptr,
                                  endpoint,
                                  buffer,
                                  request.TransferBufferLength,
                                  0,
                                  USB_ENDPOINT_DIRECTION_IN(endpoint) != 0,
                                  (request.TransferFlags & USBD_SHORT_TRANSFER_OK) != 0};
    irp->Tail.Overlay.DriverContext[0] = transfer;
    urb->UrbHeader.Status = USBD_STATUS_PENDING;
    IoMarkIrpPending(irp);
    std::vector<Finished> cancelled;
    {
        std::lock_guard lk(lock_);
        // Looked up again: a select-configuration may have come between.
        Pipe* pipe = PipeFromHandleLocked(device, request.PipeHandle);
        if (pipe == nullptr) {
            cancelled.push_back({transfer, USBD_STATUS_INVALID_PIPE_HANDLE});
        } else {
            transfer->pipe = pipe;
            pipe->queue.push_back(transfer);
            IoSetCancelRoutine(irp, CancelTransfer);
            if (irp->Cancel && DetachLocked(transfer)) cancelled.push_back({transfer, USBD_STATUS_CANCELED});
        }
    }
    CompleteTransfers(cancelled);
    Wake();
    return STATUS_PENDING;
}

VOID UsbBus::CancelTransfer(PDEVICE_OBJECT pdo, PIRP irp)
{
    IoReleaseCancelSpinLock(irp->CancelIrql);
    auto* context = static_cast<PdoContext*>(pdo->DeviceExtension);
    auto* transfer = static_cast<Transfer*>(irp->Tail.Overlay.DriverContext[0]);
    {
        std::lock_guard lk(context->bus->lock_);
        if (transfer->pipe != nullptr) std::erase(transfer->pipe->queue, transfer);
    }
    CompleteTransfers({{transfer, USBD_STATUS_CANCELED}});
}

NTSTATUS UsbBus::AbortPipe(Plugged* device, PIRP irp, PURB urb)
{
    std::vector<Finished> cancelled;
    {
        std::lock_guard lk(lock_);
        Pipe* pipe = PipeFromHandleLocked(device, urb->UrbPipeRequest.PipeHandle);
        if (pipe == nullptr) return CompleteUrb(irp, urb, USBD_STATUS_INVALID_PIPE_HANDLE, STATUS_INVALID_PARAMETER);
        TakeTransfersLocked(*pipe, USBD_STATUS_CANCELED, cancelled);
    }
    // The aborted transfers are done before the abort itself is.
    CompleteTransfers(cancelled);
    return CompleteUrb(irp, urb, USBD_STATUS_SUCCESS, STATUS_SUCCESS);
}

// Clears the halt on the host side and the stall on the device's endpoint.
NTSTATUS UsbBus::ResetPipe(Plugged* device, PIRP irp, PURB urb)
{
    AdapterModel& model = *device->model;
    if (model.AnswersNothing()) return Park(device, irp);
    {
        std::lock_guard lk(lock_);
        Pipe* pipe = PipeFromHandleLocked(device, urb->UrbPipeRequest.PipeHandle);
        if (pipe == nullptr) return CompleteUrb(irp, urb, USBD_STATUS_INVALID_PIPE_HANDLE, STATUS_INVALID_PARAMETER);
        pipe->halted = false;
        model.ClearStall(pipe->layout.address);
    }
    Wake();
    return CompleteUrb(irp, urb, USBD_STATUS_SUCCESS, STATUS_SUCCESS);
}

}  // namespace winsim::hw
