// The line monitor: a driver-wide ring of 1000 records, each a copy of the
// payload of one data message to or from an adapter port. The data paths add
// to it; the control requests start, stop and fetch.
#pragma once

#include "common/monitor_record.h"
#include "core/adapter_extension.h"

constexpr ULONG kMonitorReceived = kMonitorKindReceived;
constexpr ULONG kMonitorTransmitted = kMonitorKindSent;
constexpr ULONG kMonitorSlots = 1000;
constexpr ULONG kMonitorFetchMaxRecords = 102;

// Driver entry: monitor off, ring empty.
_IRQL_requires_(PASSIVE_LEVEL)
VOID MonitorInitialize();

// PASSIVE_LEVEL. Start empties the ring and turns the monitor on; stop turns
// it off and keeps what was captured.
_IRQL_requires_(PASSIVE_LEVEL)
VOID MonitorStart();
_IRQL_requires_(PASSIVE_LEVEL)
VOID MonitorStop();

// Up to DISPATCH_LEVEL on any number of processors at once; takes no lock,
// waits for nobody and allocates nothing. Payloads beyond 511 bytes are cut.
_IRQL_requires_max_(DISPATCH_LEVEL)
VOID MonitorAdd(_In_opt_ AdapterExtension* extension, _In_ ULONG port, _In_ ULONG kind,
                _In_reads_bytes_opt_(length) const UCHAR* payload, _In_ ULONG length);

// Copies whole records (at most 102) into the buffer and consumes them;
// returns the bytes filled, a multiple of sizeof(MonitorRecord).
_IRQL_requires_(PASSIVE_LEVEL)
ULONG MonitorFetch(_Out_writes_bytes_to_(length, return) PUCHAR buffer, _In_ ULONG length);
