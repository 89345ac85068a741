#include "assistant/app/port_list_lines.h"

#include <algorithm>

#include "assistant/app/com_names.h"
#include "assistant/app/text_format.h"

namespace assistant {

const char* PortStateWord(bool claimed, bool adapterPort, const PortInfo* present)
{
    if (!claimed) {
        return "?";
    }
    if (!adapterPort) {
        return "";
    }
    if (present == nullptr) {
        return "DISC";
    }
    return present->busy != 0 ? "BUSY" : "Idle";
}

std::vector<PortListLine> PortListLines(const PortNameList& scan, const ComPortUsage& usage,
                                        const DeviceInfoTable& info, bool showAll)
{
    std::vector<PortListLine> lines;
    for (int i = 0; i < scan.count; ++i) {
        const PortNameEntry& entry = scan.entries[i];
        int comNumber = 0;
        if (!ParseComName(entry.portName, comNumber)) {
            continue;
        }
        const bool adapterPort = IsAdapterPortDescription(entry.description);
        if (!showAll && !adapterPort) {
            continue;
        }
        const PortInfo* present = adapterPort ? FindAdapterPort(info, comNumber) : nullptr;
        const char* state = PortStateWord(usage.Claimed(comNumber), adapterPort, present);
        // Before the first line of an equal or higher number.
        const auto before = std::find_if(lines.begin(), lines.end(),
                                         [comNumber](const PortListLine& line) { return line.comNumber >= comNumber; });
        lines.insert(before, PortListLine{comNumber, Format("COM%d\t%s\t%s", comNumber, state, entry.description)});
    }
    return lines;
}

}  // namespace assistant
