// The receive FIFO setting of a port, taken from the port's device key when
// the port driver registers the port.
#pragma once

#include "kernel.h"

// The "ReceiveFIFO" value of the port device's device-parameters key as a
// number; 16 when the key or a readable REG_SZ value is missing.
// PASSIVE_LEVEL.
LONG ReadPortReceiveFifoValue(PDEVICE_OBJECT portDevice);

// The byte the adapter gets: -1 (automatic) gives 16, 1 (none) gives 0, any
// other value its low byte.
UCHAR ReceiveFifoByte(LONG value);
