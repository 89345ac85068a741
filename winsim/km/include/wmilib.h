// winsim kernel headers: the WMI library (WMILIB), which turns
// IRP_MJ_SYSTEM_CONTROL requests into calls of a driver's WMI callbacks.
// As on Windows, the WNODE and registration layouts are in <wmistr.h>, which
// a driver includes itself when it needs them.
#pragma once

#include "ntdef.h"
#include "km_io.h"

extern "C" {

typedef enum _WMIENABLEDISABLECONTROL {
    WmiEventControl,
    WmiDataBlockControl
} WMIENABLEDISABLECONTROL,
    *PWMIENABLEDISABLECONTROL;

// What the driver must still do with a request after WmiSystemControl.
typedef enum _SYSCTL_IRP_DISPOSITION {
    IrpProcessed,     // a callback ran; it completes the request (WmiCompleteRequest)
    IrpNotCompleted,  // status set, request not completed: the driver completes it
    IrpNotWmi,        // not a WMI request: pass it down
    IrpForward        // WMI request for another device object: pass it down
} SYSCTL_IRP_DISPOSITION,
    *PSYSCTL_IRP_DISPOSITION;

typedef struct _WMIGUIDREGINFO {
    LPCGUID Guid;
    ULONG InstanceCount;
    ULONG Flags;
} WMIGUIDREGINFO, *PWMIGUIDREGINFO;

// InstanceName and MofResourceName are empty on entry. An InstanceName buffer
// the callback allocates (base-name registration) is freed by WMILIB.
typedef NTSTATUS(NTAPI WMI_QUERY_REGINFO_CALLBACK)(PDEVICE_OBJECT DeviceObject, PULONG RegFlags,
                                                   PUNICODE_STRING InstanceName,
                                                   PUNICODE_STRING* RegistryPath,
                                                   PUNICODE_STRING MofResourceName, PDEVICE_OBJECT* Pdo);
typedef WMI_QUERY_REGINFO_CALLBACK* PWMI_QUERY_REGINFO;

typedef NTSTATUS(NTAPI WMI_FUNCTION_CONTROL_CALLBACK)(PDEVICE_OBJECT DeviceObject, PIRP Irp, ULONG GuidIndex,
                                                      WMIENABLEDISABLECONTROL Function, BOOLEAN Enable);
typedef WMI_FUNCTION_CONTROL_CALLBACK* PWMI_FUNCTION_CONTROL;

// InstanceLengthArray and Buffer are null when the output buffer cannot even
// hold the instance table; the callback then reports the size it needs with
// STATUS_BUFFER_TOO_SMALL.
typedef NTSTATUS(NTAPI WMI_QUERY_DATABLOCK_CALLBACK)(PDEVICE_OBJECT DeviceObject, PIRP Irp, ULONG GuidIndex,
                                                     ULONG InstanceIndex, ULONG InstanceCount,
                                                     PULONG InstanceLengthArray, ULONG BufferAvail,
                                                     PUCHAR Buffer);
typedef WMI_QUERY_DATABLOCK_CALLBACK* PWMI_QUERY_DATABLOCK;

typedef NTSTATUS(NTAPI WMI_EXECUTE_METHOD_CALLBACK)(PDEVICE_OBJECT DeviceObject, PIRP Irp, ULONG GuidIndex,
                                                    ULONG InstanceIndex, ULONG MethodId, ULONG InBufferSize,
                                                    ULONG OutBufferSize, PUCHAR Buffer);
typedef WMI_EXECUTE_METHOD_CALLBACK* PWMI_EXECUTE_METHOD;

typedef NTSTATUS(NTAPI WMI_SET_DATABLOCK_CALLBACK)(PDEVICE_OBJECT DeviceObject, PIRP Irp, ULONG GuidIndex,
                                                   ULONG InstanceIndex, ULONG BufferSize, PUCHAR Buffer);
typedef WMI_SET_DATABLOCK_CALLBACK* PWMI_SET_DATABLOCK;

typedef NTSTATUS(NTAPI WMI_SET_DATAITEM_CALLBACK)(PDEVICE_OBJECT DeviceObject, PIRP Irp, ULONG GuidIndex,
                                                  ULONG InstanceIndex, ULONG DataItemId, ULONG BufferSize,
                                                  PUCHAR Buffer);
typedef WMI_SET_DATAITEM_CALLBACK* PWMI_SET_DATAITEM;

// Null callbacks: no set callback makes the block read-only, no method
// callback fails method calls, no function control accepts enable/disable.
typedef struct _WMILIB_CONTEXT {
    ULONG GuidCount;
    PWMIGUIDREGINFO GuidList;
    PWMI_QUERY_REGINFO QueryWmiRegInfo;
    PWMI_QUERY_DATABLOCK QueryWmiDataBlock;
    PWMI_SET_DATABLOCK SetWmiDataBlock;
    PWMI_SET_DATAITEM SetWmiDataItem;
    PWMI_EXECUTE_METHOD ExecuteWmiMethod;
    PWMI_FUNCTION_CONTROL WmiFunctionControl;
} WMILIB_CONTEXT, *PWMILIB_CONTEXT;

// Completes a request a callback was given: BufferUsed is the size of the
// data written, or the size needed when Status is STATUS_BUFFER_TOO_SMALL.
NTKERNELAPI NTSTATUS NTAPI WmiCompleteRequest(PDEVICE_OBJECT DeviceObject, PIRP Irp, NTSTATUS Status,
                                              ULONG BufferUsed, CCHAR PriorityBoost);

NTKERNELAPI NTSTATUS NTAPI WmiSystemControl(PWMILIB_CONTEXT WmiLibInfo, PDEVICE_OBJECT DeviceObject, PIRP Irp,
                                            PSYSCTL_IRP_DISPOSITION IrpDisposition);

}  // extern "C"

static_assert(sizeof(WMIGUIDREGINFO) == 16, "WMIGUIDREGINFO is 16 bytes");
static_assert(sizeof(WMILIB_CONTEXT) == 64, "WMILIB_CONTEXT is 64 bytes");
