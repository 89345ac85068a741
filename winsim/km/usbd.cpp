// USBD helper library: descriptor parsing and select-configuration URBs.
//
// Descriptors come from the device and may be hostile: every walk is bounded
// by the length the caller gives and by each descriptor's own bLength, and a
// descriptor is read only when all of it lies inside the buffer.
#include "km_ex.h"
#include "km_rtl.h"
#include "usbdlib.h"

#include "km/io_pool_tags.h"

namespace {

using winsim::io::kTagUsbd;

// The descriptor at p if all of it lies in [p, end), else null. A bLength
// below the common header (the walk could not advance, or would read the type
// from the next descriptor) or one running past the end ends every walk.
PUSB_COMMON_DESCRIPTOR DescriptorAt(const UCHAR* p, const UCHAR* end)
{
    if (p >= end) {
        return nullptr;
    }
    const auto* descriptor = reinterpret_cast<const USB_COMMON_DESCRIPTOR*>(p);
    if (descriptor->bLength < sizeof(USB_COMMON_DESCRIPTOR) ||
        descriptor->bLength > static_cast<SIZE_T>(end - p)) {
        return nullptr;
    }
    return const_cast<PUSB_COMMON_DESCRIPTOR>(descriptor);
}

bool Matches(LONG wanted, UCHAR actual)
{
    return wanted == -1 || wanted == static_cast<LONG>(actual);
}

}  // namespace

