// winsim kernel headers: power states and the power manager's services.
#pragma once

#include "ntdef.h"

typedef enum _SYSTEM_POWER_STATE {
    PowerSystemUnspecified = 0,
    PowerSystemWorking = 1,
    PowerSystemSleeping1 = 2,
    PowerSystemSleeping2 = 3,
    PowerSystemSleeping3 = 4,
    PowerSystemHibernate = 5,
    PowerSystemShutdown = 6,
    PowerSystemMaximum = 7,
} SYSTEM_POWER_STATE, *PSYSTEM_POWER_STATE;
#define POWER_SYSTEM_MAXIMUM 7

typedef enum _DEVICE_POWER_STATE {
    PowerDeviceUnspecified = 0,
    PowerDeviceD0 = 1,
    PowerDeviceD1 = 2,
    PowerDeviceD2 = 3,
    PowerDeviceD3 = 4,
    PowerDeviceMaximum = 5,
} DEVICE_POWER_STATE, *PDEVICE_POWER_STATE;

typedef union _POWER_STATE {
    SYSTEM_POWER_STATE SystemState;
    DEVICE_POWER_STATE DeviceState;
} POWER_STATE, *PPOWER_STATE;

typedef enum _POWER_STATE_TYPE { SystemPowerState = 0, DevicePowerState = 1 } POWER_STATE_TYPE;

typedef enum _POWER_ACTION {
    PowerActionNone = 0,
    PowerActionReserved,
    PowerActionSleep,
    PowerActionHibernate,
    PowerActionShutdown,
    PowerActionShutdownReset,
    PowerActionShutdownOff,
    PowerActionWarmEject,
} POWER_ACTION;

struct _DEVICE_OBJECT;
struct _IRP;
struct _IO_STATUS_BLOCK;

typedef VOID REQUEST_POWER_COMPLETE(struct _DEVICE_OBJECT* DeviceObject, UCHAR MinorFunction, POWER_STATE PowerState,
                                    PVOID Context, struct _IO_STATUS_BLOCK* IoStatus);
typedef REQUEST_POWER_COMPLETE* PREQUEST_POWER_COMPLETE;

extern "C" {
NTKERNELAPI VOID PoStartNextPowerIrp(struct _IRP* Irp);
NTKERNELAPI NTSTATUS PoCallDriver(struct _DEVICE_OBJECT* DeviceObject, struct _IRP* Irp);
NTKERNELAPI POWER_STATE PoSetPowerState(struct _DEVICE_OBJECT* DeviceObject, POWER_STATE_TYPE Type, POWER_STATE State);
NTKERNELAPI NTSTATUS PoRequestPowerIrp(struct _DEVICE_OBJECT* DeviceObject, UCHAR MinorFunction,
                                       POWER_STATE PowerState, PREQUEST_POWER_COMPLETE CompletionFunction,
                                       PVOID Context, struct _IRP** Irp);
}
