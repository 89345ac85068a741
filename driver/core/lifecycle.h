// Entry points of the adapter's lifecycle: add-device, Plug and Play,
// create, close and cleanup.
#pragma once

#include "core/adapter_extension.h"

DRIVER_ADD_DEVICE AdapterAddDevice;

_Dispatch_type_(IRP_MJ_PNP) DRIVER_DISPATCH DispatchPnp;
_Dispatch_type_(IRP_MJ_CREATE) DRIVER_DISPATCH DispatchCreate;
_Dispatch_type_(IRP_MJ_CLOSE) DRIVER_DISPATCH DispatchClose;
_Dispatch_type_(IRP_MJ_CLEANUP) DRIVER_DISPATCH DispatchCleanup;

// Completes the request with a status and a transfer length.
_IRQL_requires_max_(DISPATCH_LEVEL)
NTSTATUS CompleteRequest(_Inout_ PIRP irp, _In_ NTSTATUS status, _In_ ULONG_PTR information);

// Sends the request down and waits for the lower drivers to finish with it;
// the request is ours again afterwards.
_IRQL_requires_(PASSIVE_LEVEL)
NTSTATUS ForwardAndWait(_In_ AdapterExtension* extension, _Inout_ PIRP irp);
