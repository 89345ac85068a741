// Port initialisation and the line settings sent to the adapter.
#pragma once

#include "core/adapter_extension.h"

// Queues the four message reads and initialises the four ports (start and
// every return to D0). PASSIVE_LEVEL: it waits for the adapter's credits.
// keepOpenPorts (return to D0): a port the port driver has open keeps its
// settings and the bytes in its rings, and the adapter hears them again.
_IRQL_requires_(PASSIVE_LEVEL)
NTSTATUS InitializePorts(_Inout_ AdapterExtension* extension, _In_ bool keepOpenPorts = false);

// Sends the modem lines and the line settings that changed; a closed port
// loses what its rings hold. Up to DISPATCH_LEVEL.
_IRQL_requires_max_(DISPATCH_LEVEL)
NTSTATUS ApplyConfiguration(_Inout_ AdapterExtension* extension, _In_ ULONG port);
