// A fixed ring of bytes between the adapter's message paths and the port
// driver. It holds at most size - 1 bytes: full is "write + 1 == read".
#pragma once

#include "kernel.h"

struct ByteRing {
    PUCHAR start;
    PUCHAR end;  // start + size
    ULONG64 size;
    PUCHAR read;
    PUCHAR write;
};

constexpr ULONG kByteRingSize = 1024;

// Allocates the ring and its buffer (non-paged, tag "CBFR").
NTSTATUS ByteRingCreate(ByteRing** ring);
VOID ByteRingFree(ByteRing* ring);

ULONG ByteRingCount(const ByteRing* ring);
ULONG ByteRingFreeSpace(const ByteRing* ring);
// Stores min(free, length) bytes; returns how many.
ULONG ByteRingWrite(ByteRing* ring, const UCHAR* data, ULONG length);
// Takes min(count, wanted) bytes; returns how many.
ULONG ByteRingRead(ByteRing* ring, PUCHAR buffer, ULONG wanted);
// Copies min(count, wanted) bytes and leaves them in the ring; returns how
// many. The reader's side, like Read.
ULONG ByteRingPeek(const ByteRing* ring, PUCHAR buffer, ULONG wanted);
// Drops the first min(count, length) bytes.
VOID ByteRingSkip(ByteRing* ring, ULONG length);
VOID ByteRingDiscard(ByteRing* ring);
