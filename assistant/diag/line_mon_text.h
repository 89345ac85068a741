// Turns one monitor record into the two texts a channel window draws: its
// time ("slot (s.mmm.uuu)", relative to the first record formatted since
// creation or Clear) and its data ("RX:"/"TX:" and the payload, in hex or
// as characters), with the data's colour.
#pragma once

#include "common/monitor_record.h"
#include "common/win32_user.h"

namespace diag {

enum MonitorColour : int { kColourSent = 0, kColourReceived = 1, kColourNoData = 2 };

inline constexpr int kMonitorTimeTextSize = 48;
inline constexpr int kMonitorDataTextSize = 400;

struct MonitorTexts {
    char time[kMonitorTimeTextSize];
    char data[kMonitorDataTextSize];  // a payload that does not fit is cut
    int dataLength;
    int colour;
};

class LineMonText {
public:
    void ResetTimeBase() { timeBasePending = 1; }
    void Format(const MonitorRecord& record, bool hexMode, MonitorTexts& out);

private:
    int timeBasePending = 1;
    ULONGLONG timeBase = 0;
};

}  // namespace diag
