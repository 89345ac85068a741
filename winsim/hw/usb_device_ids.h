// The identities a USB hub and a composite parent give an adapter and its
// interfaces, in the forms Windows spells them.
#pragma once

#include <string>
#include <vector>

#include "hw/usb_descriptors.h"

namespace winsim::hw {

// The adapter itself: USB\VID_xxxx&PID_xxxx&REV_xxxx, USB\VID_xxxx&PID_xxxx.
std::vector<std::u16string> DeviceHardwareIds(const DescriptorLayout& layout);
// One interface: the same with &MI_xx appended; the last is its device id.
std::vector<std::u16string> InterfaceHardwareIds(const DescriptorLayout& layout, UCHAR interfaceNumber);
// The serial number for the adapter, <serial>&0&<interface> for an interface.
std::u16string DeviceInstanceId(const std::string& serialNumber);
std::u16string InterfaceInstanceId(const std::string& serialNumber, UCHAR interfaceNumber);

}  // namespace winsim::hw
