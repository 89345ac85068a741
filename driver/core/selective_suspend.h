// Selective suspend of an idle adapter through the hub's idle notification.
#pragma once

#include "core/adapter_extension.h"

// Clears the fields and sets up the events (add-device).
VOID SelectiveSuspendInitialize(AdapterExtension* extension);
// Reads the "BulkUsbEnable" switch (add-device, on systems with WDM 1.32).
VOID SelectiveSuspendReadSwitch(AdapterExtension* extension);
// Start-device: with the switch on (and WDM 1.32) the idle poll starts.
VOID SelectiveSuspendStart(AdapterExtension* extension);
// Stop, surprise removal and removal: no poll, no idle request, nothing of
// either still running when it returns. PASSIVE_LEVEL.
VOID SelectiveSuspendStop(AdapterExtension* extension);
// Every Plug and Play request but start, and every create (after counting
// the new handle): a pending idle request is cancelled unless the adapter
// is idle, which brings it back to D0.
VOID SelectiveSuspendCancelIdle(AdapterExtension* extension);
// No open handle and no request in progress.
bool AdapterIsIdle(const AdapterExtension* extension);

// Reads, writes and control requests need the adapter awake: while
// selective suspend is in use they wait until no idle request exists.
// PASSIVE_LEVEL.
VOID SelectiveSuspendWaitUntilAwake(AdapterExtension* extension);
