#include "services/event_log.h"

namespace {

EventLog g_log;
EventLog g_stagingArea;
// The staging area as producers find it.
EventLog* g_staging;

// Guards the log's head and entries; the read position, the expected
// sequence number and the drain position are only touched under it too,
// so two fetches from different handles never hand out one entry twice.
KMUTEX g_eventMutex;
ULONG g_readPosition;
ULONG g_expectedSeq;
ULONG g_drainPosition;
bool g_initialised;

// Producers may run at DISPATCH_LEVEL; they and the drain meet under this
// spin lock, so a producer never writes a slot the drain is copying.
KSPIN_LOCK g_stagingLock;
ULONG g_nextSeq;

ULONG NextSlot(ULONG slot) { return (slot + 1) % kEventLogCapacity; }

// Takes the oldest staged entry out of the staging ring.
bool TakeStaged(EventEntry* entry)
{
    KIRQL irql;
    KeAcquireSpinLock(&g_stagingLock, &irql);
    const ULONG head = g_staging->head;
    bool taken = false;
    if (g_staging->entries[head].code != 0) {
        g_drainPosition = head;  // full: the oldest sits at head
    }
    if (g_staging->entries[head].code != 0 || head != g_drainPosition) {
        EventEntry& staged = g_staging->entries[g_drainPosition];
        *entry = staged;
        staged.code = 0;
        g_drainPosition = NextSlot(g_drainPosition);
        taken = entry->code != 0;
    }
    KeReleaseSpinLock(&g_stagingLock, irql);
    return taken;
}

VOID LockLog() { KeWaitForSingleObject(&g_eventMutex, Executive, KernelMode, FALSE, nullptr); }

VOID UnlockLog() { KeReleaseMutex(&g_eventMutex, FALSE); }

}  // namespace

VOID EventLogInitialize()
{
    KeInitializeMutex(&g_eventMutex, 0);
    KeInitializeSpinLock(&g_stagingLock);
    RtlZeroMemory(&g_log, sizeof(g_log));
    g_log.magic = kEventLogMagic;
    g_log.capacity = kEventLogCapacity;
    g_log.head = 0;
    RtlZeroMemory(&g_stagingArea, sizeof(g_stagingArea));
    g_staging = &g_stagingArea;
    g_nextSeq = 0;
    g_initialised = true;
    g_readPosition = 0;
    g_expectedSeq = 0;
    g_drainPosition = 0;
    EventLogDrain();
}

PAGED_CODE_SEG
VOID EventLogDrain()
{
    PAGED_CODE();
    if (!g_initialised) return;
    for (;;) {
        // One entry per turn of the mutex, moved out of staging and into the
        // log in the same turn so concurrent drains keep the order.
        LockLog();
        EventEntry entry;
        const bool taken = TakeStaged(&entry);
        if (taken) {
            g_log.entries[g_log.head] = entry;
            g_log.head = (g_log.head + 1) % g_log.capacity;
        }
        UnlockLog();
        if (!taken) return;
    }
}

PAGED_CODE_SEG
ULONG EventLogFetch(PUCHAR buffer, ULONG length)
{
    PAGED_CODE();
    if (buffer == nullptr) return 0;
    EventLogDrain();
    ULONG bytes = 0;
    while (bytes + sizeof(EventRecord) <= length) {
        LockLog();
        ULONG slot;
        if (g_log.entries[g_log.head].code != 0) {
            slot = g_log.head;  // wrapped: the oldest entry sits at head
        } else if (g_readPosition == g_log.head || g_log.entries[g_readPosition].code == 0) {
            UnlockLog();
            break;
        } else {
            slot = g_readPosition;
        }
        g_readPosition = NextSlot(slot);
        EventEntry& entry = g_log.entries[slot];
        EventRecord record;
        record.entry = entry;
        record.gap = entry.seq != g_expectedSeq ? 1 : 0;
        g_expectedSeq = entry.seq + 1;
        RtlCopyMemory(buffer + bytes, &record, sizeof(record));
        entry.code = 0;
        UnlockLog();
        bytes += sizeof(EventRecord);
    }
    return bytes;
}

VOID EventLogPost(const EventEntry& event)
{
    if (event.code == 0 || g_staging == nullptr) return;
    LARGE_INTEGER now;
    KeQuerySystemTime(&now);
    KIRQL irql;
    KeAcquireSpinLock(&g_stagingLock, &irql);
    const ULONG head = g_staging->head;
    EventEntry& slot = g_staging->entries[head];
    // The slot counts as occupied once its code is set: fill the rest first.
    slot.code = 0;
    slot.unit = event.unit;
    slot.port = event.port;
    slot.param0 = event.param0;
    slot.param1 = event.param1;
    slot.param2 = event.param2;
    slot.param3 = event.param3;
    slot.param4 = event.param4;
    slot.param5 = event.param5;
    slot.param6 = event.param6;
    slot.time = static_cast<ULONG64>(now.QuadPart);
    slot.seq = g_nextSeq++;
    slot.code = event.code;
    g_staging->head = NextSlot(head);
    KeReleaseSpinLock(&g_stagingLock, irql);
}
