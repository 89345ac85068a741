// Arbitrary event records through the catalogue: whatever a producer puts
// in the fields, the line stays within its buffer and is terminated.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "assistant/diag/event_decoder.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static diag::EventDecoder decoder;
    EventRecord record{};
    std::memcpy(&record, data, size < sizeof(record) ? size : sizeof(record));
    // Odd record numbers start a new time base, so both paths of the prefix run.
    if ((record.entry.seq & 1) != 0) decoder.ResetTimeBase();
    const char* text = decoder.Decode(record.entry.seq, record);
    if (std::memchr(text, 0, diag::kEventTextSize) == nullptr) std::abort();
    if (std::strlen(text) > 255) std::abort();
    return 0;
}
