// Which driver serves which device: hardware ids mapped to what an installed
// INF gives them (the service, the setup class, the description, upper
// filters). A device takes the package of its most specific hardware id
// that has one.
#pragma once

#include <km_io.h>

#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace winsim::pnp {

struct DevicePackage {
    std::string service;
    // Setup class, "{4D36E978-E325-11CE-BFC1-08002BE10318}" for ports; empty:
    // no class key (a device with a driver but no installed class).
    std::u16string classGuid;
    std::u16string description;
    // Services loaded above the function driver, in order.
    std::vector<std::string> upperFilters;
};

class DriverTable {
public:
    // Hardware ids compare without regard to case, as Windows compares them.
    void Register(std::u16string_view hardwareId, std::string_view serviceName);
    void Register(std::u16string_view hardwareId, DevicePackage package);
    // The package for the first of the ids (most specific first) that has one.
    std::optional<DevicePackage> Find(const std::vector<std::u16string>& hardwareIds) const;
    // The loaded driver of that package; null when none or not loaded.
    PDRIVER_OBJECT Match(const std::vector<std::u16string>& hardwareIds) const;

private:
    mutable std::mutex lock_;
    std::map<std::u16string, DevicePackage> packages_;
};

}  // namespace winsim::pnp
