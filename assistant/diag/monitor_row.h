// Where one line of a channel window goes: the black head "nnnnn time:"
// and the coloured data after it, shifted left by the horizontal offset.
// Screen and metafile draw the same rows.
#pragma once

#include "assistant/diag/line_mon_text.h"

namespace diag {

inline constexpr int kMonitorLeftMargin = 5;

struct MonitorRow {
    char head[kMonitorTimeTextSize + 16];
    int headLength;
    // What to draw; a count of 0 draws nothing.
    const char* headText;
    int headCount;
    int headX;
    const char* dataText;
    int dataCount;
    int dataX;
    int colour;
};

// lineNumber is the row's number on screen (from 1 at the oldest record);
// row.dataText points into texts.
void LayoutMonitorRow(ULONG lineNumber, const MonitorTexts& texts, int hOffset, int charWidth, MonitorRow& row);

}  // namespace diag
