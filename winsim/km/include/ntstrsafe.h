// winsim kernel headers: bounded string formatting. The formats understood
// are the ones kernel code uses: %d %i %u %x %X %c %s (narrow in A, wide in W),
// %S (the other width), %ls, %hs, %wZ (counted string), %%, with optional
// width, zero padding and the l/h/I64 size prefixes.
#pragma once

#include <stdarg.h>

#include "ntdef.h"

typedef SIZE_T size_t_ntstrsafe;

extern "C" {
NTSTATUS RtlStringCbPrintfW(PWSTR Dest, size_t CbDest, PCWSTR Format, ...);
NTSTATUS RtlStringCchPrintfW(PWSTR Dest, size_t CchDest, PCWSTR Format, ...);
NTSTATUS RtlStringCbPrintfA(PSTR Dest, size_t CbDest, PCSTR Format, ...);
NTSTATUS RtlStringCchPrintfA(PSTR Dest, size_t CchDest, PCSTR Format, ...);
NTSTATUS RtlStringCbVPrintfW(PWSTR Dest, size_t CbDest, PCWSTR Format, va_list Args);
NTSTATUS RtlStringCbVPrintfA(PSTR Dest, size_t CbDest, PCSTR Format, va_list Args);
NTSTATUS RtlStringCbCopyW(PWSTR Dest, size_t CbDest, PCWSTR Src);
NTSTATUS RtlStringCbCopyA(PSTR Dest, size_t CbDest, PCSTR Src);
NTSTATUS RtlStringCchCopyA(PSTR Dest, size_t CchDest, PCSTR Src);
NTSTATUS RtlStringCbLengthW(PCWSTR Psz, size_t CbMax, size_t* PcbLength);
NTSTATUS RtlStringCbLengthA(PCSTR Psz, size_t CbMax, size_t* PcbLength);
NTSTATUS RtlStringCchLengthA(PCSTR Psz, size_t CchMax, size_t* PcchLength);
NTSTATUS RtlUnicodeStringPrintf(PUNICODE_STRING Dest, PCWSTR Format, ...);
}
