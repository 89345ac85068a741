// What the port has handed to the adapter and the line has not sent yet.
// The port services tell whether the driver's transmit ring is empty, not
// what the adapter's FIFO still holds, so the port counts the bytes it
// handed over leaving one character time apart, paused while its output
// handshake holds the line. Closing waits for that, as a Windows serial
// port lets its transmitter drain before it closes; a held line gets as
// long as the bytes would need on a moving one, then they are dropped.
#include "portdrv/port_extension.h"

namespace winsim::portdrv {

namespace {

constexpr LONGLONG kTicksPerSecond = 10'000'000;
constexpr LONGLONG kTicksPerMillisecond = 10'000;
// A message reaches the adapter a USB frame or two after writeData.
constexpr LONGLONG kAdapterLagTicks = 5 * kTicksPerMillisecond;
// How often a drain looks again while the driver's ring is not empty.
constexpr LONGLONG kDrainPollTicks = 2 * kTicksPerMillisecond;

LONGLONG Now() { return static_cast<LONGLONG>(KeQueryInterruptTime()); }

// Start bit, data bits, parity and stop bits, counted in half bits for the
// 1.5 stop bits.
LONGLONG CharacterTicksLocked(const PortExtension* port)
{
    const SERIAL_LINE_CONTROL& line = port->lineControl;
    const LONGLONG halfBits = 2 * (1 + line.WordLength) + (line.Parity != NO_PARITY ? 2 : 0) +
                              (line.StopBits == STOP_BIT_1 ? 2 : line.StopBits == STOP_BITS_1_5 ? 3 : 4);
    const LONGLONG baud = port->baudRate != 0 ? port->baudRate : 1;
    return (halfBits * kTicksPerSecond + 2 * baud - 1) / (2 * baud);
}

// Line time still to go from `now`, plus `lag`; a hold in force keeps it
// from shrinking.
LONGLONG TicksLeftLocked(const PortExtension* port, LONGLONG now, LONGLONG lag)
{
    const LONGLONG from = port->transmitHeld ? port->transmitHeldSince : now;
    const LONGLONG end = port->transmitDoneAt + lag;
    return end > from ? end - from : 0;
}

bool OutputHandshakeHolds(const PortExtension* port, UCHAR modemStatus)
{
    const ULONG handshake = port->handflow.ControlHandShake;
    return ((handshake & SERIAL_CTS_HANDSHAKE) != 0 && (modemStatus & kMsrCts) == 0) ||
           ((handshake & SERIAL_DSR_HANDSHAKE) != 0 && (modemStatus & kMsrDsr) == 0);
}

struct TransmitPath {
    bool ringEmpty;
    UCHAR modemStatus;
};

bool ReadTransmitPath(PortExtension* port, PortServicesInterface& table, TransmitPath* path)
{
    PortRegisters* registers = nullptr;
    if (table.getRegisters(table.context, port->portIndex, &registers) == 0) return false;
    path->ringEmpty = (registers->lineStatus & kLsrTransmitEmpty) == kLsrTransmitEmpty;
    path->modemStatus = registers->modemStatus;
    return true;
}

// False when the port has no adapter now.
bool ReadTransmitPath(PortExtension* port, TransmitPath* path)
{
    BindingExtension* binding = AcquireTable(port);
    if (binding == nullptr) return false;
    const bool read = ReadTransmitPath(port, binding->table, path);
    ReleaseTable(binding);
    return read;
}

}  // namespace

VOID PortNoteHandedOverLocked(PortExtension* port, ULONG bytes)
{
    // Held, the bytes queue behind what waits at the hold's start.
    const LONGLONG from = port->transmitHeld ? port->transmitHeldSince : Now();
    const LONGLONG start = port->transmitDoneAt > from ? port->transmitDoneAt : from;
    port->transmitDoneAt = start + static_cast<LONGLONG>(bytes) * CharacterTicksLocked(port);
}

VOID PortNoteModemStatusLocked(PortExtension* port, UCHAR modemStatus)
{
    const bool held = OutputHandshakeHolds(port, modemStatus);
    if (held == port->transmitHeld) return;
    const LONGLONG now = Now();
    if (held) {
        port->transmitHeldSince = now;
    } else if (port->transmitDoneAt > port->transmitHeldSince) {
        // Nothing left the line while it was held.
        port->transmitDoneAt += now - port->transmitHeldSince;
    }
    port->transmitHeld = held;
}

VOID PortNoteTransmitHold(PortExtension* port, PortServicesInterface& table)
{
    TransmitPath path = {};
    if (!ReadTransmitPath(port, table, &path)) return;
    KIRQL irql;
    KeAcquireSpinLock(&port->lock, &irql);
    PortNoteModemStatusLocked(port, path.modemStatus);
    KeReleaseSpinLock(&port->lock, irql);
}

ULONG PortBytesLeftToSendLocked(const PortExtension* port)
{
    const LONGLONG character = CharacterTicksLocked(port);
    const LONGLONG bytes = (TicksLeftLocked(port, Now(), 0) + character - 1) / character;
    return bytes > MAXULONG ? MAXULONG : static_cast<ULONG>(bytes);
}

VOID PortDrainTransmit(PortExtension* port)
{
    NT_ASSERT(KeGetCurrentIrql() == PASSIVE_LEVEL);
    LONGLONG deadline = 0;
    for (;;) {
        TransmitPath path = {};
        if (!ReadTransmitPath(port, &path)) return;
        const LONGLONG now = Now();
        KIRQL irql;
        KeAcquireSpinLock(&port->lock, &irql);
        PortNoteModemStatusLocked(port, path.modemStatus);
        const LONGLONG left = TicksLeftLocked(port, now, kAdapterLagTicks);
        const bool held = port->transmitHeld;
        KeReleaseSpinLock(&port->lock, irql);
        if (path.ringEmpty && left == 0) return;
        // The bytes' own line time, counted once, held or not.
        if (deadline == 0) deadline = now + left;
        if (now >= deadline) return;
        LONGLONG wait = held || !path.ringEmpty || left < kDrainPollTicks ? kDrainPollTicks : left;
        if (wait > deadline - now) wait = deadline - now;
        LARGE_INTEGER interval;
        interval.QuadPart = -wait;
        KeDelayExecutionThread(KernelMode, FALSE, &interval);
    }
}

}  // namespace winsim::portdrv
