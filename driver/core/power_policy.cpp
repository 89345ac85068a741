#include "core/power_policy.h"

#include "core/selective_suspend.h"
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
    const PUSB_CONFIGURATION_DESCRIPTOR configuration = extension->configurationDescriptor;
    extension->remoteWakeSupported =
        configuration != nullptr && (configuration->bmAttributes & USB_CONFIG_REMOTE_WAKEUP) != 0 ? 1 : 0;
    InterlockedExchange(&extension->waitWakeOutstanding, 0);
    InterlockedExchange(&extension->waitWakeCancelFlag, 0);
    if (extension->remoteWakeSupported) WaitWakeIssue(extension);
    SelectiveSuspendStart(extension);
}

VOID PowerPolicyStop(AdapterExtension* extension)
{
    SelectiveSuspendStop(extension);
    if (extension->remoteWakeSupported) WaitWakeCancel(extension);
}
