// What "Select Monitor Channel" offers: every port of every adapter in the
// main dialog's table, in table order, but no COM number that already has a
// channel window.
#pragma once

#include <string>
#include <vector>

#include "assistant/diag/monitor_polling.h"
#include "common/device_tables.h"

namespace diag {

struct ChannelChoice {
    std::string text;  // "COMn (Device i, Port j)", both from 1
    ULONG comNumber;
};

std::vector<ChannelChoice> MonitorChannelChoices(const DeviceInfoTable& table, const MonitorState& monitor);

}  // namespace diag
