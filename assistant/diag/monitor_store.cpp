#include "assistant/diag/monitor_store.h"

#include <string.h>

namespace diag {

void MonitorStore::Add(const MonitorRecord& record)
{
    const ULONG w = writeIndex;
    if (used > 0 && w == oldestIndex) {
        oldestIndex = (oldestIndex + 1) % kSlots;
    } else {
        ++used;
    }
    memcpy(&slots[w].record, &record, sizeof(record));
    slots[w].arrival = nextArrival++;
    writeIndex = (w + 1) % kSlots;
}

void MonitorStore::Clear()
{
    nextArrival = 1;
    used = 0;
    oldestIndex = 0;
    writeIndex = 0;
}

const MonitorRecord* MonitorStore::Record(ULONG k) const
{
    return k < used ? &slots[(oldestIndex + k) % kSlots].record : nullptr;
}

ULONG MonitorStore::Arrival(ULONG k) const
{
    return k < used ? slots[(oldestIndex + k) % kSlots].arrival : 0;
}

}  // namespace diag
