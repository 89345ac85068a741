// The lines of the port mapping page's port list: one per serial port the
// registry scan found, "COMn<tab>STATE<tab>DESCRIPTION", in COM order.
#pragma once

#include <string>
#include <vector>

#include "assistant/app/com_port_usage.h"
#include "assistant/app/port_name_list.h"
#include "common/device_tables.h"

namespace assistant {

struct PortListLine {
    int comNumber;  // the line's item value
    std::string text;
};

// "?" unclaimed; "BUSY"/"Idle" an adapter port present; "DISC" an adapter
// port whose adapter is unplugged; "" another device's port.
const char* PortStateWord(bool claimed, bool adapterPort, const PortInfo* present);

// Adapter ports only, or with showAll every port with a COM name.
std::vector<PortListLine> PortListLines(const PortNameList& scan, const ComPortUsage& usage,
                                        const DeviceInfoTable& info, bool showAll);

}  // namespace assistant
