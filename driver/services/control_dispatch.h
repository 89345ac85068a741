// IRP_MJ_DEVICE_CONTROL on an adapter's control device: every request is
// answered and completed at once.
#pragma once

#include "kernel.h"

_Dispatch_type_(IRP_MJ_DEVICE_CONTROL) DRIVER_DISPATCH DispatchDeviceControl;
