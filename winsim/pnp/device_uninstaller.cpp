#include "pnp/device_uninstaller.h"

#include <cstdlib>
#include <optional>
#include <string>

#include "km/io_strings.h"
#include "pnp/com_database.h"
#include "pnp/device_installer.h"
#include "registry/registry_store.h"

namespace winsim::pnp {

namespace {

// The ports class installer gives the name back to the database.
void ReleaseComName(const std::u16string& instanceKey)
{
    registry::Store& store = registry::Store::Instance();
    std::optional<std::u16string> portName = store.GetString(instanceKey + u"\\Device Parameters", u"PortName");
    if (!portName || !io::StartsWithNoCase(*portName, u"COM")) return;
    const std::string digits = io::ToAscii(portName->substr(3));
    char* end = nullptr;
    const unsigned long number = std::strtoul(digits.c_str(), &end, 10);
    if (end != digits.c_str() && *end == '\0' && number > 0) ComDatabase::Release(static_cast<ULONG>(number));
}

}  // namespace

bool UninstallDevice(PnpManager* pnp, std::u16string_view instancePath)
{
    registry::Store& store = registry::Store::Instance();
    const std::u16string key = InstanceKeyPath(instancePath);
    if (!store.Exists(key)) return false;
    if (DeviceNode* node = pnp != nullptr ? pnp->FindByInstancePath(instancePath) : nullptr) {
        if (node->Present() && node->State() != NodeState::kRemoved && node->State() != NodeState::kDeleted) {
            pnp->Eject(node);
        }
    }
    std::optional<std::u16string> classGuid = store.GetString(key, u"ClassGUID");
    if (classGuid && io::UpperCase(*classGuid) == kPortsClassGuid) ReleaseComName(key);
    if (std::optional<std::u16string> software = store.GetString(key, u"Driver"); software && !software->empty()) {
        store.DeleteTree(std::u16string(kClassKeyPath) + u"\\" + *software);
    }
    store.DeleteTree(key);
    // The device id's key goes with its last instance.
    const std::u16string deviceKey = key.substr(0, key.rfind(u'\\'));
    if (store.SubkeyNames(deviceKey).empty()) store.DeleteTree(deviceKey);
    return true;
}

}  // namespace winsim::pnp
