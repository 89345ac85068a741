// Deferred PASSIVE_LEVEL work after a completion: a work item allocated per
// use on the delayed work queue, freed by the item itself.
#pragma once

#include "core/adapter_extension.h"

typedef VOID (*AdapterWorkRoutine)(AdapterExtension* extension, PVOID context);

// Fails (and the routine never runs) when no work item can be allocated.
_Must_inspect_result_ _IRQL_requires_max_(DISPATCH_LEVEL)
NTSTATUS QueueAdapterWork(_In_ AdapterExtension* extension, _In_ AdapterWorkRoutine routine, _In_opt_ PVOID context);
