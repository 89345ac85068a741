// The adapter's power policy as seen by the Plug and Play paths.
#pragma once

#include "core/adapter_extension.h"

// Capabilities arrived: the device state used when the adapter idles.
_IRQL_requires_max_(PASSIVE_LEVEL)
VOID PowerPolicyCapabilitiesKnown(_Inout_ AdapterExtension* extension);
// Start-device, once the configuration is selected.
_IRQL_requires_max_(PASSIVE_LEVEL)
VOID PowerPolicyStart(_Inout_ AdapterExtension* extension);
// Stop, surprise removal and removal: no wake request, no idling.
_IRQL_requires_max_(PASSIVE_LEVEL)
VOID PowerPolicyStop(_Inout_ AdapterExtension* extension);

// The shallowest qualifying state of S1..S3 in capabilities, else D2.
_IRQL_requires_max_(DISPATCH_LEVEL)
ULONG ComputePowerDownLevel(_In_ const DEVICE_CAPABILITIES& capabilities);
