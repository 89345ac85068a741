// IRP_MJ_DEVICE_CONTROL on an adapter's control device: every request is
// answered and completed at once.
#pragma once

#include "kernel.h"

NTSTATUS DispatchDeviceControl(PDEVICE_OBJECT device, PIRP irp);
