// The driver-wide event log: producers post into a staging ring, the fetch
// drains it into the 500-entry log and hands entries out with a mark where
// sequence numbers show a loss.
#pragma once

#include "common/event_records.h"
#include "kernel.h"

// Driver entry: both areas empty, positions 0, one drain.
VOID EventLogInitialize();

// Moves every staged entry into the log, overwriting the oldest unread
// entries when the log is full. PASSIVE_LEVEL.
VOID EventLogDrain();

// Drains, then copies whole EventRecords into the buffer and frees their
// slots; returns the bytes filled, a multiple of sizeof(EventRecord).
// PASSIVE_LEVEL.
ULONG EventLogFetch(PUCHAR buffer, ULONG length);

// The producer side, for whatever posts events (up to DISPATCH_LEVEL): the
// caller fills code (nonzero), unit, port and the parameters; time and seq
// are set here. A full staging ring loses its oldest entry.
VOID EventLogPost(const EventEntry& event);
