#include "pnp/driver_table.h"

#include "km/io_manager.h"
#include "km/io_strings.h"

namespace winsim::pnp {

void DriverTable::Register(std::u16string_view hardwareId, std::string_view serviceName)
{
    DevicePackage package;
    package.service = std::string(serviceName);
    Register(hardwareId, std::move(package));
}

void DriverTable::Register(std::u16string_view hardwareId, DevicePackage package)
{
    std::lock_guard lk(lock_);
    packages_[io::UpperCase(hardwareId)] = std::move(package);
}

std::optional<DevicePackage> DriverTable::Find(const std::vector<std::u16string>& hardwareIds) const
{
    std::lock_guard lk(lock_);
    for (const std::u16string& id : hardwareIds) {
        auto it = packages_.find(io::UpperCase(id));
        if (it != packages_.end()) return it->second;
    }
    return std::nullopt;
}

PDRIVER_OBJECT DriverTable::Match(const std::vector<std::u16string>& hardwareIds) const
{
    std::optional<DevicePackage> package = Find(hardwareIds);
    return package ? io::FindDriver(package->service) : nullptr;
}

}  // namespace winsim::pnp
