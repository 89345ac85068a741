// Entry points of the adapter's lifecycle: add-device, Plug and Play,
// create, close and cleanup.
#pragma once

#include "core/adapter_extension.h"

NTSTATUS AdapterAddDevice(PDRIVER_OBJECT driverObject, PDEVICE_OBJECT pdo);

NTSTATUS DispatchPnp(PDEVICE_OBJECT device, PIRP irp);
NTSTATUS DispatchCreate(PDEVICE_OBJECT device, PIRP irp);
NTSTATUS DispatchClose(PDEVICE_OBJECT device, PIRP irp);
NTSTATUS DispatchCleanup(PDEVICE_OBJECT device, PIRP irp);

// Completes the request with a status and a transfer length.
NTSTATUS CompleteRequest(PIRP irp, NTSTATUS status, ULONG_PTR information);

// Sends the request down and waits for the lower drivers to finish with it;
// the request is ours again afterwards. PASSIVE_LEVEL.
NTSTATUS ForwardAndWait(AdapterExtension* extension, PIRP irp);
