#include "core/byte_ring.h"

#include "core/pool_tags.h"

// The reader and the writer run on different threads without a lock: the
// writer publishes its position only after the bytes are stored, the reader
// only after it has copied them out, each with release order, and each
// reads the other's position with acquire order.

namespace {

PUCHAR LoadPosition(PUCHAR const* position)
{
    return static_cast<PUCHAR>(ReadPointerAcquire(reinterpret_cast<PVOID const volatile*>(position)));
}

VOID StorePosition(PUCHAR* position, PUCHAR value)
{
    WritePointerRelease(reinterpret_cast<PVOID volatile*>(position), value);
}

ULONG FreeBetween(const ByteRing* ring, const UCHAR* read, const UCHAR* write)
{
    // Bytes from write up to (not including) the slot just before read.
    if (write >= read) {
        return static_cast<ULONG>(ring->size - static_cast<ULONG64>(write - read) - 1);
    }
    return static_cast<ULONG>(read - write - 1);
}

}  // namespace

NTSTATUS ByteRingCreate(ByteRing** ring)
{
    *ring = nullptr;
    auto* created = static_cast<ByteRing*>(ExAllocatePoolWithTag(NonPagedPoolNx, sizeof(ByteRing), kRingPoolTag));
    if (created == nullptr) return STATUS_INSUFFICIENT_RESOURCES;
    auto* buffer = static_cast<PUCHAR>(ExAllocatePoolWithTag(NonPagedPoolNx, kByteRingSize, kRingPoolTag));
    if (buffer == nullptr) {
        ExFreePoolWithTag(created, kRingPoolTag);
        return STATUS_INSUFFICIENT_RESOURCES;
    }
    created->start = buffer;
    created->end = buffer + kByteRingSize;
    created->size = kByteRingSize;
    created->read = buffer;
    created->write = buffer;
    *ring = created;
    return STATUS_SUCCESS;
}

VOID ByteRingFree(ByteRing* ring)
{
    if (ring == nullptr) return;
    ExFreePoolWithTag(ring->start, kRingPoolTag);
    ExFreePoolWithTag(ring, kRingPoolTag);
}

ULONG ByteRingFreeSpace(const ByteRing* ring)
{
    return FreeBetween(ring, LoadPosition(&ring->read), LoadPosition(&ring->write));
}

ULONG ByteRingCount(const ByteRing* ring) { return static_cast<ULONG>(ring->size) - ByteRingFreeSpace(ring) - 1; }

ULONG ByteRingWrite(ByteRing* ring, const UCHAR* data, ULONG length)
{
    PUCHAR write = ring->write;  // only the writer moves it
    ULONG stored = FreeBetween(ring, LoadPosition(&ring->read), write);
    if (stored > length) stored = length;
    for (ULONG i = 0; i < stored; ++i) {
        *write++ = data[i];
        if (write == ring->end) write = ring->start;
    }
    StorePosition(&ring->write, write);
    return stored;
}

ULONG ByteRingPeek(const ByteRing* ring, PUCHAR buffer, ULONG wanted)
{
    const UCHAR* read = ring->read;  // only the reader moves it
    ULONG available = static_cast<ULONG>(ring->size) - FreeBetween(ring, read, LoadPosition(&ring->write)) - 1;
    ULONG taken = available < wanted ? available : wanted;
    for (ULONG i = 0; i < taken; ++i) {
        buffer[i] = *read++;
        if (read == ring->end) read = ring->start;
    }
    return taken;
}

VOID ByteRingSkip(ByteRing* ring, ULONG length)
{
    PUCHAR read = ring->read;
    ULONG available = static_cast<ULONG>(ring->size) - FreeBetween(ring, read, LoadPosition(&ring->write)) - 1;
    ULONG64 offset = static_cast<ULONG64>(read - ring->start) + (available < length ? available : length);
    StorePosition(&ring->read, ring->start + offset % ring->size);
}

ULONG ByteRingRead(ByteRing* ring, PUCHAR buffer, ULONG wanted)
{
    ULONG taken = ByteRingPeek(ring, buffer, wanted);
    ByteRingSkip(ring, taken);
    return taken;
}

VOID ByteRingDiscard(ByteRing* ring)
{
    // The reader's side: everything written so far is dropped.
    StorePosition(&ring->read, LoadPosition(&ring->write));
}
