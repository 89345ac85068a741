// IOCTL_SERIAL_GET_COMMSTATUS, from what the port services let the port
// see: its own queues, the bytes still on their way out, the modem status
// against the output handshake, and the error bits of the line status.
#include "portdrv/port_extension.h"

namespace winsim::portdrv {

namespace {

// The driver sets the error bits and never clears them, so an error is
// new when its bit is set and was clear at the last look.
ULONG NewErrorsLocked(PortExtension* port, UCHAR lineStatus)
{
    const UCHAR errors = lineStatus & (kLsrParityError | kLsrFramingError | kLsrBreak);
    const UCHAR fresh = errors & static_cast<UCHAR>(~port->lineErrorsSeen);
    port->lineErrorsSeen = errors;
    return ((fresh & kLsrBreak) != 0 ? SERIAL_ERROR_BREAK : 0) |
           ((fresh & kLsrFramingError) != 0 ? SERIAL_ERROR_FRAMING : 0) |
           ((fresh & kLsrParityError) != 0 ? SERIAL_ERROR_PARITY : 0);
}

ULONG HoldReasonsLocked(const PortExtension* port, UCHAR modemStatus)
{
    const ULONG handshake = port->handflow.ControlHandShake;
    return ((handshake & SERIAL_CTS_HANDSHAKE) != 0 && (modemStatus & kMsrCts) == 0 ? SERIAL_TX_WAITING_FOR_CTS : 0) |
           ((handshake & SERIAL_DSR_HANDSHAKE) != 0 && (modemStatus & kMsrDsr) == 0 ? SERIAL_TX_WAITING_FOR_DSR : 0);
}

// What queued writes still hold, the one the service works on included.
ULONG QueuedWriteBytesLocked(PortExtension* port)
{
    ULONG64 bytes = 0;
    for (LIST_ENTRY* entry = port->writes.Flink; entry != &port->writes; entry = entry->Flink) {
        PIRP irp = CONTAINING_RECORD(entry, IRP, Tail.Overlay.ListEntry);
        bytes += IoGetCurrentIrpStackLocation(irp)->Parameters.Write.Length - irp->IoStatus.Information;
    }
    return bytes > MAXULONG ? MAXULONG : static_cast<ULONG>(bytes);
}

}  // namespace

NTSTATUS PortGetCommStatus(PortExtension* port, PSERIAL_STATUS status)
{
    BindingExtension* binding = AcquireTable(port);
    if (binding == nullptr) return STATUS_DEVICE_NOT_CONNECTED;
    PortRegisters* registers = nullptr;
    const bool read = binding->table.getRegisters(binding->table.context, port->portIndex, &registers) != 0;
    const UCHAR lineStatus = read ? registers->lineStatus : kLsrInitial;
    const UCHAR modemStatus = read ? registers->modemStatus : 0;
    ReleaseTable(binding);
    if (!read) return STATUS_DEVICE_NOT_CONNECTED;

    *status = SERIAL_STATUS{};
    KIRQL irql;
    KeAcquireSpinLock(&port->lock, &irql);
    PortNoteModemStatusLocked(port, modemStatus);
    status->Errors = NewErrorsLocked(port, lineStatus);
    status->HoldReasons = HoldReasonsLocked(port, modemStatus);
    status->AmountInInQueue = port->receivedCount;
    ULONG64 out = static_cast<ULONG64>(QueuedWriteBytesLocked(port)) + PortBytesLeftToSendLocked(port);
    // The driver's ring holds bytes the line time already counted as gone:
    // the adapter took them late, so at least one is still there.
    if ((lineStatus & kLsrTransmitEmpty) != kLsrTransmitEmpty && out == 0) out = 1;
    status->AmountInOutQueue = out > MAXULONG ? MAXULONG : static_cast<ULONG>(out);
    KeReleaseSpinLock(&port->lock, irql);
    return STATUS_SUCCESS;
}

}  // namespace winsim::portdrv
