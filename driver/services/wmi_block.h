// The adapter's WMI data block: a driver-wide 32-bit value that management
// tools may read and set, and a fixed text.
#pragma once

#include "core/adapter_extension.h"

// Driver entry: the shared value back to 3.
_IRQL_requires_(PASSIVE_LEVEL)
VOID WmiBlockDriverInitialize();
// Fills the adapter's WMI library context (add-device).
_IRQL_requires_(PASSIVE_LEVEL)
VOID WmiBlockInitialize(_Inout_ AdapterExtension* extension);
_IRQL_requires_(PASSIVE_LEVEL)
VOID WmiBlockDeregister(_In_ AdapterExtension* extension);

_Dispatch_type_(IRP_MJ_SYSTEM_CONTROL) DRIVER_DISPATCH DispatchSystemControl;

// The value shared by all adapters (3 at load).
extern ULONG wmiControlValue;
