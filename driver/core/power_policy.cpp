#include "core/power_policy.h"

#include "core/wait_wake.h"

ULONG ComputePowerDownLevel(const DEVICE_CAPABILITIES& capabilities)
{
    static const SYSTEM_POWER_STATE kSleepStates[] = {PowerSystemSleeping1, PowerSystemSleeping2,
                                                     PowerSystemSleeping3};
    ULONG level = PowerDeviceUnspecified;
    for (SYSTEM_POWER_STATE state : kSleepStates) {
        if (capabilities.DeviceState[state] < PowerDeviceD3) level = capabilities.DeviceState[state];
    }
    if (level == PowerDeviceUnspecified || level == PowerDeviceD0) level = PowerDeviceD2;
    return level;
}

VOID PowerPolicyCapabilitiesKnown(AdapterExtension* extension)
{
    extension->powerDownLevel = ComputePowerDownLevel(extension->capabilities);
}

VOID PowerPolicyStart(AdapterExtension* extension)
{
    InterlockedExchange(&extension->waitWakeOutstanding, 0);
    InterlockedExchange(&extension->waitWakeCancelFlag, 0);
    if (extension->remoteWakeSupported) WaitWakeIssue(extension);
}

VOID PowerPolicyStop(AdapterExtension* extension)
{
    if (extension->remoteWakeSupported) WaitWakeCancel(extension);
}
