// Per-port state of the adapter's four serial ports.
#pragma once

#include "common/message_wire.h"
#include "common/port_registers.h"
#include "common/port_service_table.h"
#include "core/byte_ring.h"
#include "kernel.h"

struct PortRecord {
    LONG credits;  // data messages the adapter accepts now (portLock)
    ByteRing* receiveRing;
    ByteRing* transmitRing;
    ULONG baudRate;
    PortRegisters registers;  // shared with the port driver
    UCHAR lastConfig[sizeof(ConfigurationPayload)];  // all zero: none accepted yet
    UCHAR lastLines;
    UCHAR receiveFifo;
    PortNotifyCallback notify;
    PVOID notifyContext;

    // The transmit pump and the apply of the configuration each run for one
    // caller at a time (one_pass_at_a_time.h).
    LONG pumpRequests;
    LONG applyRequests;
    // Set by a closing port: the pump empties the transmit ring, since it is
    // the ring's only reader.
    LONG discardTransmit;
    // Set while the adapter is held for a lower power state, until the port
    // is initialised again: bytes sent before that would land in a FIFO the
    // initialisation empties.
    LONG transmitHeld;
};
