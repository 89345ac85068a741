// The port services interface handed to the serial port driver.
#pragma once

#include "core/adapter_extension.h"

// Answers IRP_MN_QUERY_INTERFACE; never passes it down.
NTSTATUS PortServicesQueryInterface(AdapterExtension* extension, PIRP irp);
