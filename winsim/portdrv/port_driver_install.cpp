#include "portdrv/port_driver_install.h"

#include <string>
#include <vector>

#include "km/io_strings.h"
#include "pnp/inf_install.h"
#include "portdrv/driver_package_files.h"
#include "portdrv/port_driver.h"
#include "registry/registry_store.h"
#include "um/file_system.h"

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

void InstallAssistantFolder()
{
    const std::string driverFolder = std::string(kAssistantFolder) + "\\driver\\";
    size_t count = 0;
    const PackageFile* files = DriverPackageFiles(&count);
    for (size_t i = 0; i < count; ++i) {
        um::FileSystem::Instance().PutFile(driverFolder + std::string(files[i].name),
                                           std::vector<BYTE>(files[i].text.begin(), files[i].text.end()));
    }
    registry::Store::Instance().SetString(
        u"\\Registry\\Machine\\Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\T84PRAsst.exe", u"Path",
        io::FromAscii(kAssistantFolder));
}

}  // namespace winsim::portdrv
