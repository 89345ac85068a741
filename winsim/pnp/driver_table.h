// Which driver serves which device: hardware ids mapped to driver services,
// as an installed INF maps them. A device takes the driver of its most
// specific hardware id that has one.
#pragma once

#include <km_io.h>

#include <map>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace winsim::pnp {

class DriverTable {
public:
    // Hardware ids compare without regard to case, as Windows compares them.
    void Register(std::u16string_view hardwareId, std::string_view serviceName);
    // The loaded driver for the first of the ids (most specific first) that
    // names a service; null when none does or that service is not loaded.
    PDRIVER_OBJECT Match(const std::vector<std::u16string>& hardwareIds) const;

private:
    mutable std::mutex lock_;
    std::map<std::u16string, std::string> services_;
};

}  // namespace winsim::pnp
