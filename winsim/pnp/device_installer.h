// What Windows does the first time it meets a device instance, and each time
// it comes back: the instance key under Enum with the device's identity and
// location, and for a device with an installed package its setup class,
// software key under the class key, service, description and filters. The
// ports class installer then gives a new port its COM name: the lowest
// free number of the COM-port database, in "PortName" of the instance's
// "Device Parameters" and in its "FriendlyName". Instance keys stay when the
// device goes (phantom devices), so a returning instance keeps its name.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "pnp/device_node.h"
#include "pnp/driver_table.h"

namespace winsim::pnp {

inline constexpr std::u16string_view kEnumKeyPath = u"\\Registry\\Machine\\System\\CurrentControlSet\\Enum";
inline constexpr std::u16string_view kClassKeyPath =
    u"\\Registry\\Machine\\System\\CurrentControlSet\\Control\\Class";
inline constexpr std::u16string_view kPortsClassGuid = u"{4D36E978-E325-11CE-BFC1-08002BE10318}";

// The instance key of a device instance path.
std::u16string InstanceKeyPath(std::u16string_view instancePath);

// Runs on the PnP worker before add-device. PASSIVE_LEVEL.
void InstallDevice(DeviceNode* node, const std::optional<DevicePackage>& package);

}  // namespace winsim::pnp
