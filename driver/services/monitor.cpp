#include "services/monitor.h"

#include "core/adapter_table.h"

// How adders and readers share the ring without a lock
// ----------------------------------------------------
// Every record an adder stores gets a ticket, a 64-bit running number; its
// slot is ticket mod 1000. Three kinds of shared words carry the state:
//
// * The cursor, one 64-bit word: the next ticket to hand out (W), the
//   number of unread tickets behind it (the backlog, 0..999, so the read
//   ticket is W - backlog) and an overrun bit that belongs to the record at
//   the read ticket. Handing out a ticket, the overflow advance of the read
//   ticket, the fetch's advance and start's reset are each one
//   compare-exchange of this word, so none of them can lose another's
//   update and a ticket is handed out exactly once.
// * Per slot, a stamp: 4 * ticket + state, where the state is 1 (being
//   written), 2 (complete) or 3 (given up). Stamps only grow.
// * Per slot, an owner word: whoever touches a slot's record (an adder
//   filling it, a reader copying it) first takes the owner word from 0 to
//   1 and hands it back afterwards. Taking it is a single compare-exchange:
//   nobody ever waits for it.
//
// An adder whose slot is owned by someone else has been lapped: the ring
// went round 1000 records while an older adder (or a reader copying a
// record already dropped) still holds the slot. It does not wait; it marks
// its ticket given up, and the reader skips that ticket and marks the next
// record with the overrun bit. This only happens when the ring overflowed,
// so the mark is honest. A lapped older adder notices the newer stamp when
// it tries to complete its own and leaves quietly.
//
// A reader copies a record only when the slot's stamp says "complete" for
// exactly the read ticket, both before and after it took the owner word,
// and consumes it only if the cursor still names that ticket; otherwise
// the record was dropped under it and the copy is thrown away.
//
// Start moves W up to the next multiple of 1000 with an empty backlog, so
// the first record after a start lands in slot 0 and stamps keep growing.

namespace {

constexpr ULONG64 kOverrunBit = 1;
constexpr int kBacklogShift = 1;
constexpr ULONG64 kBacklogMask = 0x3FF;
constexpr int kWriteShift = 11;
constexpr ULONG kMaxBacklog = kMonitorSlots - 1;

constexpr LONG64 kStampWriting = 1;
constexpr LONG64 kStampComplete = 2;
constexpr LONG64 kStampGivenUp = 3;

struct Cursor {
    ULONG64 write;
    ULONG backlog;
    bool overrun;

    ULONG64 Read() const { return write - backlog; }
};

Cursor Unpack(LONG64 word)
{
    const auto bits = static_cast<ULONG64>(word);
    return {bits >> kWriteShift, static_cast<ULONG>((bits >> kBacklogShift) & kBacklogMask),
            (bits & kOverrunBit) != 0};
}

LONG64 Pack(const Cursor& cursor)
{
    return static_cast<LONG64>((cursor.write << kWriteShift) |
                               (static_cast<ULONG64>(cursor.backlog) << kBacklogShift) |
                               (cursor.overrun ? kOverrunBit : 0));
}

LONG64 StampOf(ULONG64 ticket, LONG64 state) { return static_cast<LONG64>(ticket * 4) + state; }

MonitorRecord g_ring[kMonitorSlots];
LONG64 g_stamps[kMonitorSlots];
LONG g_owners[kMonitorSlots];
LONG64 g_cursor;
LONG g_running;
KMUTEX g_monitorMutex;

// A read with a full barrier, as the interlocked updates of the word have.
LONG64 ReadFenced(LONG64 volatile* word) { return InterlockedCompareExchange64(word, 0, 0); }

LONG64 LoadCursor() { return ReadFenced(&g_cursor); }

bool TryOwn(ULONG slot) { return InterlockedCompareExchange(&g_owners[slot], 1, 0) == 0; }

VOID Disown(ULONG slot) { WriteRelease(&g_owners[slot], 0); }

// Moves the slot's stamp up to `stamp`; false if it already stood there or
// higher (a newer ticket got to the slot).
bool RaiseStamp(ULONG slot, LONG64 stamp)
{
    LONG64 seen = ReadFenced(&g_stamps[slot]);
    while (seen < stamp) {
        const LONG64 before = InterlockedCompareExchange64(&g_stamps[slot], stamp, seen);
        if (before == seen) return true;
        seen = before;
    }
    return false;
}

// Hands out the next ticket; when the ring already holds 999 unread
// records the oldest goes in the same step and the new oldest is marked.
ULONG64 ReserveTicket()
{
    LONG64 word = LoadCursor();
    for (;;) {
        Cursor cursor = Unpack(word);
        const ULONG64 ticket = cursor.write;
        cursor.write = ticket + 1;
        if (cursor.backlog == kMaxBacklog) {
            cursor.overrun = true;
        } else {
            ++cursor.backlog;
        }
        const LONG64 before = InterlockedCompareExchange64(&g_cursor, Pack(cursor), word);
        if (before == word) return ticket;
        word = before;
    }
}

// Consumes the read ticket if it is still `ticket`. `lost` carries the mark
// on to the next record (the consumed ticket had no record to show).
// Reports through `overrun` whether the consumed record carried the mark.
bool ConsumeTicket(ULONG64 ticket, bool lost, bool* overrun)
{
    LONG64 word = LoadCursor();
    for (;;) {
        Cursor cursor = Unpack(word);
        if (cursor.Read() != ticket || cursor.backlog == 0) return false;
        const bool marked = cursor.overrun;
        --cursor.backlog;
        cursor.overrun = lost;
        const LONG64 before = InterlockedCompareExchange64(&g_cursor, Pack(cursor), word);
        if (before == word) {
            if (overrun != nullptr) *overrun = marked;
            return true;
        }
        word = before;
    }
}

VOID FillRecord(MonitorRecord& record, ULONG slot, LONGLONG time, ULONG comNumber, ULONG kind,
                const UCHAR* payload, ULONG length)
{
    const ULONG copied = length < kMonitorPayloadMax ? length : kMonitorPayloadMax;
    record.slot = slot;
    record.time = static_cast<ULONG64>(time);
    record.reserved0 = 0;
    record.comNumber = comNumber;
    record.kind = kind;
    record.reserved1 = 0;
    record.reserved2 = 0;
    record.overrun = 0;  // the mark travels with the read ticket
    record.length = copied + 1;
    record.data[0] = 0;
    if (copied != 0) RtlCopyMemory(&record.data[1], payload, copied);
}

}  // namespace

