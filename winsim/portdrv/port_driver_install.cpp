#include "portdrv/port_driver_install.h"

#include "pnp/inf_install.h"
#include "portdrv/driver_package_files.h"
#include "portdrv/port_driver.h"

namespace winsim::portdrv {

PDRIVER_OBJECT InstallDriverPackage(Machine& machine)
{
    PDRIVER_OBJECT driver = machine.InstallAndLoadDriver(kServiceName, PortDriverEntry);
    if (driver == nullptr) return nullptr;
    size_t count = 0;
    const PackageFile* files = DriverPackageFiles(&count);
    for (size_t i = 0; i < count; ++i) {
        std::optional<pnp::InfPackage> package = pnp::ReadInfPackage(pnp::InfFile::Parse(files[i].text));
        if (package) pnp::InstallInfPackage(machine.Pnp(), *package);
    }
    return driver;
}

}  // namespace winsim::portdrv
