// The receive and transmit rings of the adapter's four ports, which live as
// long as the device object.
#pragma once

#include "core/adapter_extension.h"

// Zeroes the port records and creates each port's receive ring, then its
// transmit ring; on failure none is left.
_Must_inspect_result_ _IRQL_requires_max_(DISPATCH_LEVEL)
NTSTATUS PortRingsCreate(_Inout_ AdapterExtension* extension);
_IRQL_requires_max_(DISPATCH_LEVEL)
VOID PortRingsFree(_Inout_ AdapterExtension* extension);
