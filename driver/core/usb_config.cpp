#include "core/usb_config.h"

#include "core/pool_tags.h"
#include "core/usb_request.h"

namespace {

// A descriptor that contradicts itself (short, or fewer interfaces than it
// promises) is refused rather than read beyond its end.
constexpr NTSTATUS kBadDescriptor = STATUS_DEVICE_DATA_ERROR;

constexpr LONGLONG kAbortRetryInterval = -10 * 10'000;  // 10 ms, relative

NTSTATUS ReadDescriptor(AdapterExtension* extension, UCHAR type, PVOID buffer, ULONG length, PULONG transferred)
{
    auto* urb = static_cast<PURB>(
        ExAllocatePoolWithTag(NonPagedPoolNx, sizeof(struct _URB_CONTROL_DESCRIPTOR_REQUEST), kDriverPoolTag));
    if (urb == nullptr) return STATUS_INSUFFICIENT_RESOURCES;
    RtlZeroMemory(urb, sizeof(struct _URB_CONTROL_DESCRIPTOR_REQUEST));
    UsbBuildGetDescriptorRequest(urb, sizeof(struct _URB_CONTROL_DESCRIPTOR_REQUEST), type, 0, 0, buffer, nullptr,
                                 length, nullptr);
    NTSTATUS status = UsbSubmitUrbSynchronously(extension, urb);
    *transferred = urb->UrbControlDescriptorRequest.TransferBufferLength;
    ExFreePoolWithTag(urb, kDriverPoolTag);
    return status;
}

// Interface descriptors with alternate setting 0 that lie wholly inside the
// configuration descriptor.
ULONG CountInterfaces(PUSB_CONFIGURATION_DESCRIPTOR configuration)
{
    ULONG count = 0;
    PVOID position = configuration;
    for (;;) {
        PUSB_INTERFACE_DESCRIPTOR found =
            USBD_ParseConfigurationDescriptorEx(configuration, position, -1, 0, -1, -1, -1);
        if (found == nullptr) return count;
        ++count;
        position = reinterpret_cast<PUCHAR>(found) + found->bLength;
    }
}

NTSTATUS SelectConfiguration(AdapterExtension* extension, PUSB_CONFIGURATION_DESCRIPTOR configuration)
{
    const ULONG wanted = configuration->bNumInterfaces;
    if (wanted == 0 || CountInterfaces(configuration) < wanted) return kBadDescriptor;

    const SIZE_T listBytes = sizeof(USBD_INTERFACE_LIST_ENTRY) * (wanted + 1);
    auto* list = static_cast<PUSBD_INTERFACE_LIST_ENTRY>(ExAllocatePoolWithTag(NonPagedPoolNx, listBytes, kDriverPoolTag));
    if (list == nullptr) return STATUS_INSUFFICIENT_RESOURCES;
    RtlZeroMemory(list, listBytes);
    // Interface numbers need not be contiguous; every number a byte can hold
    // is tried, and the count above guarantees enough are found.
    ULONG found = 0;
    for (LONG number = 0; number <= 0xFF && found < wanted; ++number) {
        PUSB_INTERFACE_DESCRIPTOR descriptor =
            USBD_ParseConfigurationDescriptorEx(configuration, configuration, number, 0, -1, -1, -1);
        if (descriptor != nullptr) list[found++].InterfaceDescriptor = descriptor;
    }

    NTSTATUS status = STATUS_INSUFFICIENT_RESOURCES;
    PURB urb = USBD_CreateConfigurationRequestEx(configuration, list);
    if (urb != nullptr) {
        PUSBD_INTERFACE_INFORMATION first = list[0].Interface;
        for (ULONG pipe = 0; pipe < first->NumberOfPipes; ++pipe) {
            first->Pipes[pipe].MaximumTransferSize = 0xFFFFFFFF;
        }
        status = UsbSubmitUrbSynchronously(extension, urb);
        if (NT_SUCCESS(status)) {
            first = &urb->UrbSelectConfiguration.Interface;
            extension->interfaceInfo = static_cast<PUSBD_INTERFACE_INFORMATION>(
                ExAllocatePoolWithTag(NonPagedPoolNx, first->Length, kDriverPoolTag));
            extension->pipeOpen = static_cast<PUCHAR>(
                ExAllocatePoolWithTag(NonPagedPoolNx, first->NumberOfPipes > 0 ? first->NumberOfPipes : 1, kDriverPoolTag));
            if (extension->interfaceInfo == nullptr || extension->pipeOpen == nullptr) {
                status = STATUS_INSUFFICIENT_RESOURCES;
                UsbFreeDescriptors(extension);
            } else {
                RtlCopyMemory(extension->interfaceInfo, first, first->Length);
                RtlZeroMemory(extension->pipeOpen, first->NumberOfPipes > 0 ? first->NumberOfPipes : 1);
            }
        }
        ExFreePool(urb);
    }
    ExFreePoolWithTag(list, kDriverPoolTag);
    return status;
}

}  // namespace

