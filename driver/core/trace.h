// Failure tracing for support engineers: one line per failure, under the
// IHV driver component at error level ("84prusb: WHAT failed 0xSTATUS").
// On Windows it shows in a kernel debugger or DebugView once the component
// is enabled (Debug Print Filter "IHVDRIVER" = 1); any IRQL up to DISPATCH.
#pragma once

#include "kernel.h"

_IRQL_requires_max_(DISPATCH_LEVEL)
VOID TraceFailure(_In_z_ PCSTR what, _In_ NTSTATUS status);
