// The adapter and configuration tables of the control device, built from
// the adapter table. They describe every adapter at once,
// whichever adapter's handle carries the request. PASSIVE_LEVEL.
#pragma once

#include "common/device_tables.h"
#include "kernel.h"

// Adapters whose fourth port the port driver has registered, in slot order.
_IRQL_requires_max_(DISPATCH_LEVEL)
VOID BuildDeviceInfoTable(_Out_ DeviceInfoTable* table);

// The listed adapters' registry settings; modelIndex of record 0 is 6.
_IRQL_requires_(PASSIVE_LEVEL)
VOID BuildDeviceConfigTable(_Out_ DeviceConfigTable* table);

// Writes each record marked with updateFlag 255 to the registry of the
// adapter listed at that position now, and restarts each such adapter none
// of whose ports is open. A record to apply that names a COM number the
// COM-port database cannot hold refuses the whole table with
// STATUS_INVALID_PARAMETER before anything is written.
_IRQL_requires_(PASSIVE_LEVEL)
NTSTATUS ApplyDeviceConfigTable(_In_ const DeviceConfigTable* table);
