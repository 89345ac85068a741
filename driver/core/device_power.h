// Device power requests on their way down: up to D0 with the ports
// re-initialised afterwards, down with traffic held until it has drained.
#pragma once

#include "core/adapter_extension.h"

// IRP_MN_SET_POWER and IRP_MN_QUERY_POWER for a device state; the request
// carries one outstanding-I/O count, which these give up.
NTSTATUS DeviceSetPower(AdapterExtension* extension, PIRP irp);
NTSTATUS DeviceQueryPower(AdapterExtension* extension, PIRP irp);

// Asks the power manager to set a device state, counted in outstandingIo
// until the request finishes.
NTSTATUS RequestDevicePowerCounted(AdapterExtension* extension, DEVICE_POWER_STATE state);

// Asks for a device state and waits for it. PASSIVE_LEVEL.
NTSTATUS RequestDevicePowerAndWait(AdapterExtension* extension, DEVICE_POWER_STATE state);
