#include "hw/usb_device_ids.h"

#include <cstdio>

#include "km/io_strings.h"

namespace winsim::hw {

namespace {

std::vector<std::u16string> Ids(const DescriptorLayout& layout, const char* suffix)
{
    char specific[64];
    char general[64];
    std::snprintf(specific, sizeof specific, "USB\\VID_%04X&PID_%04X&REV_%04X%s", layout.vendorId, layout.productId,
                  layout.deviceRelease, suffix);
    std::snprintf(general, sizeof general, "USB\\VID_%04X&PID_%04X%s", layout.vendorId, layout.productId, suffix);
    return {io::FromAscii(specific), io::FromAscii(general)};
}

}  // namespace

std::vector<std::u16string> DeviceHardwareIds(const DescriptorLayout& layout) { return Ids(layout, ""); }

std::vector<std::u16string> InterfaceHardwareIds(const DescriptorLayout& layout, UCHAR interfaceNumber)
{
    char suffix[8];
    std::snprintf(suffix, sizeof suffix, "&MI_%02X", interfaceNumber);
    return Ids(layout, suffix);
}

std::u16string DeviceInstanceId(const std::string& serialNumber) { return io::FromAscii(serialNumber); }

std::u16string InterfaceInstanceId(const std::string& serialNumber, UCHAR interfaceNumber)
{
    char suffix[16];
    std::snprintf(suffix, sizeof suffix, "&0&%04u", interfaceNumber);
    return io::FromAscii(serialNumber + suffix);
}

}  // namespace winsim::hw
