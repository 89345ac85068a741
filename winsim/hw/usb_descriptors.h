// The adapter's USB descriptors as data: what the device is (interfaces and
// endpoints) and how it spells that on the wire, including the ways a broken
// or hostile device gets it wrong.
#pragma once

#include <usb100.h>

#include <optional>
#include <vector>

namespace winsim::hw {

struct EndpointLayout {
    UCHAR address;  // bit 7 set for IN
    UCHAR type;     // USB_ENDPOINT_TYPE_BULK or USB_ENDPOINT_TYPE_INTERRUPT
    USHORT maxPacketSize;
    UCHAR interval;  // frames between polls of an interrupt endpoint
};

struct InterfaceLayout {
    UCHAR number;
    UCHAR interfaceClass;
    UCHAR subClass;
    UCHAR protocol;
    std::vector<EndpointLayout> endpoints;
};

struct DescriptorLayout {
    USHORT vendorId;
    USHORT productId;
    USHORT deviceRelease;  // bcdDevice, the REV_ of the hardware ids
    UCHAR configurationValue = 1;
    bool remoteWakeup = false;
    UCHAR maxPower = 50;  // 2 mA units
    std::vector<InterfaceLayout> interfaces;

    // Written into the descriptor instead of the true values.
    std::optional<UCHAR> claimedInterfaces;    // bNumInterfaces
    std::optional<USHORT> claimedTotalLength;  // wTotalLength; the device still returns only what exists
    // A descriptor with bLength 0 after the descriptors of this interface.
    std::optional<UCHAR> zeroLengthAfterInterface;
    // A hostile device: these bytes are its whole configuration descriptor,
    // whatever they say; the interfaces above still give its endpoints.
    std::optional<std::vector<UCHAR>> rawConfiguration;

    // The adapter as built: interface 0 (vendor class) with the message pipes
    // first (IN 0x81, OUT 0x01), a bulk pair and an interrupt IN; interfaces
    // 1 to 4 for the ports, each with a bulk pair of its own.
    static DescriptorLayout Adapter();

    const InterfaceLayout* Interface(UCHAR number) const;
    const EndpointLayout* Endpoint(UCHAR address) const;
};

std::vector<UCHAR> DeviceDescriptorBytes(const DescriptorLayout& layout);
// The whole configuration: configuration, interface and endpoint descriptors.
std::vector<UCHAR> ConfigurationDescriptorBytes(const DescriptorLayout& layout);

}  // namespace winsim::hw
