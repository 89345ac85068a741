// Turns one driver event record into the line the event log window shows:
// "number (seq s.mmm.uuu):" followed by the text of the event's code.
#pragma once

#include "common/win32_user.h"
#include "common/event_records.h"

namespace diag {

inline constexpr int kEventTextSize = 256;

class EventDecoder {
public:
    // The next record decoded becomes time 0.000.000.
    void ResetTimeBase() { timeBasePending = 1; }

    // The text lives in this decoder's one buffer and is overwritten by the
    // next call; it never exceeds kEventTextSize - 1 characters.
    const char* Decode(ULONG number, const EventRecord& record);

private:
    int timeBasePending = 1;
    ULONGLONG timeBase = 0;
    char text[kEventTextSize] = {};
};

}  // namespace diag