PAGED_CODE_SEG
NTSTATUS UsbConfigure(AdapterExtension* extension)
{
    PAGED_CODE();
    USB_DEVICE_DESCRIPTOR device;
    ULONG transferred = 0;
    NTSTATUS status = ReadDescriptor(extension, USB_DEVICE_DESCRIPTOR_TYPE, &device, sizeof(device), &transferred);
    if (!NT_SUCCESS(status)) return status;

    USB_CONFIGURATION_DESCRIPTOR header;
    status = ReadDescriptor(extension, USB_CONFIGURATION_DESCRIPTOR_TYPE, &header, sizeof(header), &transferred);
    if (!NT_SUCCESS(status)) return status;
    if (transferred < sizeof(header) || header.wTotalLength < sizeof(header)) return kBadDescriptor;

    const ULONG total = header.wTotalLength;
    auto* configuration = static_cast<PUSB_CONFIGURATION_DESCRIPTOR>(
        ExAllocatePoolWithTag(NonPagedPoolNx, total, kDriverPoolTag));
    if (configuration == nullptr) return STATUS_INSUFFICIENT_RESOURCES;
    status = ReadDescriptor(extension, USB_CONFIGURATION_DESCRIPTOR_TYPE, configuration, total, &transferred);
    if (NT_SUCCESS(status) && (transferred < total || configuration->wTotalLength != total)) status = kBadDescriptor;
    if (!NT_SUCCESS(status)) {
        ExFreePoolWithTag(configuration, kDriverPoolTag);
        return status;
    }
    extension->configurationDescriptor = configuration;
    extension->remoteWakeSupported = (configuration->bmAttributes & USB_CONFIG_REMOTE_WAKEUP) != 0 ? 1 : 0;
    return SelectConfiguration(extension, configuration);
}

PAGED_CODE_SEG
NTSTATUS UsbDeconfigure(AdapterExtension* extension)
{
    PAGED_CODE();
    auto* urb = static_cast<PURB>(
        ExAllocatePoolWithTag(NonPagedPoolNx, sizeof(struct _URB_SELECT_CONFIGURATION), kDriverPoolTag));
    if (urb == nullptr) return STATUS_INSUFFICIENT_RESOURCES;
    RtlZeroMemory(urb, sizeof(struct _URB_SELECT_CONFIGURATION));
    UsbBuildSelectConfigurationRequest(urb, sizeof(struct _URB_SELECT_CONFIGURATION), nullptr);
    NTSTATUS status = UsbSubmitUrbSynchronously(extension, urb);
    ExFreePoolWithTag(urb, kDriverPoolTag);
    return status;
}

namespace {

PAGED_CODE_SEG
NTSTATUS AbortPipesWhere(AdapterExtension* extension, bool readsOnly)
{
    PAGED_CODE();
    PUSBD_INTERFACE_INFORMATION interfaceInfo = extension->interfaceInfo;
    if (interfaceInfo == nullptr || extension->pipeOpen == nullptr) return STATUS_SUCCESS;
    NTSTATUS result = STATUS_SUCCESS;
    for (ULONG pipe = 0; pipe < interfaceInfo->NumberOfPipes; ++pipe) {
        if (readsOnly && !USB_ENDPOINT_DIRECTION_IN(interfaceInfo->Pipes[pipe].EndpointAddress)) continue;
        // Sent synchronously: the URB can live on the stack, and an abort
        // needs no memory of its own.
        struct _URB_PIPE_REQUEST urb;
        RtlZeroMemory(&urb, sizeof(urb));
        urb.Hdr.Length = sizeof(urb);
        urb.Hdr.Function = URB_FUNCTION_ABORT_PIPE;
        urb.PipeHandle = interfaceInfo->Pipes[pipe].PipeHandle;
        NTSTATUS status = UsbSubmitUrbSynchronously(extension, reinterpret_cast<PURB>(&urb));
        if (NT_SUCCESS(status)) extension->pipeOpen[pipe] = 0;
        if (status == STATUS_INSUFFICIENT_RESOURCES) result = status;
    }
    return result;
}

}  // namespace

NTSTATUS UsbAbortPipes(AdapterExtension* extension) { return AbortPipesWhere(extension, false); }

NTSTATUS UsbAbortReadPipes(AdapterExtension* extension) { return AbortPipesWhere(extension, true); }

PAGED_CODE_SEG
VOID UsbAbortPipesAndWait(AdapterExtension* extension, PKEVENT drained)
{
    PAGED_CODE();
    LARGE_INTEGER retry;
    retry.QuadPart = kAbortRetryInterval;
    while (UsbAbortPipes(extension) == STATUS_INSUFFICIENT_RESOURCES) {
        // The transfers an abort missed still stand: try again while they do.
        if (KeWaitForSingleObject(drained, Executive, KernelMode, FALSE, &retry) == STATUS_SUCCESS) return;
    }
    KeWaitForSingleObject(drained, Executive, KernelMode, FALSE, nullptr);
}

VOID UsbFreeDescriptors(AdapterExtension* extension)
{
    if (extension->configurationDescriptor != nullptr) {
        ExFreePoolWithTag(extension->configurationDescriptor, kDriverPoolTag);
        extension->configurationDescriptor = nullptr;
    }
    if (extension->interfaceInfo != nullptr) {
        ExFreePoolWithTag(extension->interfaceInfo, kDriverPoolTag);
        extension->interfaceInfo = nullptr;
    }
    if (extension->pipeOpen != nullptr) {
        ExFreePoolWithTag(extension->pipeOpen, kDriverPoolTag);
        extension->pipeOpen = nullptr;
    }
}
