#include "core/message_reads.h"

#include "common/message_wire.h"
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
    ReplenishMessageReads(extension);
    IoCountDecrement(extension);
}

VOID InboundComplete(MessageRequest* request)
{
    AdapterExtension* extension = ExtensionOf(request->device);
    InterlockedDecrement(&extension->standingReads);
    if (!NT_SUCCESS(request->status)) {
        // A failed read is not replaced: the pipe was aborted or the adapter
        // is gone; port initialisation starts new ones.
        FreeMessageRequest(request);
        return;
    }
    HandleInboundMessage(extension, request->buffer, static_cast<ULONG>(request->transferred));
    FreeMessageRequest(request);
    // The new read waits for PASSIVE_LEVEL; the work counts as outstanding
    // I/O so that removal waits for it. Without memory for a work item the
    // read goes down from here, or the pipe would lose it for good; this
    // transfer still counts as outstanding I/O then.
    IoCountIncrement(extension);
    if (!NT_SUCCESS(QueueAdapterWork(extension, RearmRead, nullptr))) {
        IoCountDecrement(extension);
        ReplenishMessageReads(extension);
    }
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

NTSTATUS ReplenishMessageReads(AdapterExtension* extension)
{
    // Each read takes its place in the count before it is queued, so that
    // callers at the same time never queue more than four; its completion
    // gives the place back. One that cannot be had leaves the others to try.
    NTSTATUS result = STATUS_SUCCESS;
    for (ULONG attempt = 0; attempt < kStandingMessageReads; ++attempt) {
        if (InterlockedIncrement(&extension->standingReads) > static_cast<LONG>(kStandingMessageReads)) {
            InterlockedDecrement(&extension->standingReads);
            break;
        }
        // Held for a lower power state: the return to D0 starts the reads again.
        if (InterlockedCompareExchange(&extension->ioHeld, 0, 0) != 0) {
            InterlockedDecrement(&extension->standingReads);
            return STATUS_POWER_STATE_INVALID;
        }
        MessageRequest* request = AllocateMessageRequest(extension, 1, kMessageBufferSize, 0, InboundComplete);
        NTSTATUS status = request == nullptr ? STATUS_INSUFFICIENT_RESOURCES : UsbSendMessage(extension, request);
        if (request == nullptr || !UsbMessageTransferStarted(status)) {
            if (request != nullptr) FreeMessageRequest(request);
            InterlockedDecrement(&extension->standingReads);
        }
        if (status == STATUS_PENDING) status = STATUS_SUCCESS;
        if (!NT_SUCCESS(status) && status != STATUS_INSUFFICIENT_RESOURCES) return status;
        if (!NT_SUCCESS(status)) result = status;
    }
    return result;
}
