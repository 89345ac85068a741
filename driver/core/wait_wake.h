// The wait-wake request armed while the adapter's configuration supports
// remote wakeup.
#pragma once

#include "core/adapter_extension.h"

// Asks the power manager for a wait-wake request on the PDO.
NTSTATUS WaitWakeIssue(AdapterExtension* extension);
// Cancels the outstanding wait-wake request, if there is one.
VOID WaitWakeCancel(AdapterExtension* extension);

// IRP_MN_WAIT_WAKE on its way down through this device: remembered so that
// it can be cancelled, then passed to the bus.
NTSTATUS WaitWakeDispatch(AdapterExtension* extension, PIRP irp);
