// Reading COM names and port descriptions, and finding the adapter port
// that carries a COM number.
#pragma once

#include <string>

#include "common/device_tables.h"

namespace assistant {

// The number of "COM" followed by decimal digits only (COM5 gives 5); false
// for anything else, "COMxx" and numbers too long to be a COM number included.
bool ParseComName(const char* portName, int& comNumber);

// Whether a friendly name is that of one of the adapter's ports.
bool IsAdapterPortDescription(const char* description);

// The first port over adapters and ports in table order whose COM number is
// comNumber; null when no adapter port carries it.
const PortInfo* FindAdapterPort(const DeviceInfoTable& table, int comNumber);

// The adapter record holding that port, or null.
const AdapterInfo* AdapterCarrying(const DeviceInfoTable& table, int comNumber);

}  // namespace assistant