extern "C" {

PUSB_COMMON_DESCRIPTOR USBD_ParseDescriptors(PVOID DescriptorBuffer, ULONG TotalLength, PVOID StartPosition,
                                             LONG DescriptorType)
{
    const auto* begin = static_cast<const UCHAR*>(DescriptorBuffer);
    const UCHAR* end = begin + TotalLength;
    const auto* p = static_cast<const UCHAR*>(StartPosition);
    if (begin == nullptr || p < begin) {
        return nullptr;
    }
    for (PUSB_COMMON_DESCRIPTOR d = DescriptorAt(p, end); d != nullptr; d = DescriptorAt(p, end)) {
        if (d->bDescriptorType == DescriptorType) {
            return d;
        }
        p += d->bLength;
    }
    return nullptr;
}

PUSB_INTERFACE_DESCRIPTOR
USBD_ParseConfigurationDescriptorEx(PUSB_CONFIGURATION_DESCRIPTOR ConfigurationDescriptor,
                                    PVOID StartPosition, LONG InterfaceNumber, LONG AlternateSetting,
                                    LONG InterfaceClass, LONG InterfaceSubClass, LONG InterfaceProtocol)
{
    if (ConfigurationDescriptor == nullptr) {
        return nullptr;
    }
    const ULONG total = ConfigurationDescriptor->wTotalLength;
    auto* p = static_cast<UCHAR*>(StartPosition);
    for (;;) {
        PUSB_COMMON_DESCRIPTOR d =
            USBD_ParseDescriptors(ConfigurationDescriptor, total, p, USB_INTERFACE_DESCRIPTOR_TYPE);
        if (d == nullptr) {
            return nullptr;
        }
        // A short "interface descriptor" has no fields to compare; skip it
        // rather than read beyond its bLength.
        if (d->bLength >= sizeof(USB_INTERFACE_DESCRIPTOR)) {
            auto* candidate = reinterpret_cast<PUSB_INTERFACE_DESCRIPTOR>(d);
            if (Matches(InterfaceNumber, candidate->bInterfaceNumber) &&
                Matches(AlternateSetting, candidate->bAlternateSetting) &&
                Matches(InterfaceClass, candidate->bInterfaceClass) &&
                Matches(InterfaceSubClass, candidate->bInterfaceSubClass) &&
                Matches(InterfaceProtocol, candidate->bInterfaceProtocol)) {
                return candidate;
            }
        }
        p = reinterpret_cast<UCHAR*>(d) + d->bLength;
    }
}

PUSB_INTERFACE_DESCRIPTOR
USBD_ParseConfigurationDescriptor(PUSB_CONFIGURATION_DESCRIPTOR ConfigurationDescriptor,
                                  UCHAR InterfaceNumber, UCHAR AlternateSetting)
{
    return USBD_ParseConfigurationDescriptorEx(ConfigurationDescriptor, ConfigurationDescriptor,
                                               InterfaceNumber, AlternateSetting, -1, -1, -1);
}

ULONG USBD_GetInterfaceLength(PUSB_INTERFACE_DESCRIPTOR InterfaceDescriptor, PUCHAR BufferEnd)
{
    const auto* p = reinterpret_cast<const UCHAR*>(InterfaceDescriptor);
    ULONG length = 0;
    if (p == nullptr || BufferEnd == nullptr) {
        return 0;
    }
    for (PUSB_COMMON_DESCRIPTOR d = DescriptorAt(p, BufferEnd); d != nullptr;
         d = DescriptorAt(p, BufferEnd)) {
        if (length != 0 && d->bDescriptorType == USB_INTERFACE_DESCRIPTOR_TYPE) {
            break;
        }
        length += d->bLength;
        p += d->bLength;
    }
    return length;
}

PURB USBD_CreateConfigurationRequestEx(PUSB_CONFIGURATION_DESCRIPTOR ConfigurationDescriptor,
                                       PUSBD_INTERFACE_LIST_ENTRY InterfaceList)
{
    if (InterfaceList == nullptr) {
        return nullptr;
    }
    // The URB holds the header part of a select-configuration request, then
    // one variable-length interface entry per list entry.
    constexpr SIZE_T kFixedPart = FIELD_OFFSET(struct _URB_SELECT_CONFIGURATION, Interface);
    SIZE_T size = kFixedPart;
    ULONG interfaces = 0;
    for (PUSBD_INTERFACE_LIST_ENTRY entry = InterfaceList; entry->InterfaceDescriptor != nullptr; ++entry) {
        size += GET_USBD_INTERFACE_SIZE(entry->InterfaceDescriptor->bNumEndpoints);
        ++interfaces;
    }
    // Never smaller than the structure a reader may take it for; the length
    // must also fit the header's USHORT.
    if (size < sizeof(struct _URB_SELECT_CONFIGURATION)) {
        size = sizeof(struct _URB_SELECT_CONFIGURATION);
    }
    if (interfaces == 0 || size > MAXUSHORT) {
        return nullptr;
    }

    auto* urb = static_cast<PURB>(ExAllocatePoolWithTag(NonPagedPool, size, kTagUsbd));
    if (urb == nullptr) {
        return nullptr;
    }
    RtlZeroMemory(urb, size);

    auto* next = reinterpret_cast<UCHAR*>(&urb->UrbSelectConfiguration.Interface);
    for (PUSBD_INTERFACE_LIST_ENTRY entry = InterfaceList; entry->InterfaceDescriptor != nullptr; ++entry) {
        const PUSB_INTERFACE_DESCRIPTOR descriptor = entry->InterfaceDescriptor;
        auto* info = reinterpret_cast<PUSBD_INTERFACE_INFORMATION>(next);
        const ULONG pipes = descriptor->bNumEndpoints;
        info->Length = static_cast<USHORT>(GET_USBD_INTERFACE_SIZE(pipes));
        info->InterfaceNumber = descriptor->bInterfaceNumber;
        info->AlternateSetting = descriptor->bAlternateSetting;
        info->NumberOfPipes = pipes;
        PUSBD_PIPE_INFORMATION pipe = &info->Pipes[0];
        for (ULONG i = 0; i < pipes; ++i) {
            pipe[i].MaximumTransferSize = USBD_DEFAULT_MAXIMUM_TRANSFER_SIZE;
            pipe[i].PipeFlags = 0;
        }
        entry->Interface = info;
        next += info->Length;
    }

    UsbBuildSelectConfigurationRequest(urb, static_cast<USHORT>(size), ConfigurationDescriptor);
    return urb;
}

}  // extern "C"
