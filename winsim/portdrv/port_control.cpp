// The serial control requests behind the comm functions, mapped onto the
// port's register image and the table's line-setting functions.
#include "portdrv/port_extension.h"

namespace winsim::portdrv {

namespace {

constexpr UCHAR kLcrParity[] = {0x00, 0x08, 0x18, 0x28, 0x38};  // none, odd, even, mark, space

UCHAR LineControlRegister(const SERIAL_LINE_CONTROL& line)
{
    UCHAR lcr = static_cast<UCHAR>((line.WordLength - 5) & kLcrWordLengthMask);
    if (line.StopBits != STOP_BIT_1) lcr |= kLcrStopBits;
    lcr |= kLcrParity[line.Parity];
    return lcr;
}

bool ValidLineControl(const SERIAL_LINE_CONTROL& line)
{
    if (line.WordLength < 5 || line.WordLength > 8 || line.Parity > SPACE_PARITY) return false;
    if (line.StopBits > STOP_BITS_2) return false;
    // 1.5 stop bits go with 5 data bits only, 2 with 6 to 8.
    if (line.StopBits == STOP_BITS_1_5 && line.WordLength != 5) return false;
    if (line.StopBits == STOP_BITS_2 && line.WordLength == 5) return false;
    return true;
}

// DTR and RTS as the handshake settings leave them while the port is open.
UCHAR LinesFromHandflow(const SERIAL_HANDFLOW& handflow)
{
    UCHAR lines = 0;
    if ((handflow.ControlHandShake & SERIAL_DTR_MASK) != 0) lines |= kMcrDtr;
    if ((handflow.FlowReplace & SERIAL_RTS_MASK) != 0) lines |= kMcrRts;
    return lines;
}

struct Buffers {
    PVOID data;
    ULONG inLength;
    ULONG outLength;
};

template <typename T>
bool Input(const Buffers& b, T* value)
{
    if (b.inLength < sizeof(T)) return false;
    RtlCopyMemory(value, b.data, sizeof(T));
    return true;
}

template <typename T>
NTSTATUS Output(PIRP irp, const Buffers& b, const T& value)
{
    if (b.outLength < sizeof(T)) return CompleteIrp(irp, STATUS_BUFFER_TOO_SMALL, 0);
    RtlCopyMemory(b.data, &value, sizeof(T));
    return CompleteIrp(irp, STATUS_SUCCESS, sizeof(T));
}

// The service's receive flow control reads both under the port lock.
VOID SetLines(PortExtension* port, UCHAR clear, UCHAR set)
{
    KIRQL irql;
    KeAcquireSpinLock(&port->lock, &irql);
    port->modemControl = static_cast<UCHAR>((port->modemControl & ~clear) | set);
    KeReleaseSpinLock(&port->lock, irql);
}

VOID SetHandflow(PortExtension* port, const SERIAL_HANDFLOW& handflow)
{
    KIRQL irql;
    KeAcquireSpinLock(&port->lock, &irql);
    port->handflow = handflow;
    port->modemControl = LinesFromHandflow(handflow);
    KeReleaseSpinLock(&port->lock, irql);
}

UCHAR LinesNow(PortExtension* port)
{
    KIRQL irql;
    KeAcquireSpinLock(&port->lock, &irql);
    const UCHAR lines = PortLinesToSend(port);
    KeReleaseSpinLock(&port->lock, irql);
    return lines;
}

// Sets the lines in the register image and applies; a break is one-shot.
bool ApplyLines(PortExtension* port, bool sendBreak)
{
    BindingExtension* binding = AcquireTable(port);
    if (binding == nullptr) return false;
    PortServicesInterface& table = binding->table;
    PortRegisters* registers = nullptr;
    bool done = table.getRegisters(table.context, port->portIndex, &registers) != 0;
    if (done) {
        registers->modemControl = LinesNow(port);
        if (sendBreak) registers->lineControl |= kLcrBreakRequest;
        done = table.applyConfig(table.context, port->portIndex) != 0;
    }
    ReleaseTable(binding);
    return done;
}

NTSTATUS Result(PIRP irp, bool done) { return CompleteIrp(irp, done ? STATUS_SUCCESS : STATUS_DEVICE_NOT_CONNECTED, 0); }

}  // namespace

bool PortApplySettings(PortExtension* port)
{
    BindingExtension* binding = AcquireTable(port);
    if (binding == nullptr) return false;
    PortServicesInterface& table = binding->table;
    const ULONG index = port->portIndex;
    PortRegisters* registers = nullptr;
    bool done = table.getRegisters(table.context, index, &registers) != 0;
    if (done) {
        registers->open = port->open ? 1 : 0;
        registers->lineControl = LineControlRegister(port->lineControl);
        registers->modemControl = LinesNow(port);
        FlowSettings flow = {};
        flow.handshake = port->handflow.ControlHandShake;
        flow.flowReplace = port->handflow.FlowReplace;
        flow.xonChar = port->chars.XonChar;
        flow.xoffChar = port->chars.XoffChar;
        // Baud rate stored, then one apply with the flow settings; the last
        // apply records the open state with the adapter.
        done = table.setBaudRate(table.context, index, port->baudRate, 0) != 0 &&
               table.setFlowControl(table.context, index, &flow) != 0 &&
               table.applyConfig(table.context, index) != 0;
    }
    ReleaseTable(binding);
    return done;
}

NTSTATUS PortDispatchControl(PortExtension* port, PIRP irp)
{
    PIO_STACK_LOCATION stack = IoGetCurrentIrpStackLocation(irp);
    const Buffers b = {irp->AssociatedIrp.SystemBuffer, stack->Parameters.DeviceIoControl.InputBufferLength,
                       stack->Parameters.DeviceIoControl.OutputBufferLength};
    if (port->removed) return CompleteIrp(irp, STATUS_DELETE_PENDING, 0);

    switch (stack->Parameters.DeviceIoControl.IoControlCode) {
    case IOCTL_SERIAL_SET_BAUD_RATE: {
        SERIAL_BAUD_RATE rate;
        if (!Input(b, &rate)) return CompleteIrp(irp, STATUS_BUFFER_TOO_SMALL, 0);
        if (rate.BaudRate == 0) return CompleteIrp(irp, STATUS_INVALID_PARAMETER, 0);
        port->baudRate = rate.BaudRate;
        return Result(irp, PortApplySettings(port));
    }
    case IOCTL_SERIAL_GET_BAUD_RATE: return Output(irp, b, SERIAL_BAUD_RATE{port->baudRate});
    case IOCTL_SERIAL_SET_LINE_CONTROL: {
        SERIAL_LINE_CONTROL line;
        if (!Input(b, &line)) return CompleteIrp(irp, STATUS_BUFFER_TOO_SMALL, 0);
        if (!ValidLineControl(line)) return CompleteIrp(irp, STATUS_INVALID_PARAMETER, 0);
        port->lineControl = line;
        return Result(irp, PortApplySettings(port));
    }
    case IOCTL_SERIAL_GET_LINE_CONTROL: return Output(irp, b, port->lineControl);
    case IOCTL_SERIAL_SET_TIMEOUTS: {
        SERIAL_TIMEOUTS timeouts;
        if (!Input(b, &timeouts)) return CompleteIrp(irp, STATUS_BUFFER_TOO_SMALL, 0);
        if (timeouts.ReadIntervalTimeout == MAXULONG && timeouts.ReadTotalTimeoutMultiplier == MAXULONG &&
            timeouts.ReadTotalTimeoutConstant == MAXULONG) {
            return CompleteIrp(irp, STATUS_INVALID_PARAMETER, 0);
        }
        KIRQL irql;
        KeAcquireSpinLock(&port->lock, &irql);
        port->timeouts = timeouts;
        KeReleaseSpinLock(&port->lock, irql);
        return CompleteIrp(irp, STATUS_SUCCESS, 0);
    }
    case IOCTL_SERIAL_GET_TIMEOUTS: return Output(irp, b, port->timeouts);
    case IOCTL_SERIAL_SET_CHARS: {
        SERIAL_CHARS chars;
        if (!Input(b, &chars)) return CompleteIrp(irp, STATUS_BUFFER_TOO_SMALL, 0);
        if (chars.XonChar == chars.XoffChar) return CompleteIrp(irp, STATUS_INVALID_PARAMETER, 0);
        port->chars = chars;
        return Result(irp, PortApplySettings(port));
    }
    case IOCTL_SERIAL_GET_CHARS: return Output(irp, b, port->chars);
    case IOCTL_SERIAL_SET_HANDFLOW: {
        SERIAL_HANDFLOW handflow;
        if (!Input(b, &handflow)) return CompleteIrp(irp, STATUS_BUFFER_TOO_SMALL, 0);
        if (handflow.XonLimit < 0 || handflow.XoffLimit < 0 ||
            static_cast<ULONG>(handflow.XonLimit) > kReceiveQueueBytes ||
            static_cast<ULONG>(handflow.XoffLimit) > kReceiveQueueBytes) {
            return CompleteIrp(irp, STATUS_INVALID_PARAMETER, 0);
        }
        SetHandflow(port, handflow);
        const bool done = PortApplySettings(port);
        // The limits may have moved past what the queue holds now.
        PortRequestService(port);
        return Result(irp, done);
    }
    case IOCTL_SERIAL_GET_HANDFLOW: return Output(irp, b, port->handflow);
    case IOCTL_SERIAL_SET_DTR: SetLines(port, 0, kMcrDtr); return Result(irp, ApplyLines(port, false));
    case IOCTL_SERIAL_CLR_DTR: SetLines(port, kMcrDtr, 0); return Result(irp, ApplyLines(port, false));
    case IOCTL_SERIAL_SET_RTS: SetLines(port, 0, kMcrRts); return Result(irp, ApplyLines(port, false));
    case IOCTL_SERIAL_CLR_RTS: SetLines(port, kMcrRts, 0); return Result(irp, ApplyLines(port, false));
    case IOCTL_SERIAL_SET_BREAK_ON: return Result(irp, ApplyLines(port, true));
    case IOCTL_SERIAL_SET_BREAK_OFF: return CompleteIrp(irp, STATUS_SUCCESS, 0);  // the break is one-shot
    case IOCTL_SERIAL_GET_DTRRTS: {
        ULONG state = ((port->modemControl & kMcrDtr) != 0 ? SERIAL_DTR_STATE : 0) |
                      ((port->modemControl & kMcrRts) != 0 ? SERIAL_RTS_STATE : 0);
        return Output(irp, b, state);
    }
    case IOCTL_SERIAL_GET_MODEMSTATUS: {
        BindingExtension* binding = AcquireTable(port);
        if (binding == nullptr) return CompleteIrp(irp, STATUS_DEVICE_NOT_CONNECTED, 0);
        PortRegisters* registers = nullptr;
        ULONG status = 0;
        if (binding->table.getRegisters(binding->table.context, port->portIndex, &registers) != 0) {
            status = registers->modemStatus;
        }
        ReleaseTable(binding);
        return Output(irp, b, status);
    }
    case IOCTL_SERIAL_GET_COMMSTATUS: {
        SERIAL_STATUS status;
        const NTSTATUS result = PortGetCommStatus(port, &status);
        return NT_SUCCESS(result) ? Output(irp, b, status) : CompleteIrp(irp, result, 0);
    }
    case IOCTL_SERIAL_SET_QUEUE_SIZE: return CompleteIrp(irp, STATUS_SUCCESS, 0);
    case IOCTL_SERIAL_SET_WAIT_MASK: {
        ULONG mask;
        if (!Input(b, &mask)) return CompleteIrp(irp, STATUS_BUFFER_TOO_SMALL, 0);
        port->waitMask = mask;
        return CompleteIrp(irp, STATUS_SUCCESS, 0);
    }
    case IOCTL_SERIAL_GET_WAIT_MASK: return Output(irp, b, port->waitMask);
    case IOCTL_SERIAL_PURGE: {
        ULONG mask;
        if (!Input(b, &mask)) return CompleteIrp(irp, STATUS_BUFFER_TOO_SMALL, 0);
        constexpr ULONG kKnown = SERIAL_PURGE_TXABORT | SERIAL_PURGE_RXABORT | SERIAL_PURGE_TXCLEAR |
                                 SERIAL_PURGE_RXCLEAR;
        if (mask == 0 || (mask & ~kKnown) != 0) return CompleteIrp(irp, STATUS_INVALID_PARAMETER, 0);
        PortFailQueued(port, STATUS_CANCELLED, (mask & SERIAL_PURGE_RXABORT) != 0,
                       (mask & SERIAL_PURGE_TXABORT) != 0);
        if ((mask & SERIAL_PURGE_RXCLEAR) != 0) {
            // What the adapter and the port have received and nobody read yet.
            // The adapter's ring goes first: emptying the port's queue asks
            // for a service pass, which would otherwise move the adapter's
            // bytes into the queue before they are thrown away.
            BindingExtension* binding = AcquireTable(port);
            if (binding != nullptr) {
                UCHAR discard[64];
                uint32_t got;
                do {
                    got = sizeof(discard);
                    if (binding->table.readData(binding->table.context, port->portIndex, discard, &got) == 0) got = 0;
                } while (got != 0);
                ReleaseTable(binding);
            }
            PortDiscardReceived(port);
        }
        return CompleteIrp(irp, STATUS_SUCCESS, 0);
    }
    default: return CompleteIrp(irp, STATUS_INVALID_PARAMETER, 0);
    }
}

}  // namespace winsim::portdrv
