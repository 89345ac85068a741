// Device power requests on their way down: up to D0 with the ports
// re-initialised afterwards, down with traffic held until it has drained.
#pragma once

#include "core/adapter_extension.h"

// IRP_MN_SET_POWER and IRP_MN_QUERY_POWER for a device state; the request
// carries one outstanding-I/O count, which these give up.
NTSTATUS DeviceSetPower(AdapterExtension* extension, PIRP irp);
NTSTATUS DeviceQueryPower(AdapterExtension* extension, PIRP irp);

// Asks the power manager to set a device state, counted in outstandingIo
// until the request finishes. A return to D0 refused for want of memory is
// asked again from a worker: the adapter would stay powered down.
NTSTATUS RequestDevicePowerCounted(AdapterExtension* extension, DEVICE_POWER_STATE state);

// PoRequestPowerIrp for the adapter, asked again every 10 ms for up to a
// second while memory is short. PASSIVE_LEVEL.
NTSTATUS RequestDevicePowerRetrying(AdapterExtension* extension, DEVICE_POWER_STATE state,
                                    PREQUEST_POWER_COMPLETE done, PVOID context);
// Asks for a device state and waits for it. PASSIVE_LEVEL.
NTSTATUS RequestDevicePowerAndWait(AdapterExtension* extension, DEVICE_POWER_STATE state);
