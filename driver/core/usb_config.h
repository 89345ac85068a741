// The adapter's USB configuration: descriptors, the selected interface with
// its pipe table, and the pipe management around stop and removal.
#pragma once

#include "core/adapter_extension.h"

// Reads the descriptors and selects the configuration. PASSIVE_LEVEL.
_Must_inspect_result_ _IRQL_requires_(PASSIVE_LEVEL)
NTSTATUS UsbConfigure(_Inout_ AdapterExtension* extension);
// Selects no configuration.
_IRQL_requires_(PASSIVE_LEVEL)
NTSTATUS UsbDeconfigure(_Inout_ AdapterExtension* extension);
// Aborts every pipe; an aborted pipe is no longer open. Fails with
// STATUS_INSUFFICIENT_RESOURCES when an abort could not be sent.
_IRQL_requires_(PASSIVE_LEVEL)
NTSTATUS UsbAbortPipes(_Inout_ AdapterExtension* extension);
// Aborts the IN pipes only: their reads wait for the adapter and never end
// by themselves, while what was sent out completes on its own.
_IRQL_requires_(PASSIVE_LEVEL)
NTSTATUS UsbAbortReadPipes(_Inout_ AdapterExtension* extension);
// Aborts every pipe and waits for `drained`; aborts that could not be sent
// for want of memory are sent again until it is signalled.
_IRQL_requires_(PASSIVE_LEVEL)
VOID UsbAbortPipesAndWait(_Inout_ AdapterExtension* extension, _In_ PKEVENT drained);
_IRQL_requires_(PASSIVE_LEVEL)
VOID UsbFreeDescriptors(_Inout_ AdapterExtension* extension);
