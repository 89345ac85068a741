// The port services interface handed to the serial port driver.
#pragma once

#include "core/adapter_extension.h"

// Answers IRP_MN_QUERY_INTERFACE; never passes it down.
_IRQL_requires_max_(PASSIVE_LEVEL)
_Must_inspect_result_
NTSTATUS PortServicesQueryInterface(_In_ AdapterExtension* extension, _Inout_ PIRP irp);
