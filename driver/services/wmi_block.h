// The adapter's WMI data block: a driver-wide 32-bit value that management
// tools may read and set, and a fixed text.
#pragma once

#include "core/adapter_extension.h"

// Driver entry: the shared value back to 3.
VOID WmiBlockDriverInitialize();
// Fills the adapter's WMI library context (add-device).
VOID WmiBlockInitialize(AdapterExtension* extension);
VOID WmiBlockDeregister(AdapterExtension* extension);

_Dispatch_type_(IRP_MJ_SYSTEM_CONTROL) DRIVER_DISPATCH DispatchSystemControl;

// The value shared by all adapters (3 at load).
extern ULONG wmiControlValue;
