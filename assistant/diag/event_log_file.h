// Saving the event window's lines: a header with the local time, then each
// held line from the oldest with its line number (which counts since the
// program started, unlike the screen's index).
#pragma once

#include "assistant/diag/line_arena.h"

namespace diag {

inline constexpr char kEventLogDefaultName[] = "TessaryEventLog.txt";

// Writes the file as a text-mode stream would (CR LF line ends); false when
// it cannot be created or written.
bool SaveEventLog(const LineArena& lines, const char* path, const SYSTEMTIME& now);

}  // namespace diag
