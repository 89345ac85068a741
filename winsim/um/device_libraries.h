// msports.dll, setupapi.dll and newdev.dll in the system library table.
#pragma once

namespace winsim::um {

void RegisterDeviceInstallationLibraries();

}  // namespace winsim::um
