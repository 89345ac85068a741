// Arbitrary monitor records through the line formatter and the row layout
// in both display modes and at every horizontal offset: texts stay in their
// buffers, and what a row draws lies inside the texts it was made from.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <initializer_list>

#include "assistant/diag/monitor_row.h"
#include "assistant/diag/scroll_state.h"

namespace {

bool Inside(const char* text, int count, const char* buffer, size_t bufferSize)
{
    return count >= 0 && text >= buffer && text + count <= buffer + bufferSize;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    MonitorRecord record{};
    std::memcpy(&record, data, size < sizeof(record) ? size : sizeof(record));
    diag::LineMonText formatter;
    for (const bool hex : {false, true}) {
        diag::MonitorTexts texts;
        formatter.Format(record, hex, texts);
        if (std::memchr(texts.time, 0, sizeof(texts.time)) == nullptr) std::abort();
        if (texts.dataLength < 0 || texts.dataLength >= diag::kMonitorDataTextSize) std::abort();
        if (texts.data[texts.dataLength] != 0) std::abort();
        if (texts.colour < diag::kColourSent || texts.colour > diag::kColourNoData) std::abort();
        for (int offset = 0; offset <= diag::kMonitorColumns; ++offset) {
            diag::MonitorRow row;
            diag::LayoutMonitorRow(record.slot, texts, offset, 8, row);
            if (!Inside(row.headText, row.headCount, row.head, sizeof(row.head))) std::abort();
            if (!Inside(row.dataText, row.dataCount, texts.data, sizeof(texts.data))) std::abort();
        }
    }
    return 0;
}
