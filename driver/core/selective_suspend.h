// Selective suspend of an idle adapter through the hub's idle notification.
#pragma once

#include "core/adapter_extension.h"

// Clears the fields and sets up the events (add-device).
_IRQL_requires_max_(PASSIVE_LEVEL)
VOID SelectiveSuspendInitialize(_Inout_ AdapterExtension* extension);
// Reads the "BulkUsbEnable" switch (add-device, on systems with WDM 1.32).
_IRQL_requires_max_(PASSIVE_LEVEL)
VOID SelectiveSuspendReadSwitch(_Inout_ AdapterExtension* extension);
// Start-device: with the switch on (and WDM 1.32) the idle poll starts.
_IRQL_requires_max_(PASSIVE_LEVEL)
VOID SelectiveSuspendStart(_Inout_ AdapterExtension* extension);
// Stop, surprise removal and removal: no poll, no idle request, nothing of
// either still running when it returns. PASSIVE_LEVEL.
_IRQL_requires_max_(PASSIVE_LEVEL)
VOID SelectiveSuspendStop(_Inout_ AdapterExtension* extension);
// Every Plug and Play request but start, and every create (after counting
// the new handle): a pending idle request is cancelled unless the adapter
// is idle, which brings it back to D0.
_IRQL_requires_max_(PASSIVE_LEVEL)
VOID SelectiveSuspendCancelIdle(_Inout_ AdapterExtension* extension);
// No open handle and no request in progress.
_IRQL_requires_max_(DISPATCH_LEVEL)
bool AdapterIsIdle(_In_ const AdapterExtension* extension);

// Reads, writes and control requests need the adapter awake: while
// selective suspend is in use they wait until no idle request exists.
// PASSIVE_LEVEL.
_IRQL_requires_max_(PASSIVE_LEVEL)
VOID SelectiveSuspendWaitUntilAwake(_Inout_ AdapterExtension* extension);
