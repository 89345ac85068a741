#include "hw/usb_descriptors.h"

#include <cstring>

#include "common/usb_ids.h"

namespace winsim::hw {

namespace {

constexpr USHORT kFullSpeedBulkPacket = 64;

template <typename Descriptor>
void Append(std::vector<UCHAR>& bytes, const Descriptor& descriptor)
{
    const auto* p = reinterpret_cast<const UCHAR*>(&descriptor);
    bytes.insert(bytes.end(), p, p + sizeof descriptor);
}

InterfaceLayout VendorInterface(UCHAR number, UCHAR subClass, std::vector<EndpointLayout> endpoints)
{
    return {number, USB_DEVICE_CLASS_VENDOR_SPECIFIC, subClass, 0, std::move(endpoints)};
}

EndpointLayout Bulk(UCHAR address) { return {address, USB_ENDPOINT_TYPE_BULK, kFullSpeedBulkPacket, 0}; }

}  // namespace

DescriptorLayout DescriptorLayout::Adapter()
{
    DescriptorLayout layout;
    layout.vendorId = kAdapterUsbVendorId;
    layout.productId = kAdapterUsbProductId;
    layout.deviceRelease = 0x0200;
    layout.interfaces.push_back(VendorInterface(
        kAdapterControlInterface, 0,
        {Bulk(0x81), Bulk(0x01), Bulk(0x82), Bulk(0x02), {0x83, USB_ENDPOINT_TYPE_INTERRUPT, 16, 1}}));
    for (UCHAR port = 0; port < 4; ++port) {
        const auto number = static_cast<UCHAR>(kAdapterFirstPortInterface + port);
        layout.interfaces.push_back(
            VendorInterface(number, 1, {Bulk(static_cast<UCHAR>(0x84 + port)), Bulk(static_cast<UCHAR>(0x04 + port))}));
    }
    return layout;
}

const InterfaceLayout* DescriptorLayout::Interface(UCHAR number) const
{
    for (const InterfaceLayout& interface : interfaces) {
        if (interface.number == number) return &interface;
    }
    return nullptr;
}

const EndpointLayout* DescriptorLayout::Endpoint(UCHAR address) const
{
    for (const InterfaceLayout& interface : interfaces) {
        for (const EndpointLayout& endpoint : interface.endpoints) {
            if (endpoint.address == address) return &endpoint;
        }
    }
    return nullptr;
}

std::vector<UCHAR> DeviceDescriptorBytes(const DescriptorLayout& layout)
{
    USB_DEVICE_DESCRIPTOR d = {};
    d.bLength = sizeof d;
    d.bDescriptorType = USB_DEVICE_DESCRIPTOR_TYPE;
    d.bcdUSB = 0x0200;
    d.bDeviceClass = USB_DEVICE_CLASS_RESERVED;  // each interface names its class: composite
    d.bMaxPacketSize0 = 64;
    d.idVendor = layout.vendorId;
    d.idProduct = layout.productId;
    d.bcdDevice = layout.deviceRelease;
    d.iManufacturer = 1;
    d.iProduct = 2;
    d.iSerialNumber = 3;
    d.bNumConfigurations = 1;
    std::vector<UCHAR> bytes;
    Append(bytes, d);
    return bytes;
}

std::vector<UCHAR> ConfigurationDescriptorBytes(const DescriptorLayout& layout)
{
    if (layout.rawConfiguration.has_value()) return *layout.rawConfiguration;
    std::vector<UCHAR> bytes(sizeof(USB_CONFIGURATION_DESCRIPTOR));
    for (const InterfaceLayout& interface : layout.interfaces) {
        USB_INTERFACE_DESCRIPTOR i = {};
        i.bLength = sizeof i;
        i.bDescriptorType = USB_INTERFACE_DESCRIPTOR_TYPE;
        i.bInterfaceNumber = interface.number;
        i.bNumEndpoints = static_cast<UCHAR>(interface.endpoints.size());
        i.bInterfaceClass = interface.interfaceClass;
        i.bInterfaceSubClass = interface.subClass;
        i.bInterfaceProtocol = interface.protocol;
        Append(bytes, i);
        for (const EndpointLayout& endpoint : interface.endpoints) {
            USB_ENDPOINT_DESCRIPTOR e = {};
            e.bLength = sizeof e;
            e.bDescriptorType = USB_ENDPOINT_DESCRIPTOR_TYPE;
            e.bEndpointAddress = endpoint.address;
            e.bmAttributes = endpoint.type;
            e.wMaxPacketSize = endpoint.maxPacketSize;
            e.bInterval = endpoint.interval;
            Append(bytes, e);
        }
        if (layout.zeroLengthAfterInterface == interface.number) {
            bytes.push_back(0);  // bLength
            bytes.push_back(USB_ENDPOINT_DESCRIPTOR_TYPE);
        }
    }
    USB_CONFIGURATION_DESCRIPTOR c = {};
    c.bLength = sizeof c;
    c.bDescriptorType = USB_CONFIGURATION_DESCRIPTOR_TYPE;
    c.wTotalLength = layout.claimedTotalLength.value_or(static_cast<USHORT>(bytes.size()));
    c.bNumInterfaces = layout.claimedInterfaces.value_or(static_cast<UCHAR>(layout.interfaces.size()));
    c.bConfigurationValue = layout.configurationValue;
    c.bmAttributes = static_cast<UCHAR>(USB_CONFIG_BUS_POWERED | (layout.remoteWakeup ? USB_CONFIG_REMOTE_WAKEUP : 0));
    c.MaxPower = layout.maxPower;
    std::memcpy(bytes.data(), &c, sizeof c);
    return bytes;
}

}  // namespace winsim::hw
