// IRP_MJ_POWER.
#pragma once

#include "kernel.h"

_Dispatch_type_(IRP_MJ_POWER) DRIVER_DISPATCH DispatchPower;
