// Selective suspend of an idle adapter through the hub's idle notification.
#pragma once

#include "core/adapter_extension.h"

// Clears the fields and sets up the events (add-device).
VOID SelectiveSuspendInitialize(AdapterExtension* extension);
// Reads the "BulkUsbEnable" switch (add-device, on systems with WDM 1.32).
VOID SelectiveSuspendReadSwitch(AdapterExtension* extension);
// Reads, writes and control requests need the adapter awake: while
// selective suspend is in use they wait until no idle request exists.
// PASSIVE_LEVEL.
VOID SelectiveSuspendWaitUntilAwake(AdapterExtension* extension);
