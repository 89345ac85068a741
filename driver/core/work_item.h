// Deferred PASSIVE_LEVEL work after a completion: a work item allocated per
// use on the delayed work queue, freed by the item itself.
#pragma once

#include "core/adapter_extension.h"

typedef VOID (*AdapterWorkRoutine)(AdapterExtension* extension, PVOID context);

NTSTATUS QueueAdapterWork(AdapterExtension* extension, AdapterWorkRoutine routine, PVOID context);
