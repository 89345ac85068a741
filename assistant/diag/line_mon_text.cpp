#include "assistant/diag/line_mon_text.h"

#include <stdio.h>

namespace diag {

namespace {

// Appends one payload byte if all of it fits with the terminating zero.
int AppendByte(char* data, int used, BYTE value, bool hexMode)
{
    static const char kHex[] = "0123456789ABCDEF";
    if (hexMode) {
        if (used + 3 >= kMonitorDataTextSize) {
            return used;
        }
        data[used] = ' ';
        data[used + 1] = kHex[value >> 4];
        data[used + 2] = kHex[value & 0x0F];
        return used + 3;
    }
    if (value == 0 || used + 1 >= kMonitorDataTextSize) {
        return used;
    }
    data[used] = static_cast<char>(value);
    return used + 1;
}

}  // namespace

void LineMonText::Format(const MonitorRecord& record, bool hexMode, MonitorTexts& out)
{
    if (timeBasePending != 0) {
        timeBase = record.time;
        timeBasePending = 0;
    }
    const ULONGLONG delta = record.time - timeBase;
    snprintf(out.time, sizeof(out.time), "%d (%u.%03d.%03d)", static_cast<int>(record.slot),
             static_cast<unsigned>(static_cast<ULONG>(delta / 10000000)), static_cast<int>((delta / 10000) % 1000),
             static_cast<int>((delta / 10) % 1000));

    const char* prefix = record.kind == kMonitorKindReceived ? "RX:" : record.kind == kMonitorKindSent ? "TX:" : "";
    int used = snprintf(out.data, sizeof(out.data), "%s", prefix);
    // length counts data[0]; a record claiming more than data holds is read no further.
    const ULONG length = record.length > kMonitorDataSize ? kMonitorDataSize : record.length;
    for (ULONG i = 1; i < length; ++i) {
        used = AppendByte(out.data, used, record.data[i], hexMode);
    }
    out.data[used] = 0;
    out.dataLength = used;
    if (length <= 1 || (record.kind != kMonitorKindReceived && record.kind != kMonitorKindSent)) {
        out.colour = kColourNoData;
    } else {
        out.colour = record.kind == kMonitorKindReceived ? kColourReceived : kColourSent;
    }
}

}  // namespace diag
