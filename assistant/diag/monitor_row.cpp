#include "assistant/diag/monitor_row.h"

#include <stdio.h>

namespace diag {

void LayoutMonitorRow(ULONG lineNumber, const MonitorTexts& texts, int hOffset, int charWidth, MonitorRow& row)
{
    const int printed = snprintf(row.head, sizeof(row.head), "%05u %s:", static_cast<unsigned>(lineNumber), texts.time);
    row.headLength = printed < 0 ? 0 : printed >= static_cast<int>(sizeof(row.head)) ? sizeof(row.head) - 1 : printed;
    row.colour = texts.colour;
    if (hOffset < row.headLength) {
        row.headText = row.head + hOffset;
        row.headCount = row.headLength - hOffset;
        row.headX = kMonitorLeftMargin;
        row.dataText = texts.data;
        row.dataCount = texts.dataLength;
        row.dataX = kMonitorLeftMargin + (row.headLength - hOffset) * charWidth;
        return;
    }
    row.headText = row.head + row.headLength;
    row.headCount = 0;
    row.headX = kMonitorLeftMargin;
    // Scrolled past the data's end: nothing of it shows.
    const int skip = hOffset - row.headLength;
    const int start = skip < texts.dataLength ? skip : texts.dataLength;
    row.dataText = texts.data + start;
    row.dataCount = texts.dataLength - start;
    row.dataX = kMonitorLeftMargin;
}

}  // namespace diag
