// Open, close and the data path of a port: reads and writes wait in queues
// and are served by one routine at a time (a DPC), entered when a request
// arrives, when the adapter notifies (event 1: room to write; event 2: data
// received) and when a read's time-out expires. The queued requests stay
// cancelable except while the service works on one of them.
#include "portdrv/port_extension.h"

namespace winsim::portdrv {

namespace {

constexpr ULONG kMaxDword = 0xFFFFFFFF;
constexpr LONGLONG kTicksPerMillisecond = 10'000;

// Set by whoever wants a request failed while the service holds it.
NTSTATUS PendingFailure(PIRP irp) { return static_cast<NTSTATUS>(reinterpret_cast<LONG_PTR>(irp->Tail.Overlay.DriverContext[0])); }
VOID SetPendingFailure(PIRP irp, NTSTATUS status)
{
    irp->Tail.Overlay.DriverContext[0] = reinterpret_cast<PVOID>(static_cast<LONG_PTR>(status));
}

PortExtension* PortOf(PDEVICE_OBJECT device) { return static_cast<PortExtension*>(device->DeviceExtension); }

bool IsHeadRead(PortExtension* port, PIRP irp)
{
    return !IsListEmpty(&port->reads) && port->reads.Flink == &irp->Tail.Overlay.ListEntry;
}

// The current read is done with: its timers no longer count.
VOID EndCurrentReadLocked(PortExtension* port)
{
    port->readGeneration++;
    port->readTotalExpired = false;
    port->readIntervalExpired = false;
    port->readTimersArmedFor = port->readGeneration - 1;
    KeCancelTimer(&port->readTotalTimer);
    KeCancelTimer(&port->readIntervalTimer);
}

// The same for the current write.
VOID EndCurrentWriteLocked(PortExtension* port)
{
    port->writeGeneration++;
    port->writeTotalExpired = false;
    port->writeTimerArmedFor = port->writeGeneration - 1;
    KeCancelTimer(&port->writeTotalTimer);
}

VOID CancelQueued(PDEVICE_OBJECT device, PIRP irp)
{
    IoReleaseCancelSpinLock(irp->CancelIrql);
    PortExtension* port = PortOf(device);
    KIRQL irql;
    KeAcquireSpinLock(&port->lock, &irql);
    if (IsHeadRead(port, irp)) EndCurrentReadLocked(port);
    if (!IsListEmpty(&port->writes) && port->writes.Flink == &irp->Tail.Overlay.ListEntry) {
        EndCurrentWriteLocked(port);
    }
    RemoveEntryList(&irp->Tail.Overlay.ListEntry);
    KeReleaseSpinLock(&port->lock, irql);
    CompleteIrp(irp, STATUS_CANCELLED, irp->IoStatus.Information);
}

// Queues the request, or says it was cancelled already.
bool QueueLocked(LIST_ENTRY* queue, PIRP irp)
{
    SetPendingFailure(irp, STATUS_SUCCESS);
    IoSetCancelRoutine(irp, CancelQueued);
    if (irp->Cancel && IoSetCancelRoutine(irp, nullptr) != nullptr) return false;
    IoMarkIrpPending(irp);
    InsertTailList(queue, &irp->Tail.Overlay.ListEntry);
    return true;
}

// The head of the queue for the service, taken out of cancel's reach.
PIRP TakeHeadLocked(LIST_ENTRY* queue)
{
    if (IsListEmpty(queue)) return nullptr;
    PIRP irp = CONTAINING_RECORD(queue->Flink, IRP, Tail.Overlay.ListEntry);
    // Null: its cancel routine is running and will take it.
    if (IoSetCancelRoutine(irp, nullptr) == nullptr) return nullptr;
    return irp;
}

// Back into cancel's reach, unless it must end now. Returns the status to
// complete it with, or STATUS_PENDING when it stays queued.
NTSTATUS ReturnHeadLocked(PIRP irp)
{
    NTSTATUS failure = PendingFailure(irp);
    if (failure != STATUS_SUCCESS) return failure;
    IoSetCancelRoutine(irp, CancelQueued);
    if (irp->Cancel && IoSetCancelRoutine(irp, nullptr) != nullptr) return STATUS_CANCELLED;
    return STATUS_PENDING;
}

VOID SetRelativeTimer(PKTIMER timer, PKDPC dpc, ULONG milliseconds)
{
    LARGE_INTEGER due;
    due.QuadPart = -static_cast<LONGLONG>(milliseconds) * kTicksPerMillisecond;
    KeSetTimer(timer, due, dpc);
}

// The Windows serial time-out rules for one read of `length` bytes.
struct ReadRules {
    bool returnAtOnce;     // interval MAXDWORD, both total values 0
    bool returnOnAnyByte;  // interval and multiplier MAXDWORD, constant in between
    ULONG totalMs;         // 0: no total time-out
    ULONG intervalMs;      // 0: no interval time-out
};

ReadRules RulesFor(const SERIAL_TIMEOUTS& t, ULONG length)
{
    ReadRules rules = {};
    if (t.ReadIntervalTimeout == kMaxDword && t.ReadTotalTimeoutMultiplier == 0 && t.ReadTotalTimeoutConstant == 0) {
        rules.returnAtOnce = true;
        return rules;
    }
    if (t.ReadIntervalTimeout == kMaxDword && t.ReadTotalTimeoutMultiplier == kMaxDword &&
        t.ReadTotalTimeoutConstant != 0 && t.ReadTotalTimeoutConstant != kMaxDword) {
        rules.returnOnAnyByte = true;
        rules.totalMs = t.ReadTotalTimeoutConstant;
        return rules;
    }
    const ULONG64 total = static_cast<ULONG64>(t.ReadTotalTimeoutMultiplier) * length + t.ReadTotalTimeoutConstant;
    rules.totalMs = total > kMaxDword ? kMaxDword : static_cast<ULONG>(total);
    rules.intervalMs = t.ReadIntervalTimeout == kMaxDword ? 0 : t.ReadIntervalTimeout;
    return rules;
}

// The Windows serial rule for a write: multiplier times its length plus the
// constant, counted from when it becomes the current write; 0 is none.
ULONG WriteTotalMs(const SERIAL_TIMEOUTS& t, ULONG length)
{
    const ULONG64 total = static_cast<ULONG64>(t.WriteTotalTimeoutMultiplier) * length + t.WriteTotalTimeoutConstant;
    return total > kMaxDword ? kMaxDword : static_cast<ULONG>(total);
}

VOID ServiceWrites(PortExtension* port, PortServicesInterface& table)
{
    for (;;) {
        KIRQL irql;
        KeAcquireSpinLock(&port->lock, &irql);
        PIRP irp = TakeHeadLocked(&port->writes);
        const SERIAL_TIMEOUTS timeouts = port->timeouts;
        const bool firstLook = irp != nullptr && port->writeTimerArmedFor != port->writeGeneration;
        if (irp != nullptr) port->writeTimerArmedFor = port->writeGeneration;
        const bool expired = port->writeTotalExpired;
        KeReleaseSpinLock(&port->lock, irql);
        if (irp == nullptr) return;

        const ULONG length = IoGetCurrentIrpStackLocation(irp)->Parameters.Write.Length;
        const auto* data = static_cast<const UCHAR*>(irp->AssociatedIrp.SystemBuffer);
        const ULONG_PTR before = irp->IoStatus.Information;
        ULONG_PTR done = before;
        while (done < length) {
            const ULONG chunk = length - done < kPortWriteMax ? static_cast<ULONG>(length - done) : kPortWriteMax;
            // Refused: the adapter's ring is full. Event 1 brings us back
            // with the same bytes.
            if (table.writeData(table.context, port->portIndex, data + done, chunk) == 0) break;
            done += chunk;
        }

        KeAcquireSpinLock(&port->lock, &irql);
        // The comm status reads what is left of queued writes.
        irp->IoStatus.Information = done;
        if (done != before) PortNoteHandedOverLocked(port, static_cast<ULONG>(done - before));
        NTSTATUS status = done == length ? STATUS_SUCCESS : expired ? STATUS_TIMEOUT : ReturnHeadLocked(irp);
        const ULONG totalMs = WriteTotalMs(timeouts, length);
        if (status == STATUS_PENDING && firstLook && totalMs != 0) {
            SetRelativeTimer(&port->writeTotalTimer, &port->writeTotalDpc, totalMs);
        }
        if (status != STATUS_PENDING) {
            EndCurrentWriteLocked(port);
            RemoveEntryList(&irp->Tail.Overlay.ListEntry);
        }
        KeReleaseSpinLock(&port->lock, irql);
        if (status == STATUS_PENDING) return;
        CompleteIrp(irp, status, done);
    }
}

ULONG TakeReceivedLocked(PortExtension* port, UCHAR* to, ULONG_PTR room)
{
    ULONG taken = 0;
    while (taken < room && port->receivedCount != 0) {
        to[taken++] = port->received[port->receivedStart];
        port->receivedStart = (port->receivedStart + 1) % kReceiveQueueBytes;
        port->receivedCount--;
    }
    return taken;
}

// With no read waiting, the adapter's bytes move into the input queue as
// long as it has room; once it is full they wait in the adapter, whose
// handshake then holds the far end back.
VOID QueueReceived(PortExtension* port, PortServicesInterface& table)
{
    for (;;) {
        KIRQL irql;
        KeAcquireSpinLock(&port->lock, &irql);
        const ULONG room = kReceiveQueueBytes - port->receivedCount;
        KeReleaseSpinLock(&port->lock, irql);
        UCHAR chunk[256];
        uint32_t got = room < sizeof(chunk) ? room : static_cast<uint32_t>(sizeof(chunk));
        if (got == 0 || table.readData(table.context, port->portIndex, chunk, &got) == 0 || got == 0) return;
        KeAcquireSpinLock(&port->lock, &irql);
        for (uint32_t i = 0; i < got && port->receivedCount < kReceiveQueueBytes; ++i) {
            port->received[(port->receivedStart + port->receivedCount) % kReceiveQueueBytes] = chunk[i];
            port->receivedCount++;
        }
        KeReleaseSpinLock(&port->lock, irql);
    }
}

VOID ServiceReads(PortExtension* port, PortServicesInterface& table)
{
    for (;;) {
        KIRQL irql;
        KeAcquireSpinLock(&port->lock, &irql);
        PIRP irp = TakeHeadLocked(&port->reads);
        if (irp == nullptr) {
            KeReleaseSpinLock(&port->lock, irql);
            QueueReceived(port, table);
            return;
        }
        const ULONG length = IoGetCurrentIrpStackLocation(irp)->Parameters.Read.Length;
        auto* buffer = static_cast<UCHAR*>(irp->AssociatedIrp.SystemBuffer);
        ULONG_PTR done = irp->IoStatus.Information;
        done += TakeReceivedLocked(port, buffer + done, length - done);
        const SERIAL_TIMEOUTS timeouts = port->timeouts;
        // The first pass over a read starts its total time-out.
        const bool firstLook = port->readTimersArmedFor != port->readGeneration;
        port->readTimersArmedFor = port->readGeneration;
        const bool expired = port->readTotalExpired || port->readIntervalExpired;
        KeReleaseSpinLock(&port->lock, irql);

        const ULONG_PTR fromQueue = done - irp->IoStatus.Information;
        uint32_t got = static_cast<uint32_t>(length - done);
        if (got != 0 && table.readData(table.context, port->portIndex, buffer + done, &got) == 0) got = 0;
        done += got;
        irp->IoStatus.Information = done;

        const ReadRules rules = RulesFor(timeouts, length);
        NTSTATUS status = STATUS_PENDING;
        if (done == length || rules.returnAtOnce || (rules.returnOnAnyByte && done > 0)) {
            status = STATUS_SUCCESS;
        } else if (expired) {
            status = STATUS_TIMEOUT;
        }

        KeAcquireSpinLock(&port->lock, &irql);
        if (status == STATUS_PENDING) {
            status = ReturnHeadLocked(irp);
            if (status == STATUS_PENDING) {
                if (firstLook && rules.totalMs != 0) {
                    SetRelativeTimer(&port->readTotalTimer, &port->readTotalDpc, rules.totalMs);
                }
                // The interval runs from the last byte received.
                if (got + fromQueue != 0 && rules.intervalMs != 0) {
                    SetRelativeTimer(&port->readIntervalTimer, &port->readIntervalDpc, rules.intervalMs);
                }
            }
        }
        if (status != STATUS_PENDING) {
            EndCurrentReadLocked(port);
            RemoveEntryList(&irp->Tail.Overlay.ListEntry);
        }
        KeReleaseSpinLock(&port->lock, irql);
        if (status == STATUS_PENDING) return;
        CompleteIrp(irp, status, done);
    }
}

VOID ServicePass(PortExtension* port)
{
    BindingExtension* binding = AcquireTable(port);
    if (binding == nullptr) return;
    PortNoteTransmitHold(port, binding->table);
    ServiceWrites(port, binding->table);
    ServiceReads(port, binding->table);
    PortUpdateReceiveFlow(port, binding->table);
    ReleaseTable(binding);
}

// One pass at a time: callers that find it running leave a request for
// another pass.
VOID ServiceDpc(PKDPC dpc, PVOID context, PVOID argument1, PVOID argument2)
{
    UNREFERENCED_PARAMETER(dpc);
    UNREFERENCED_PARAMETER(argument1);
    UNREFERENCED_PARAMETER(argument2);
    auto* port = static_cast<PortExtension*>(context);
    if (InterlockedIncrement(&port->serviceRequests) != 1) return;
    for (;;) {
        ServicePass(port);
        if (InterlockedCompareExchange(&port->serviceRequests, 0, 1) == 1) return;
        InterlockedExchange(&port->serviceRequests, 1);
    }
}

VOID ReadTimerExpired(PortExtension* port, bool total)
{
    KIRQL irql;
    KeAcquireSpinLock(&port->lock, &irql);
    // A timer of a read that ended meanwhile finds a newer generation.
    if (port->readTimersArmedFor == port->readGeneration && !IsListEmpty(&port->reads)) {
        if (total) {
            port->readTotalExpired = true;
        } else {
            port->readIntervalExpired = true;
        }
    }
    KeReleaseSpinLock(&port->lock, irql);
    PortRequestService(port);
}

VOID ReadTotalDpc(PKDPC dpc, PVOID context, PVOID argument1, PVOID argument2)
{
    UNREFERENCED_PARAMETER(dpc);
    UNREFERENCED_PARAMETER(argument1);
    UNREFERENCED_PARAMETER(argument2);
    ReadTimerExpired(static_cast<PortExtension*>(context), true);
}

VOID ReadIntervalDpc(PKDPC dpc, PVOID context, PVOID argument1, PVOID argument2)
{
    UNREFERENCED_PARAMETER(dpc);
    UNREFERENCED_PARAMETER(argument1);
    UNREFERENCED_PARAMETER(argument2);
    ReadTimerExpired(static_cast<PortExtension*>(context), false);
}

VOID WriteTotalDpc(PKDPC dpc, PVOID context, PVOID argument1, PVOID argument2)
{
    UNREFERENCED_PARAMETER(dpc);
    UNREFERENCED_PARAMETER(argument1);
    UNREFERENCED_PARAMETER(argument2);
    auto* port = static_cast<PortExtension*>(context);
    KIRQL irql;
    KeAcquireSpinLock(&port->lock, &irql);
    if (port->writeTimerArmedFor == port->writeGeneration && !IsListEmpty(&port->writes)) {
        port->writeTotalExpired = true;
    }
    KeReleaseSpinLock(&port->lock, irql);
    PortRequestService(port);
}

bool HasAdapter(PortExtension* port)
{
    KIRQL irql;
    KeAcquireSpinLock(&g_driverLock, &irql);
    const bool present = !port->removed && port->binding != nullptr && port->binding->bound;
    KeReleaseSpinLock(&g_driverLock, irql);
    return present;
}

NTSTATUS Queue(PortExtension* port, LIST_ENTRY* queue, PIRP irp)
{
    if (!HasAdapter(port)) return CompleteIrp(irp, STATUS_DEVICE_REMOVED, 0);
    irp->IoStatus.Information = 0;
    KIRQL irql;
    KeAcquireSpinLock(&port->lock, &irql);
    const bool queued = port->open && QueueLocked(queue, irp);
    const bool wasOpen = port->open;
    KeReleaseSpinLock(&port->lock, irql);
    if (!queued) return CompleteIrp(irp, wasOpen ? STATUS_CANCELLED : STATUS_INVALID_DEVICE_STATE, 0);
    PortRequestService(port);
    return STATUS_PENDING;
}

}  // namespace

VOID PortInitializeIo(PortExtension* port)
{
    KeInitializeSpinLock(&port->lock);
    InitializeListHead(&port->reads);
    InitializeListHead(&port->writes);
    KeInitializeTimer(&port->readTotalTimer);
    KeInitializeTimer(&port->readIntervalTimer);
    KeInitializeDpc(&port->readTotalDpc, ReadTotalDpc, port);
    KeInitializeDpc(&port->readIntervalDpc, ReadIntervalDpc, port);
    KeInitializeTimer(&port->writeTotalTimer);
    KeInitializeDpc(&port->writeTotalDpc, WriteTotalDpc, port);
    port->writeGeneration = 1;
    KeInitializeDpc(&port->serviceDpc, ServiceDpc, port);
    port->readGeneration = 1;
    // What a serial port starts with: 9600 8N1, DTR and RTS raised while
    // open, XON and XOFF the usual characters, no time-outs.
    port->baudRate = 9600;
    port->lineControl.WordLength = 8;
    port->lineControl.Parity = NO_PARITY;
    port->lineControl.StopBits = STOP_BIT_1;
    port->chars.XonChar = 0x11;
    port->chars.XoffChar = 0x13;
    port->handflow.ControlHandShake = SERIAL_DTR_CONTROL;
    port->handflow.FlowReplace = SERIAL_RTS_CONTROL;
    // Hold the far end back with an eighth of the queue left; let it go
    // once half of it is free again.
    port->handflow.XoffLimit = kReceiveQueueBytes / 8;
    port->handflow.XonLimit = kReceiveQueueBytes / 2;
    port->modemControl = kMcrDtr | kMcrRts;
}

VOID PortRequestService(PortExtension* port) { KeInsertQueueDpc(&port->serviceDpc, nullptr, nullptr); }

VOID PortFailQueued(PortExtension* port, NTSTATUS status, bool reads, bool writes)
{
    LIST_ENTRY failed;
    InitializeListHead(&failed);
    KIRQL irql;
    KeAcquireSpinLock(&port->lock, &irql);
    LIST_ENTRY* queues[2] = {reads ? &port->reads : nullptr, writes ? &port->writes : nullptr};
    for (LIST_ENTRY* queue : queues) {
        if (queue == nullptr) continue;
        if (queue == &port->reads && !IsListEmpty(queue)) EndCurrentReadLocked(port);
        LIST_ENTRY* entry = queue->Flink;
        while (entry != queue) {
            LIST_ENTRY* next = entry->Flink;
            PIRP irp = CONTAINING_RECORD(entry, IRP, Tail.Overlay.ListEntry);
            if (IoSetCancelRoutine(irp, nullptr) != nullptr) {
                RemoveEntryList(entry);
                InsertTailList(&failed, entry);
            } else if (!irp->Cancel) {
                // In the service's hands: it ends it when it gives it back.
                SetPendingFailure(irp, status);
            }
            entry = next;
        }
    }
    KeReleaseSpinLock(&port->lock, irql);
    while (!IsListEmpty(&failed)) {
        PIRP irp = CONTAINING_RECORD(RemoveHeadList(&failed), IRP, Tail.Overlay.ListEntry);
        CompleteIrp(irp, status, irp->IoStatus.Information);
    }
}

VOID PortDiscardReceived(PortExtension* port)
{
    KIRQL irql;
    KeAcquireSpinLock(&port->lock, &irql);
    port->receivedStart = 0;
    port->receivedCount = 0;
    KeReleaseSpinLock(&port->lock, irql);
    // An emptied queue lets a held far end go.
    PortRequestService(port);
}

VOID PortAdapterLost(PortExtension* port) { PortFailQueued(port, STATUS_DEVICE_REMOVED, true, true); }

NTSTATUS PortDispatchCreate(PortExtension* port, PIRP irp)
{
    if (!HasAdapter(port)) return CompleteIrp(irp, STATUS_DEVICE_NOT_CONNECTED, 0);
    KIRQL irql;
    KeAcquireSpinLock(&port->lock, &irql);
    port->open = true;
    port->receiveHeld = false;
    port->flowCharacterPending = false;
    port->transmitDoneAt = 0;
    port->transmitHeld = false;
    KeReleaseSpinLock(&port->lock, irql);
    if (!PortApplySettings(port)) {
        KeAcquireSpinLock(&port->lock, &irql);
        port->open = false;
        KeReleaseSpinLock(&port->lock, irql);
        return CompleteIrp(irp, STATUS_DEVICE_NOT_CONNECTED, 0);
    }
    return CompleteIrp(irp, STATUS_SUCCESS, 0);
}

NTSTATUS PortDispatchCleanup(PortExtension* port, PIRP irp)
{
    PortFailQueued(port, STATUS_CANCELLED, true, true);
    return CompleteIrp(irp, STATUS_SUCCESS, 0);
}

NTSTATUS PortDispatchClose(PortExtension* port, PIRP irp)
{
    // Closing empties the adapter's FIFO: what was written goes out first.
    PortDrainTransmit(port);
    KIRQL irql;
    KeAcquireSpinLock(&port->lock, &irql);
    port->open = false;
    KeReleaseSpinLock(&port->lock, irql);
    PortDiscardReceived(port);
    // Closed in the register image and applied: the adapter's rings empty.
    PortApplySettings(port);
    return CompleteIrp(irp, STATUS_SUCCESS, 0);
}

NTSTATUS PortDispatchRead(PortExtension* port, PIRP irp) { return Queue(port, &port->reads, irp); }

NTSTATUS PortDispatchWrite(PortExtension* port, PIRP irp) { return Queue(port, &port->writes, irp); }

}  // namespace winsim::portdrv
