// The four message reads kept outstanding on pipe 0, and the handling of
// what the adapter sends.
#pragma once

#include "core/adapter_extension.h"

constexpr ULONG kStandingMessageReads = 4;

// Queues 64-byte reads until four stand. PASSIVE_LEVEL or DISPATCH_LEVEL.
// Short of memory fewer stand; the next completion tops them up again.
NTSTATUS ReplenishMessageReads(AdapterExtension* extension);

// Handles one message from the adapter (exposed for the tests of the
// protocol's edge cases).
VOID HandleInboundMessage(AdapterExtension* extension, const UCHAR* message, ULONG length);
