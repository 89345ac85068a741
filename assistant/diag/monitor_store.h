// A channel window's records: a ring of 32,768 slots kept inside the
// window, so adding a record never allocates. When full, the newest record
// replaces the oldest.
#pragma once

#include "common/monitor_record.h"
#include "common/win32_user.h"

namespace diag {

class MonitorStore {
public:
    static constexpr ULONG kSlots = 0x8000;

    void Add(const MonitorRecord& record);
    void Clear();

    ULONG Used() const { return used; }
    // Record k counted from 0 at the oldest kept; null for k >= Used().
    const MonitorRecord* Record(ULONG k) const;
    // The order in which record k arrived since the last Clear, from 1.
    ULONG Arrival(ULONG k) const;

private:
#pragma pack(push, 1)
    struct Slot {
        MonitorRecord record;
        DWORD arrival;
    };
#pragma pack(pop)
    static_assert(sizeof(Slot) == 556, "a record and its arrival number");

    Slot slots[kSlots];
    ULONG nextArrival = 1;
    ULONG used = 0;
    ULONG oldestIndex = 0;
    ULONG writeIndex = 0;
};

}  // namespace diag
