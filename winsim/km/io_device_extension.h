// What DEVICE_OBJECT.DeviceObjectExtension points at: the system's own
// bookkeeping for a device object. The first fields carry the names Windows
// gives them; the rest is the machine's.
#pragma once

#include <km_io.h>

#include <string>

#define DOE_UNLOAD_PENDING 0x00000001
#define DOE_DELETE_PENDING 0x00000002

struct _DEVOBJ_EXTENSION {
    CSHORT Type;
    USHORT Size;
    PDEVICE_OBJECT DeviceObject;
    ULONG ExtensionFlags;
    // The PnP manager's device node of a PDO; null until it assigns one.
    PVOID DeviceNode;
    // The device this one sits on (what IoAttachDeviceToDeviceStack returned).
    PDEVICE_OBJECT AttachedTo;

    // Name in \Device, empty when the device has none.
    std::u16string name;
    // Device instance path of a PDO (USB\VID_2B84&PID_0841\<instance>); the
    // PnP manager sets it, device interfaces are named after it.
    std::u16string instanceId;
    // Stack locations of live IRPs that point at this device.
    LONG inFlightIrps;
    bool wmiRegistered;
    // Off its driver's list: only references keep the memory.
    bool unlinked;
    // What the device's power policy owner last told PoSetPowerState.
    SYSTEM_POWER_STATE systemPowerState = PowerSystemWorking;
    DEVICE_POWER_STATE devicePowerState = PowerDeviceD0;
};
