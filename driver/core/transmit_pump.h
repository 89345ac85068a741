// The transmit pump: moves a port's waiting bytes to the adapter as credits
// allow. Entered from the port driver's writes and from completions, at up
// to DISPATCH_LEVEL, possibly on several processors at once.
#pragma once

#include "core/adapter_extension.h"

_IRQL_requires_max_(DISPATCH_LEVEL)
VOID TransmitPumpRun(_Inout_ AdapterExtension* extension, _In_ ULONG port);

// Empties the transmit ring through the pump, its only reader.
_IRQL_requires_max_(DISPATCH_LEVEL)
VOID TransmitPumpDiscard(_Inout_ AdapterExtension* extension, _In_ ULONG port);
