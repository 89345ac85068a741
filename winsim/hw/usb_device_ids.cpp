#include "hw/usb_device_ids.h"

#include <cstdio>
#include <cstdlib>
#include <optional>

#include "km/io_strings.h"
#include "registry/registry_store.h"

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

// The mode is a decimal text, read the way strtol reads it; absent is 0.
bool GeographicMapping()
{
    const std::optional<std::u16string> mode = registry::Store::Instance().GetString(
        u"\\Registry\\Machine\\System\\CurrentControlSet\\Services\\QTR84PR", u"UseGeoUsbInstance");
    if (!mode) return false;
    std::string text;
    for (char16_t c : *mode) text += c < 0x80 ? static_cast<char>(c) : '?';
    return std::strtol(text.c_str(), nullptr, 10) == 1;
}

}  // namespace

std::vector<std::u16string> DeviceHardwareIds(const DescriptorLayout& layout) { return Ids(layout, ""); }

std::vector<std::u16string> InterfaceHardwareIds(const DescriptorLayout& layout, UCHAR interfaceNumber)
{
    char suffix[8];
    std::snprintf(suffix, sizeof suffix, "&MI_%02X", interfaceNumber);
    return Ids(layout, suffix);
}

std::u16string DeviceInstanceId(const std::string& serialNumber, ULONG hubPort)
{
    if (!GeographicMapping()) return io::FromAscii(serialNumber);
    // As the hub names a device it does not tell apart by serial number.
    char location[32];
    std::snprintf(location, sizeof location, "5&2a8f4c1&0&%lu", static_cast<unsigned long>(hubPort));
    return io::FromAscii(location);
}

std::u16string InterfaceInstanceId(const std::u16string& deviceInstanceId, UCHAR interfaceNumber)
{
    char suffix[16];
    std::snprintf(suffix, sizeof suffix, "&0&%04u", interfaceNumber);
    return deviceInstanceId + io::FromAscii(suffix);
}

}  // namespace winsim::hw
