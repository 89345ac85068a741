// winsim kernel headers: run-time library (memory, counted strings,
// conversions).
#pragma once

#include "ntdef.h"

#define RtlZeroMemory(d, n) __builtin_memset((d), 0, (n))
#define RtlFillMemory(d, n, v) __builtin_memset((d), (v), (n))
#define RtlCopyMemory(d, s, n) __builtin_memcpy((d), (s), (n))
#define RtlMoveMemory(d, s, n) __builtin_memmove((d), (s), (n))
#define RtlEqualMemory(a, b, n) (__builtin_memcmp((a), (b), (n)) == 0)

extern "C" {
NTKERNELAPI SIZE_T RtlCompareMemory(const VOID* Source1, const VOID* Source2, SIZE_T Length);

NTKERNELAPI VOID RtlInitUnicodeString(PUNICODE_STRING Destination, PCWSTR Source);
NTKERNELAPI VOID RtlInitAnsiString(PANSI_STRING Destination, PCSTR Source);
NTKERNELAPI VOID RtlInitString(PSTRING Destination, PCSTR Source);
NTKERNELAPI VOID RtlCopyUnicodeString(PUNICODE_STRING Destination, PCUNICODE_STRING Source);
NTKERNELAPI NTSTATUS RtlAppendUnicodeStringToString(PUNICODE_STRING Destination, PCUNICODE_STRING Source);
NTKERNELAPI NTSTATUS RtlAppendUnicodeToString(PUNICODE_STRING Destination, PCWSTR Source);
NTKERNELAPI LONG RtlCompareUnicodeString(PCUNICODE_STRING String1, PCUNICODE_STRING String2, BOOLEAN CaseInSensitive);
NTKERNELAPI BOOLEAN RtlEqualUnicodeString(PCUNICODE_STRING String1, PCUNICODE_STRING String2, BOOLEAN CaseInSensitive);
NTKERNELAPI NTSTATUS RtlUnicodeStringToInteger(PCUNICODE_STRING String, ULONG Base, PULONG Value);
NTKERNELAPI NTSTATUS RtlIntegerToUnicodeString(ULONG Value, ULONG Base, PUNICODE_STRING String);
NTKERNELAPI NTSTATUS RtlAnsiStringToUnicodeString(PUNICODE_STRING Destination, PCANSI_STRING Source,
                                                  BOOLEAN AllocateDestinationString);
NTKERNELAPI NTSTATUS RtlUnicodeStringToAnsiString(PANSI_STRING Destination, PCUNICODE_STRING Source,
                                                  BOOLEAN AllocateDestinationString);
NTKERNELAPI VOID RtlFreeUnicodeString(PUNICODE_STRING UnicodeString);
NTKERNELAPI VOID RtlFreeAnsiString(PANSI_STRING AnsiString);
NTKERNELAPI WCHAR RtlUpcaseUnicodeChar(WCHAR SourceCharacter);
}

// Doubly linked lists with a head, as wdm.h defines them.
FORCEINLINE VOID InitializeListHead(PLIST_ENTRY ListHead) { ListHead->Flink = ListHead->Blink = ListHead; }
FORCEINLINE BOOLEAN IsListEmpty(const LIST_ENTRY* ListHead) { return ListHead->Flink == ListHead; }
FORCEINLINE BOOLEAN RemoveEntryList(PLIST_ENTRY Entry)
{
    PLIST_ENTRY next = Entry->Flink;
    PLIST_ENTRY previous = Entry->Blink;
    previous->Flink = next;
    next->Blink = previous;
    return next == previous;
}
FORCEINLINE PLIST_ENTRY RemoveHeadList(PLIST_ENTRY ListHead)
{
    PLIST_ENTRY entry = ListHead->Flink;
    RemoveEntryList(entry);
    return entry;
}
FORCEINLINE VOID InsertTailList(PLIST_ENTRY ListHead, PLIST_ENTRY Entry)
{
    PLIST_ENTRY last = ListHead->Blink;
    Entry->Flink = ListHead;
    Entry->Blink = last;
    last->Flink = Entry;
    ListHead->Blink = Entry;
}
FORCEINLINE VOID InsertHeadList(PLIST_ENTRY ListHead, PLIST_ENTRY Entry)
{
    PLIST_ENTRY first = ListHead->Flink;
    Entry->Flink = first;
    Entry->Blink = ListHead;
    first->Blink = Entry;
    ListHead->Flink = Entry;
}
