#include "assistant/diag/channel_choices.h"

#include "assistant/app/text_format.h"

namespace diag {

std::vector<ChannelChoice> MonitorChannelChoices(const DeviceInfoTable& table, const MonitorState& monitor)
{
    // The count comes from the driver; the table never has more records than this.
    const int adapters = table.count < 0 ? 0
                         : table.count > static_cast<int>(kTableAdapterRecords) ? static_cast<int>(kTableAdapterRecords)
                                                                                 : table.count;
    std::vector<ChannelChoice> choices;
    for (int i = 0; i < adapters; ++i) {
        for (int j = 0; j < static_cast<int>(kPortsPerAdapter); ++j) {
            const int com = table.adapters[i].ports[j].comNumber;
            if (IsMonitored(monitor, static_cast<ULONG>(com))) {
                continue;
            }
            choices.push_back({assistant::Format("COM%d (Device %d, Port %d)", com, i + 1, j + 1), static_cast<ULONG>(com)});
        }
    }
    return choices;
}

}  // namespace diag
