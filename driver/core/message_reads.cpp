#include "core/message_reads.h"

#include "common/adapter_messages.h"
#include "common/port_registers.h"
#include "core/adapter_messages.h"
#include "core/io_count.h"
#include "core/transmit_pump.h"
#include "core/usb_request.h"
#include "core/work_item.h"
#include "services/monitor.h"

namespace {

VOID AddCredits(AdapterExtension* extension, ULONG port, UCHAR returned)
{
    if (returned == 0) return;
    KIRQL irql;
    KeAcquireSpinLock(&extension->portLock, &irql);
    LONG credits = extension->ports[port].credits += returned;
    KeReleaseSpinLock(&extension->portLock, irql);
    if (credits > 0) {
        TransmitPumpRun(extension, port);
        NotifyPortDriver(extension, port, kNotifyTransmit);
    }
}

VOID HandleData(AdapterExtension* extension, ULONG port, const UCHAR* message, ULONG length)
{
    AddCredits(extension, port, message[1]);
    if (length <= kMessageHeaderLength) return;
    PortRecord& record = extension->ports[port];
    const UCHAR* data = message + kMessageHeaderLength;
    const ULONG count = length - kMessageHeaderLength;
    // What does not fit is dropped: the adapter sent more than was read.
    ByteRingWrite(record.receiveRing, data, count);
    const bool waiting = ByteRingCount(record.receiveRing) != 0;
    SetLineStatusBits(extension, port, waiting ? kLsrDataReady : 0, waiting ? 0 : kLsrDataReady);
    if (extension->adapterEntry != nullptr) MonitorAdd(extension, port, kMonitorReceived, data, count);
    NotifyPortDriver(extension, port, kNotifyReceive);
}

VOID HandleStatus(AdapterExtension* extension, ULONG port, const UCHAR* message, ULONG length)
{
    AddCredits(extension, port, message[1]);
    if (length <= kMessageHeaderLength) return;
    auto byteAt = [&](size_t offset) { return offset < length ? message[offset] : 0; };
    UCHAR modemStatus = 0;
    if (byteAt(kStatusCtsOffset) != 0) modemStatus |= kMsrCts;
    if (byteAt(kStatusDcdOffset) != 0) modemStatus |= kMsrDcd;
    if (byteAt(kStatusDsrOffset) != 0) modemStatus |= kMsrDsr;
    if (byteAt(kStatusRiOffset) != 0) modemStatus |= kMsrRi;
    const bool breakReceived = byteAt(kStatusBreakOffset) != 0;
    KIRQL irql;
    KeAcquireSpinLock(&extension->portLock, &irql);
    PortRegisters& registers = extension->ports[port].registers;
    registers.modemStatus = modemStatus;
    registers.lineStatus = static_cast<UCHAR>(breakReceived ? (registers.lineStatus | kLsrBreak)
                                                            : (registers.lineStatus & ~kLsrBreak));
    KeReleaseSpinLock(&extension->portLock, irql);
    NotifyPortDriver(extension, port, kNotifyTransmit);
}

VOID HandleVersionText(AdapterExtension* extension, const UCHAR* message, ULONG length)
{
    ULONG count = length - kMessageHeaderLength;
    if (count > sizeof(extension->firmwareVersion) - 1) count = sizeof(extension->firmwareVersion) - 1;
    RtlCopyMemory(extension->firmwareVersion, message + kMessageHeaderLength, count);
    extension->firmwareVersion[count] = 0;
    KeSetEvent(&extension->replyEvent, IO_NO_INCREMENT, FALSE);
}

VOID RearmRead(AdapterExtension* extension, PVOID context)
{
    UNREFERENCED_PARAMETER(context);
    QueueMessageRead(extension);
    IoCountDecrement(extension);
}

VOID InboundComplete(MessageRequest* request)
{
    AdapterExtension* extension = ExtensionOf(request->device);
    if (!NT_SUCCESS(request->status)) {
        // A failed read is not replaced: the pipe was aborted or the adapter
        // is gone; port initialisation starts new ones.
        FreeMessageRequest(request);
        return;
    }
    HandleInboundMessage(extension, request->buffer, static_cast<ULONG>(request->transferred));
    FreeMessageRequest(request);
    // The new read waits for PASSIVE_LEVEL; the work counts as outstanding
    // I/O so that removal waits for it.
    IoCountIncrement(extension);
    if (!NT_SUCCESS(QueueAdapterWork(extension, RearmRead, nullptr))) IoCountDecrement(extension);
}

}  // namespace

VOID HandleInboundMessage(AdapterExtension* extension, const UCHAR* message, ULONG length)
{
    if (length < kMessageHeaderLength || length > kMessageMaxLength) return;
    const UCHAR code = message[0];
    const UCHAR base = MessageBaseCode(code);
    const ULONG port = MessagePort(code);
    switch (base) {
    case kMsgReceiveFramingError:
        SetLineStatusBits(extension, port, kLsrFramingError, 0);
        HandleData(extension, port, message, length);
        break;
    case kMsgReceiveParityError:
        SetLineStatusBits(extension, port, kLsrParityError, 0);
        HandleData(extension, port, message, length);
        break;
    case kMsgReceiveData: HandleData(extension, port, message, length); break;
    case kMsgStatus: HandleStatus(extension, port, message, length); break;
    case kMsgSetCredits: {
        KIRQL irql;
        KeAcquireSpinLock(&extension->portLock, &irql);
        extension->ports[port].credits = message[1];
        KeReleaseSpinLock(&extension->portLock, irql);
        break;
    }
    case kMsgVersionText: HandleVersionText(extension, message, length); break;
    case kMsgAck:
    case kMsgAckAlt: KeSetEvent(&extension->replyEvent, IO_NO_INCREMENT, FALSE); break;
    default: break;  // 0x49 and anything unknown: nothing to do
    }
}

NTSTATUS QueueMessageRead(AdapterExtension* extension)
{
    // Held for a lower power state: the return to D0 starts the reads again.
    if (__atomic_load_n(&extension->ioHeld, __ATOMIC_SEQ_CST) != 0) return STATUS_POWER_STATE_INVALID;
    MessageRequest* request = AllocateMessageRequest(extension, 1, kMessageBufferSize, 0, InboundComplete);
    if (request == nullptr) return STATUS_INSUFFICIENT_RESOURCES;
    NTSTATUS status = UsbSendMessage(extension, request);
    if (!UsbMessageTransferStarted(status)) FreeMessageRequest(request);
    return status == STATUS_PENDING ? STATUS_SUCCESS : status;
}
