// Port initialisation and the line settings sent to the adapter.
#pragma once

#include "core/adapter_extension.h"

// Queues the four message reads and initialises the four ports (start and
// every return to D0). PASSIVE_LEVEL: it waits for the adapter's credits.
NTSTATUS InitializePorts(AdapterExtension* extension);

// Sends the modem lines and the line settings that changed; a closed port
// loses what its rings hold. Up to DISPATCH_LEVEL.
NTSTATUS ApplyConfiguration(AdapterExtension* extension, ULONG port);
