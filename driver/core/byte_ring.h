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
_Must_inspect_result_ _IRQL_requires_max_(DISPATCH_LEVEL)
NTSTATUS ByteRingCreate(_Out_ ByteRing** ring);
_IRQL_requires_max_(DISPATCH_LEVEL)
VOID ByteRingFree(_In_opt_ ByteRing* ring);

_IRQL_requires_max_(DISPATCH_LEVEL)
ULONG ByteRingCount(_In_ const ByteRing* ring);
_IRQL_requires_max_(DISPATCH_LEVEL)
ULONG ByteRingFreeSpace(_In_ const ByteRing* ring);
// Stores min(free, length) bytes; returns how many.
_IRQL_requires_max_(DISPATCH_LEVEL)
ULONG ByteRingWrite(_Inout_ ByteRing* ring, _In_reads_bytes_(length) const UCHAR* data, _In_ ULONG length);
// Takes min(count, wanted) bytes; returns how many.
_IRQL_requires_max_(DISPATCH_LEVEL)
ULONG ByteRingRead(_Inout_ ByteRing* ring, _Out_writes_bytes_to_(wanted, return) PUCHAR buffer, _In_ ULONG wanted);
// Copies min(count, wanted) bytes and leaves them in the ring; returns how
// many. The reader's side, like Read.
_IRQL_requires_max_(DISPATCH_LEVEL)
ULONG ByteRingPeek(_In_ const ByteRing* ring, _Out_writes_bytes_to_(wanted, return) PUCHAR buffer,
                   _In_ ULONG wanted);
// Drops the first min(count, length) bytes.
_IRQL_requires_max_(DISPATCH_LEVEL)
VOID ByteRingSkip(_Inout_ ByteRing* ring, _In_ ULONG length);
_IRQL_requires_max_(DISPATCH_LEVEL)
VOID ByteRingDiscard(_Inout_ ByteRing* ring);
