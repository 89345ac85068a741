#include "assistant/app/com_information.h"

#include <algorithm>

#include "assistant/app/com_names.h"
#include "assistant/app/table_counts.h"
#include "assistant/app/text_format.h"

namespace assistant {

namespace {

bool AnyPortBusy(const AdapterInfo& adapter)
{
    return std::ranges::any_of(adapter.ports, [](const PortInfo& port) { return port.busy != 0; });
}

}  // namespace

ComFacts GatherComFacts(const PortNameList& scan, const ComPortUsage& usage, const DeviceInfoTable& info,
                        int comNumber)
{
    ComFacts facts;
    for (int i = 0; i < scan.count; ++i) {
        int number = 0;
        if (ParseComName(scan.entries[i].portName, number) && number == comNumber) {
            facts.found = true;
            facts.adapterPort = IsAdapterPortDescription(scan.entries[i].description);
            break;
        }
    }
    facts.claimed = usage.Claimed(comNumber);
    facts.port = FindAdapterPort(info, comNumber);
    return facts;
}

std::string ComInformationText(const ComFacts& facts)
{
    if (facts.found && facts.claimed) {
        if (facts.port != nullptr) {
            return Format("This COM port is in use and currently %s.", facts.port->busy != 0 ? "BUSY" : "Idle");
        }
        return facts.adapterPort ? "This COM port is mapped to a Tessary device that has been unplugged."
                                 : "This COM port is mapped to a known device; connection state unknown.";
    }
    if (facts.found) {
        return "WARNING: This COM port is mapped to a known device but is marked as unclaimed. This indicates a "
               "possible configuration discrepancy in the system registry.";
    }
    if (facts.claimed) {
        return "WARNING: This COM port is claimed but not mapped to any known device type. This indicates either a "
               "possible configuration discrepancy in the system registry or a non-standard serial device "
               "configuration.";
    }
    return "This COM port is currently not in use.";
}

MappingEnabling MappingEnablingFor(const DeviceInfoTable& info, int comNumber)
{
    MappingEnabling enabling{true, true};
    for (int i = 0; i < RecordCount(info); ++i) {
        if (AnyPortBusy(info.adapters[i])) {
            enabling.allIdle = false;
        }
    }
    const AdapterInfo* carrier = AdapterCarrying(info, comNumber);
    enabling.remapAllowed = carrier == nullptr || !AnyPortBusy(*carrier);
    return enabling;
}

bool ComPortBusy(const DeviceInfoTable& info, int comNumber)
{
    const PortInfo* port = FindAdapterPort(info, comNumber);
    return port != nullptr && port->busy != 0;
}

}  // namespace assistant
