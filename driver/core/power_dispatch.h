// IRP_MJ_POWER.
#pragma once

#include "kernel.h"

NTSTATUS DispatchPower(PDEVICE_OBJECT device, PIRP irp);
