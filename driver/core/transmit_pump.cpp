#include "core/transmit_pump.h"

#include "common/message_wire.h"
#include "common/port_registers.h"
#include "core/adapter_messages.h"
#include "core/one_pass_at_a_time.h"

// One caller at a time runs the pump for a port. pumpRequests counts the
// callers that asked: the one that raises it from 0 runs passes until no
// request arrived during its last pass; the others return at once, their
// request served by that next pass. Nobody waits, and the transmit ring
// keeps a single reader.

namespace {

VOID PumpPass(AdapterExtension* extension, ULONG port)
{
    PortRecord& record = extension->ports[port];
    if (InterlockedExchange(&record.discardTransmit, 0) != 0) ByteRingDiscard(record.transmitRing);
    // Held for a lower power state: the bytes wait in the ring for the pump
    // run that follows the port's initialisation after D0.
    if (InterlockedCompareExchange(&record.transmitHeld, 0, 0) != 0 ||
        InterlockedCompareExchange(&extension->ioHeld, 0, 0) != 0) {
        return;
    }

    if (ByteRingCount(record.transmitRing) != 0 && TakeCredit(extension, port) != 0) {
        UCHAR data[kMessagePayloadMax];
        ULONG length = ByteRingPeek(record.transmitRing, data, sizeof(data));
        if (length == 0) {
            GiveBackCredit(extension, port);
        } else if (!NT_SUCCESS(SendDataMessage(extension, port, data, length, true))) {
            // The bytes wait for the next pass: the message may have failed
            // for want of memory only. A port torn down discards them.
            return;
        } else {
            ByteRingSkip(record.transmitRing, length);
        }
    }
    const bool empty = ByteRingCount(record.transmitRing) == 0;
    SetLineStatusBits(extension, port, empty ? kLsrTransmitEmpty : 0, empty ? 0 : kLsrTransmitEmpty);
}

}  // namespace

VOID TransmitPumpRun(AdapterExtension* extension, ULONG port)
{
    PortRecord& record = extension->ports[port];
    if (record.transmitRing == nullptr) return;
    RunOnePassAtATime(&record.pumpRequests, [&] { PumpPass(extension, port); });
}

VOID TransmitPumpDiscard(AdapterExtension* extension, ULONG port)
{
    InterlockedExchange(&extension->ports[port].discardTransmit, 1);
    TransmitPumpRun(extension, port);
}
