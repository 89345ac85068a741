// The wait-wake request armed while the adapter's configuration supports
// remote wakeup.
#pragma once

#include "core/adapter_extension.h"

// Asks the power manager for a wait-wake request on the PDO.
_IRQL_requires_max_(DISPATCH_LEVEL)
NTSTATUS WaitWakeIssue(_Inout_ AdapterExtension* extension);
// Cancels the outstanding wait-wake request, if there is one.
_IRQL_requires_max_(DISPATCH_LEVEL)
VOID WaitWakeCancel(_Inout_ AdapterExtension* extension);

// IRP_MN_WAIT_WAKE on its way down through this device: remembered so that
// it can be cancelled, then passed to the bus.
_IRQL_requires_max_(DISPATCH_LEVEL)
NTSTATUS WaitWakeDispatch(_Inout_ AdapterExtension* extension, _Inout_ PIRP irp);
