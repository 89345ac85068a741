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
// The adapter's instance: named after its serial number in COM mapping
// mode 0 (dynamic), after the hub port it is plugged into in mode 1
// (geographic: "UseGeoUsbInstance" 1 under the service key QTR84PR), so that
// a port's instance, and the COM number kept in it, follows the adapter or
// the socket. Read at each plug.
std::u16string DeviceInstanceId(const std::string& serialNumber, ULONG hubPort);
// <device instance>&0&<interface> for an interface.
std::u16string InterfaceInstanceId(const std::u16string& deviceInstanceId, UCHAR interfaceNumber);

}  // namespace winsim::hw
