#include "core/adapter_messages.h"

#include "common/message_wire.h"
#include "core/transmit_pump.h"
#include "core/usb_request.h"
#include "services/monitor.h"

namespace {

// Every outbound message ends here: a port with credits gets its pump run,
// and its driver hears that it may write again. Not after a refusal inside
// the send: a pump pass that sent it is still running and keeps the bytes
// for a later pass, and another pass now would meet the same refusal, then
// ask for the next, for ever.
VOID OutboundComplete(MessageRequest* request)
{
    AdapterExtension* extension = ExtensionOf(request->device);
    const ULONG port = static_cast<ULONG>(request->port);
    if (request->refusedAtOnce == 0 && CreditsOf(extension, port) > 0) {
        TransmitPumpRun(extension, port);
        if (NT_SUCCESS(request->status)) NotifyPortDriver(extension, port, kNotifyTransmit);
    }
    FreeMessageRequest(request);
}

NTSTATUS Send(AdapterExtension* extension, UCHAR code, ULONG port, const UCHAR* payload, ULONG length)
{
    if (length > kMessagePayloadMax || (payload == nullptr && length != 0) || port >= kMessagePortCount) {
        return STATUS_INVALID_PARAMETER;
    }
    MessageRequest* request = AllocateMessageRequest(extension, 0, kMessageHeaderLength + length,
                                                     static_cast<LONG>(port), OutboundComplete);
    if (request == nullptr) return STATUS_INSUFFICIENT_RESOURCES;
    request->buffer[0] = ComposeMessageCode(code, port);
    // The adapter's byte: the port again, which the loopback code has no
    // bits for.
    request->buffer[1] = static_cast<UCHAR>(port);
    if (length != 0) RtlCopyMemory(request->buffer + kMessageHeaderLength, payload, length);

    NTSTATUS status = UsbSendMessage(extension, request);
    if (!UsbMessageTransferStarted(status)) FreeMessageRequest(request);
    return status == STATUS_PENDING ? STATUS_SUCCESS : status;
}

}  // namespace

LONG TakeCredit(AdapterExtension* extension, ULONG port)
{
    KIRQL irql;
    KeAcquireSpinLock(&extension->portLock, &irql);
    LONG before = extension->ports[port].credits;
    if (before > 0) extension->ports[port].credits = before - 1;
    KeReleaseSpinLock(&extension->portLock, irql);
    return before > 0 ? before : 0;
}

VOID GiveBackCredit(AdapterExtension* extension, ULONG port)
{
    KIRQL irql;
    KeAcquireSpinLock(&extension->portLock, &irql);
    extension->ports[port].credits++;
    KeReleaseSpinLock(&extension->portLock, irql);
}

LONG CreditsOf(AdapterExtension* extension, ULONG port)
{
    // Under the lock its writers hold: a bare read would race with them.
    KIRQL irql;
    KeAcquireSpinLock(&extension->portLock, &irql);
    const LONG credits = extension->ports[port].credits;
    KeReleaseSpinLock(&extension->portLock, irql);
    return credits;
}

VOID NotifyPortDriver(AdapterExtension* extension, ULONG port, ULONG event)
{
    PortRecord& record = extension->ports[port];
    auto notify = reinterpret_cast<PortNotifyCallback>(
        ReadPointerAcquire(reinterpret_cast<PVOID const volatile*>(&record.notify)));
    if (notify != nullptr) notify(event, record.notifyContext);
}

VOID SetLineStatusBits(AdapterExtension* extension, ULONG port, UCHAR set, UCHAR clear)
{
    KIRQL irql;
    KeAcquireSpinLock(&extension->portLock, &irql);
    PortRegisters& registers = extension->ports[port].registers;
    registers.lineStatus = static_cast<UCHAR>((registers.lineStatus & ~clear) | set);
    KeReleaseSpinLock(&extension->portLock, irql);
}

NTSTATUS SendAdapterMessage(AdapterExtension* extension, UCHAR code, ULONG port, const UCHAR* payload, ULONG length)
{
    return Send(extension, code, port, payload, length);
}

NTSTATUS SendDataMessage(AdapterExtension* extension, ULONG port, const UCHAR* data, ULONG length, bool creditTaken)
{
    if (port >= kMessagePortCount || length == 0 || length > kMessagePayloadMax || data == nullptr) {
        if (creditTaken) GiveBackCredit(extension, port & kMessagePortMask);
        return STATUS_INVALID_PARAMETER;
    }
    if (!creditTaken && TakeCredit(extension, port) == 0) return STATUS_UNSUCCESSFUL;

    const bool loopback = ReadUCharAcquire(&extension->transmitAltCode) != 0;
    // Recorded before the submission, so a failed send still shows.
    if (!loopback && extension->adapterEntry != nullptr) {
        MonitorAdd(extension, port, kMonitorTransmitted, data, length);
    }
    NTSTATUS status = Send(extension, loopback ? kMsgLoopbackData : kMsgTransmitData, port, data, length);
    if (!NT_SUCCESS(status)) GiveBackCredit(extension, port);
    return status;
}
