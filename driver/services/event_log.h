// The driver-wide event log: producers post into a staging ring, the fetch
// drains it into the 500-entry log and hands entries out with a mark where
// sequence numbers show a loss.
#pragma once

#include "common/event_records.h"
#include "kernel.h"

// Driver entry: both areas empty, positions 0, one drain.
_IRQL_requires_(PASSIVE_LEVEL)
VOID EventLogInitialize();

// Moves every staged entry into the log, overwriting the oldest unread
// entries when the log is full. PASSIVE_LEVEL.
_IRQL_requires_(PASSIVE_LEVEL)
VOID EventLogDrain();

// Drains, then copies whole EventRecords into the buffer and frees their
// slots; returns the bytes filled, a multiple of sizeof(EventRecord).
// PASSIVE_LEVEL.
_IRQL_requires_(PASSIVE_LEVEL)
ULONG EventLogFetch(_Out_writes_bytes_to_(length, return) PUCHAR buffer, _In_ ULONG length);

// The producer side, for whatever posts events (up to DISPATCH_LEVEL): the
// caller fills code (nonzero), unit, port and the parameters; time and seq
// are set here. A full staging ring loses its oldest entry.
_IRQL_requires_max_(DISPATCH_LEVEL)
VOID EventLogPost(_In_ const EventEntry& event);
