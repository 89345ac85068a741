// The four message reads kept outstanding on pipe 0, and the handling of
// what the adapter sends.
#pragma once

#include "core/adapter_extension.h"

constexpr ULONG kStandingMessageReads = 4;

// Queues 64-byte reads until four stand. PASSIVE_LEVEL or DISPATCH_LEVEL.
// Short of memory fewer stand; the next completion tops them up again.
_IRQL_requires_max_(DISPATCH_LEVEL)
NTSTATUS ReplenishMessageReads(_Inout_ AdapterExtension* extension);

// Handles one message from the adapter (exposed for the tests of the
// protocol's edge cases).
_IRQL_requires_max_(DISPATCH_LEVEL)
VOID HandleInboundMessage(_Inout_ AdapterExtension* extension, _In_reads_bytes_(length) const UCHAR* message,
                          _In_ ULONG length);