VOID MonitorInitialize()
{
    KeInitializeMutex(&g_monitorMutex, 0);
    InterlockedExchange(&g_running, 0);
    InterlockedExchange64(&g_cursor, 0);
    for (ULONG slot = 0; slot < kMonitorSlots; ++slot) {
        InterlockedExchange64(&g_stamps[slot], 0);
        InterlockedExchange(&g_owners[slot], 0);
    }
}

PAGED_CODE_SEG
VOID MonitorStart()
{
    PAGED_CODE();
    KeWaitForSingleObject(&g_monitorMutex, Executive, KernelMode, FALSE, nullptr);
    LONG64 word = LoadCursor();
    for (;;) {
        Cursor cursor = Unpack(word);
        cursor.write = (cursor.write + kMonitorSlots - 1) / kMonitorSlots * kMonitorSlots;
        cursor.backlog = 0;
        cursor.overrun = false;
        const LONG64 before = InterlockedCompareExchange64(&g_cursor, Pack(cursor), word);
        if (before == word) break;
        word = before;
    }
    InterlockedExchange(&g_running, 1);
    KeReleaseMutex(&g_monitorMutex, FALSE);
}

PAGED_CODE_SEG
VOID MonitorStop()
{
    PAGED_CODE();
    KeWaitForSingleObject(&g_monitorMutex, Executive, KernelMode, FALSE, nullptr);
    InterlockedExchange(&g_running, 0);
    KeReleaseMutex(&g_monitorMutex, FALSE);
}

VOID MonitorAdd(AdapterExtension* extension, ULONG port, ULONG kind, const UCHAR* payload, ULONG length)
{
    if (ReadAcquire(&g_running) == 0) return;
    if (extension == nullptr || port >= kPortsPerAdapter) return;
    if (payload == nullptr) length = 0;

    auto* entry = static_cast<AdapterEntry*>(ReadPointerAcquire(reinterpret_cast<PVOID const volatile*>(&extension->adapterEntry)));
    const ULONG comNumber = entry != nullptr ? AdapterEntryComNumber(entry, port) : 0;
    LARGE_INTEGER now;
    KeQuerySystemTime(&now);

    const ULONG64 ticket = ReserveTicket();
    const auto slot = static_cast<ULONG>(ticket % kMonitorSlots);
    if (!TryOwn(slot)) {
        RaiseStamp(slot, StampOf(ticket, kStampGivenUp));
        return;
    }
    if (RaiseStamp(slot, StampOf(ticket, kStampWriting))) {
        FillRecord(g_ring[slot], slot, now.QuadPart, comNumber, kind, payload, length);
        Disown(slot);
        // Fails only if a newer ticket has given up on the slot meanwhile;
        // this record was dropped then anyway.
        InterlockedCompareExchange64(&g_stamps[slot], StampOf(ticket, kStampComplete),
                                     StampOf(ticket, kStampWriting));
        return;
    }
    Disown(slot);
}

ULONG MonitorFetch(PUCHAR buffer, ULONG length)
{
    if (buffer == nullptr) return 0;
    const ULONG64 end = Unpack(LoadCursor()).write;
    ULONG records = 0;
    while (records < kMonitorFetchMaxRecords && (records + 1) * sizeof(MonitorRecord) <= length) {
        const ULONG64 ticket = Unpack(LoadCursor()).Read();
        if (ticket >= end) break;
        const auto slot = static_cast<ULONG>(ticket % kMonitorSlots);
        const LONG64 stamp = ReadFenced(&g_stamps[slot]);
        if (stamp < StampOf(ticket, kStampComplete)) break;  // its adder is not done yet
        if (stamp == StampOf(ticket, kStampGivenUp)) {
            ConsumeTicket(ticket, true, nullptr);
            continue;
        }
        // Beyond this ticket: a newer adder reached the slot, and its
        // reservation already moved the read ticket on.
        if (stamp != StampOf(ticket, kStampComplete)) continue;

        if (!TryOwn(slot)) {
            if (Unpack(LoadCursor()).Read() == ticket) break;  // try again at the next fetch
            continue;
        }
        if (ReadFenced(&g_stamps[slot]) != StampOf(ticket, kStampComplete)) {
            Disown(slot);
            continue;
        }
        auto* out = reinterpret_cast<MonitorRecord*>(buffer + records * sizeof(MonitorRecord));
        RtlCopyMemory(out, &g_ring[slot], sizeof(MonitorRecord));
        Disown(slot);
        bool overrun = false;
        if (!ConsumeTicket(ticket, false, &overrun)) continue;  // dropped while we copied
        out->overrun = overrun ? 1 : 0;
        ++records;
    }
    return records * sizeof(MonitorRecord);
}
