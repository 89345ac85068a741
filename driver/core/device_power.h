// Device power requests on their way down: up to D0 with the ports
// re-initialised afterwards, down with traffic held until it has drained.
#pragma once

#include "core/adapter_extension.h"

// IRP_MN_SET_POWER and IRP_MN_QUERY_POWER for a device state; the request
// carries one outstanding-I/O count, which these give up.
_IRQL_requires_max_(DISPATCH_LEVEL)
NTSTATUS DeviceSetPower(_Inout_ AdapterExtension* extension, _Inout_ PIRP irp);
_IRQL_requires_max_(DISPATCH_LEVEL)
NTSTATUS DeviceQueryPower(_Inout_ AdapterExtension* extension, _Inout_ PIRP irp);

// Asks the power manager to set a device state, counted in outstandingIo
// until the request finishes. A return to D0 refused for want of memory is
// asked again from a worker: the adapter would stay powered down.
_IRQL_requires_max_(DISPATCH_LEVEL)
NTSTATUS RequestDevicePowerCounted(_Inout_ AdapterExtension* extension, _In_ DEVICE_POWER_STATE state);

// PoRequestPowerIrp for the adapter, asked again every 10 ms for up to a
// second while memory is short. PASSIVE_LEVEL.
_IRQL_requires_max_(PASSIVE_LEVEL)
_Must_inspect_result_
NTSTATUS RequestDevicePowerRetrying(_Inout_ AdapterExtension* extension, _In_ DEVICE_POWER_STATE state,
                                    _In_ PREQUEST_POWER_COMPLETE done, _In_opt_ PVOID context);
// Asks for a device state and waits for it. PASSIVE_LEVEL.
_IRQL_requires_max_(PASSIVE_LEVEL)
NTSTATUS RequestDevicePowerAndWait(_Inout_ AdapterExtension* extension, _In_ DEVICE_POWER_STATE state);
