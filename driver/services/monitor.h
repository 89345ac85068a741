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
VOID MonitorInitialize();

// PASSIVE_LEVEL. Start empties the ring and turns the monitor on; stop turns
// it off and keeps what was captured.
VOID MonitorStart();
VOID MonitorStop();

// Up to DISPATCH_LEVEL on any number of processors at once; takes no lock,
// waits for nobody and allocates nothing. Payloads beyond 511 bytes are cut.
VOID MonitorAdd(AdapterExtension* extension, ULONG port, ULONG kind, const UCHAR* payload, ULONG length);

// Copies whole records (at most 102) into the buffer and consumes them;
// returns the bytes filled, a multiple of sizeof(MonitorRecord).
ULONG MonitorFetch(PUCHAR buffer, ULONG length);
