// The adapter's USB configuration: descriptors, the selected interface with
// its pipe table, and the pipe management around stop and removal.
#pragma once

#include "core/adapter_extension.h"

// Reads the descriptors and selects the configuration. PASSIVE_LEVEL.
NTSTATUS UsbConfigure(AdapterExtension* extension);
// Selects no configuration; the status is what stop-device passes down.
NTSTATUS UsbDeconfigure(AdapterExtension* extension);
// Aborts every pipe; an aborted pipe is no longer open. Fails with
// STATUS_INSUFFICIENT_RESOURCES when an abort could not be sent.
NTSTATUS UsbAbortPipes(AdapterExtension* extension);
// Aborts the IN pipes only: their reads wait for the adapter and never end
// by themselves, while what was sent out completes on its own.
NTSTATUS UsbAbortReadPipes(AdapterExtension* extension);
// Aborts every pipe and waits for `drained`; aborts that could not be sent
// for want of memory are sent again until it is signalled.
VOID UsbAbortPipesAndWait(AdapterExtension* extension, PKEVENT drained);
VOID UsbFreeDescriptors(AdapterExtension* extension);
