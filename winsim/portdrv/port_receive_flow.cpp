// Receive flow control, as a Windows serial port does it: when the input
// queue has no more than XoffLimit bytes free, the port holds the far end
// back (RTS or DTR lowered under handshake control, XOFF sent with automatic
// receive flow control); once no more than XonLimit bytes wait it lets go
// (the line raised, XON sent). Everything goes through the port services
// table; it runs at the end of each service pass, which is when the queue
// fills or empties.
#include "portdrv/port_extension.h"

namespace winsim::portdrv {

namespace {

bool RtsHandshake(const SERIAL_HANDFLOW& handflow)
{
    return (handflow.FlowReplace & SERIAL_RTS_MASK) == SERIAL_RTS_HANDSHAKE;
}

bool DtrHandshake(const SERIAL_HANDFLOW& handflow)
{
    return (handflow.ControlHandShake & SERIAL_DTR_MASK) == SERIAL_DTR_HANDSHAKE;
}

bool AutoReceive(const SERIAL_HANDFLOW& handflow) { return (handflow.FlowReplace & SERIAL_AUTO_RECEIVE) != 0; }

// What the pass has to send: a line change and, for XON/XOFF, one character.
struct FlowChange {
    bool lines = false;
    UCHAR character = 0;
    bool sendCharacter = false;
};

FlowChange DecideLocked(PortExtension* port)
{
    FlowChange change;
    const SERIAL_HANDFLOW& handflow = port->handflow;
    const bool anyFlow = RtsHandshake(handflow) || DtrHandshake(handflow) || AutoReceive(handflow);
    const ULONG freeBytes = kReceiveQueueBytes - port->receivedCount;
    bool hold = port->receiveHeld;
    if (!anyFlow || !port->open) {
        hold = false;
    } else if (!hold && freeBytes <= static_cast<ULONG>(handflow.XoffLimit)) {
        hold = true;
    } else if (hold && port->receivedCount <= static_cast<ULONG>(handflow.XonLimit)) {
        hold = false;
    }
    if (hold != port->receiveHeld) {
        port->receiveHeld = hold;
        change.lines = true;
        if (AutoReceive(handflow) && port->open) {
            port->flowCharacter = hold ? port->chars.XoffChar : port->chars.XonChar;
            port->flowCharacterPending = true;
        }
    }
    // A character the adapter had no room for goes out with a later pass.
    if (port->flowCharacterPending) {
        change.character = port->flowCharacter;
        change.sendCharacter = true;
    }
    return change;
}

}  // namespace

UCHAR PortLinesToSend(const PortExtension* port)
{
    if (!port->open) return 0;
    UCHAR lines = port->modemControl;
    if (port->receiveHeld) {
        if (RtsHandshake(port->handflow)) lines &= static_cast<UCHAR>(~kMcrRts);
        if (DtrHandshake(port->handflow)) lines &= static_cast<UCHAR>(~kMcrDtr);
    }
    return lines;
}

VOID PortUpdateReceiveFlow(PortExtension* port, PortServicesInterface& table)
{
    KIRQL irql;
    KeAcquireSpinLock(&port->lock, &irql);
    const FlowChange change = DecideLocked(port);
    const UCHAR lines = PortLinesToSend(port);
    KeReleaseSpinLock(&port->lock, irql);

    if (change.lines) {
        PortRegisters* registers = nullptr;
        if (table.getRegisters(table.context, port->portIndex, &registers) != 0) {
            registers->modemControl = lines;
            table.applyConfig(table.context, port->portIndex);
        }
    }
    if (change.sendCharacter && table.writeData(table.context, port->portIndex, &change.character, 1) != 0) {
        KeAcquireSpinLock(&port->lock, &irql);
        if (port->flowCharacter == change.character) port->flowCharacterPending = false;
        PortNoteHandedOverLocked(port, 1);
        KeReleaseSpinLock(&port->lock, irql);
    }
}

}  // namespace winsim::portdrv
