// The transmit pump: moves a port's waiting bytes to the adapter as credits
// allow. Entered from the port driver's writes and from completions, at up
// to DISPATCH_LEVEL, possibly on several processors at once.
#pragma once

#include "core/adapter_extension.h"

VOID TransmitPumpRun(AdapterExtension* extension, ULONG port);

// Empties the transmit ring through the pump, its only reader.
VOID TransmitPumpDiscard(AdapterExtension* extension, ULONG port);
