// Installs the driver package on a machine: the serial port driver loaded,
// and the adapter's interfaces given their drivers, classes and names as
// the package's INF files give them (84prusb on interface 0 with the port
// driver above it, the port driver on the four port interfaces).
#pragma once

#include "machine/machine.h"

namespace winsim::portdrv {

// Null when the port driver's entry fails.
PDRIVER_OBJECT InstallDriverPackage(Machine& machine);

// What the Assistant's setup leaves on the machine: its installation folder
// with the package's INF files in driver\, and its App Paths entry.
inline constexpr const char* kAssistantFolder = "C:\\Program Files\\Tessary\\QTR84PX-1";
void InstallAssistantFolder();

}  // namespace winsim::portdrv
