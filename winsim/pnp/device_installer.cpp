#include "pnp/device_installer.h"

#include <km_zw.h>

#include <cstdio>

#include "km/io_strings.h"
#include "pnp/com_database.h"
#include "pnp/pnp_irp.h"
#include "registry/registry_store.h"

namespace winsim::pnp {

namespace {

std::vector<UCHAR> MultiString(const std::vector<std::u16string>& strings)
{
    std::u16string joined;
    for (const std::u16string& s : strings) {
        joined += s;
        joined += u'\0';
    }
    joined += u'\0';
    const auto* bytes = reinterpret_cast<const UCHAR*>(joined.data());
    return std::vector<UCHAR>(bytes, bytes + joined.size() * sizeof(char16_t));
}

std::vector<std::u16string> Ascii(const std::vector<std::string>& names)
{
    std::vector<std::u16string> result;
    for (const std::string& name : names) result.push_back(io::FromAscii(name));
    return result;
}

// The hub port the device sits on, as its bus reports it (the interfaces
// of a composite device report their parent's).
std::u16string LocationOf(DeviceNode* node)
{
    DEVICE_CAPABILITIES capabilities;
    InitializeCapabilities(&capabilities);
    NTSTATUS status = SendPnpIrp(node->Pdo(), IRP_MN_QUERY_CAPABILITIES, [&](IO_STACK_LOCATION& location) {
        location.Parameters.DeviceCapabilities.Capabilities = &capabilities;
    });
    if (!NT_SUCCESS(status) || capabilities.Address == 0xFFFFFFFF) return u"";
    char text[32];
    std::snprintf(text, sizeof text, "Port_#%04u.Hub_#0001", capabilities.Address);
    return io::FromAscii(text);
}

// The lowest unused four-digit software key under the class.
std::u16string NewSoftwareKey(std::u16string_view classGuid)
{
    registry::Store& store = registry::Store::Instance();
    const std::u16string classKey = std::u16string(kClassKeyPath) + u"\\" + std::u16string(classGuid);
    for (ULONG n = 0;; ++n) {
        char digits[8];
        std::snprintf(digits, sizeof digits, "%04u", n);
        std::u16string name = io::FromAscii(digits);
        if (!store.Exists(classKey + u"\\" + name)) return std::u16string(classGuid) + u"\\" + name;
    }
}

// The ports class installer's part for a new port instance.
void AssignComName(const std::u16string& instanceKey, const std::u16string& description)
{
    registry::Store& store = registry::Store::Instance();
    const std::u16string parameters = instanceKey + u"\\Device Parameters";
    if (store.GetString(parameters, u"PortName")) return;
    const ULONG comNumber = ComDatabase::ClaimLowestFree();
    if (comNumber == 0) return;
    char name[16];
    std::snprintf(name, sizeof name, "COM%u", comNumber);
    const std::u16string portName = io::FromAscii(name);
    store.SetString(parameters, u"PortName", portName);
    store.SetString(instanceKey, u"FriendlyName", description + u" (" + portName + u")");
}

}  // namespace

std::u16string InstanceKeyPath(std::u16string_view instancePath)
{
    return std::u16string(kEnumKeyPath) + u"\\" + std::u16string(instancePath);
}

void InstallDevice(DeviceNode* node, const std::optional<DevicePackage>& package)
{
    registry::Store& store = registry::Store::Instance();
    const std::u16string key = InstanceKeyPath(node->InstancePath());
    store.SetValue(key, u"HardwareID", REG_MULTI_SZ, MultiString(node->HardwareIds()));
    const std::u16string location = LocationOf(node);
    if (!location.empty()) store.SetString(key, u"LocationInformation", location);
    if (!package) return;

    store.SetString(key, u"Service", io::FromAscii(package->service));
    if (!package->description.empty()) store.SetString(key, u"DeviceDesc", package->description);
    if (package->upperFilters.empty()) {
        store.DeleteValue(key, u"UpperFilters");
    } else {
        store.SetValue(key, u"UpperFilters", REG_MULTI_SZ, MultiString(Ascii(package->upperFilters)));
    }
    if (package->classGuid.empty()) return;
    store.SetString(key, u"ClassGUID", package->classGuid);
    if (!store.GetString(key, u"Driver")) {
        const std::u16string softwareKey = NewSoftwareKey(package->classGuid);
        store.SetString(std::u16string(kClassKeyPath) + u"\\" + softwareKey, u"DriverDesc", package->description);
        store.SetString(key, u"Driver", softwareKey);
    }
    if (io::UpperCase(package->classGuid) == kPortsClassGuid) {
        store.SetString(key, u"Class", u"Ports");
        AssignComName(key, package->description);
    }
}

}  // namespace winsim::pnp
