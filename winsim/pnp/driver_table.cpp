#include "pnp/driver_table.h"

#include "km/io_manager.h"
#include "km/io_strings.h"

namespace winsim::pnp {

void DriverTable::Register(std::u16string_view hardwareId, std::string_view serviceName)
{
    std::lock_guard lk(lock_);
    services_[io::UpperCase(hardwareId)] = std::string(serviceName);
}

PDRIVER_OBJECT DriverTable::Match(const std::vector<std::u16string>& hardwareIds) const
{
    std::string service;
    {
        std::lock_guard lk(lock_);
        for (const std::u16string& id : hardwareIds) {
            auto it = services_.find(io::UpperCase(id));
            if (it != services_.end()) {
                service = it->second;
                break;
            }
        }
    }
    return service.empty() ? nullptr : io::FindDriver(service);
}

}  // namespace winsim::pnp
