// The adapter's power policy as seen by the Plug and Play paths.
#pragma once

#include "core/adapter_extension.h"

// Capabilities arrived: the device state used when the adapter idles.
VOID PowerPolicyCapabilitiesKnown(AdapterExtension* extension);
// Start-device, once the configuration is selected.
VOID PowerPolicyStart(AdapterExtension* extension);
// Stop, surprise removal and removal: no wake request, no idling.
VOID PowerPolicyStop(AdapterExtension* extension);

// The shallowest qualifying state of S1..S3 in capabilities, else D2.
ULONG ComputePowerDownLevel(const DEVICE_CAPABILITIES& capabilities);
