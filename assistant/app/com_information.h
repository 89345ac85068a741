// What the port mapping page tells about one COM number, and which of its
// controls a user may touch while adapters are in use.
#pragma once

#include <string>

#include "assistant/app/com_port_usage.h"
#include "assistant/app/port_name_list.h"
#include "common/device_tables.h"

namespace assistant {

struct ComFacts {
    bool found = false;        // a serial port device carries the name
    bool adapterPort = false;  // that device is an adapter port
    bool claimed = false;      // the COM-port database claims the number
    const PortInfo* port = nullptr;  // the present adapter port carrying it
};

ComFacts GatherComFacts(const PortNameList& scan, const ComPortUsage& usage, const DeviceInfoTable& info,
                        int comNumber);
std::string ComInformationText(const ComFacts& facts);

struct MappingEnabling {
    bool allIdle;       // no port of any adapter is open: mode change and clean
    bool remapAllowed;  // no port of the adapter carrying the number is open
};
MappingEnabling MappingEnablingFor(const DeviceInfoTable& info, int comNumber);

// The adapter port carrying the number is open.
bool ComPortBusy(const DeviceInfoTable& info, int comNumber);

}  // namespace assistant
