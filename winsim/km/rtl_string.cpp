// The run-time library's counted strings and conversions, with the results
// Windows gives. The conversions and comparisons live in paged code on
// Windows, so they are checked as paged services.
#include <km_ex.h>
#include <km_rtl.h>

#include "nls/nls_tables.h"
#include "verifier/verifier.h"

using winsim::Verifier;

namespace {

#ifndef STATUS_INVALID_PARAMETER_2
#define STATUS_INVALID_PARAMETER_2 ((NTSTATUS)0xC00000F0L)
#endif

// Pool tag of strings the library allocates: "Strg" in a pool dump.
constexpr ULONG kStringTag = 0x67727453;
// The longest counted strings the library makes.
constexpr USHORT kMaxUnicodeBytes = 0xFFFC;
constexpr USHORT kMaxAnsiBytes = 0xFFFE;

size_t WideLength(PCWSTR text)
{
    size_t n = 0;
    while (text[n] != 0)
        ++n;
    return n;
}

void TerminateIfRoom(PUNICODE_STRING s)
{
    if (s->Length + sizeof(WCHAR) <= s->MaximumLength)
        s->Buffer[s->Length / sizeof(WCHAR)] = 0;
}

NTSTATUS AppendCharacters(PUNICODE_STRING destination, PCWCH source, size_t bytes)
{
    if (destination->Length + bytes > destination->MaximumLength)
        return STATUS_BUFFER_TOO_SMALL;
    if (bytes == 0)
        return STATUS_SUCCESS;
    RtlMoveMemory(reinterpret_cast<PUCHAR>(destination->Buffer) + destination->Length, source, bytes);
    destination->Length = static_cast<USHORT>(destination->Length + bytes);
    TerminateIfRoom(destination);
    return STATUS_SUCCESS;
}

int DigitValue(WCHAR c)
{
    if (c >= u'0' && c <= u'9')
        return c - u'0';
    WCHAR upper = winsim::nls::Upcase(c);
    if (upper >= u'A' && upper <= u'Z')
        return upper - u'A' + 10;
    return -1;
}

bool ValidBase(ULONG base)
{
    return base == 2 || base == 8 || base == 10 || base == 16;
}

}  // namespace

extern "C" {

SIZE_T RtlCompareMemory(const VOID* Source1, const VOID* Source2, SIZE_T Length)
{
    const auto* a = static_cast<const UCHAR*>(Source1);
    const auto* b = static_cast<const UCHAR*>(Source2);
    SIZE_T same = 0;
    while (same < Length && a[same] == b[same])
        ++same;
    return same;
}

VOID RtlInitUnicodeString(PUNICODE_STRING Destination, PCWSTR Source)
{
    Destination->Buffer = const_cast<PWCH>(Source);
    if (Source == nullptr) {
        Destination->Length = Destination->MaximumLength = 0;
        return;
    }
    size_t bytes = WideLength(Source) * sizeof(WCHAR);
    if (bytes > kMaxUnicodeBytes)
        bytes = kMaxUnicodeBytes;
    Destination->Length = static_cast<USHORT>(bytes);
    Destination->MaximumLength = static_cast<USHORT>(bytes + sizeof(WCHAR));
}

VOID RtlInitAnsiString(PANSI_STRING Destination, PCSTR Source)
{
    Destination->Buffer = const_cast<PCHAR>(Source);
    if (Source == nullptr) {
        Destination->Length = Destination->MaximumLength = 0;
        return;
    }
    size_t bytes = __builtin_strlen(Source);
    if (bytes > kMaxAnsiBytes)
        bytes = kMaxAnsiBytes;
    Destination->Length = static_cast<USHORT>(bytes);
    Destination->MaximumLength = static_cast<USHORT>(bytes + 1);
}

VOID RtlInitString(PSTRING Destination, PCSTR Source)
{
    RtlInitAnsiString(Destination, Source);
}

VOID RtlCopyUnicodeString(PUNICODE_STRING Destination, PCUNICODE_STRING Source)
{
    if (Source == nullptr) {
        Destination->Length = 0;
        return;
    }
    USHORT bytes = Source->Length < Destination->MaximumLength ? Source->Length : Destination->MaximumLength;
    RtlMoveMemory(Destination->Buffer, Source->Buffer, bytes);
    Destination->Length = bytes;
    TerminateIfRoom(Destination);
}

NTSTATUS RtlAppendUnicodeStringToString(PUNICODE_STRING Destination, PCUNICODE_STRING Source)
{
    return AppendCharacters(Destination, Source->Buffer, Source->Length);
}

NTSTATUS RtlAppendUnicodeToString(PUNICODE_STRING Destination, PCWSTR Source)
{
    if (Source == nullptr)
        return STATUS_SUCCESS;
    return AppendCharacters(Destination, Source, WideLength(Source) * sizeof(WCHAR));
}

LONG RtlCompareUnicodeString(PCUNICODE_STRING String1, PCUNICODE_STRING String2, BOOLEAN CaseInSensitive)
{
    Verifier::CheckPagedCode(__func__);
    size_t n1 = String1->Length / sizeof(WCHAR);
    size_t n2 = String2->Length / sizeof(WCHAR);
    for (size_t i = 0; i < n1 && i < n2; ++i) {
        WCHAR c1 = String1->Buffer[i];
        WCHAR c2 = String2->Buffer[i];
        if (CaseInSensitive) {
            c1 = winsim::nls::Upcase(c1);
            c2 = winsim::nls::Upcase(c2);
        }
        if (c1 != c2)
            return static_cast<LONG>(c1) - static_cast<LONG>(c2);
    }
    return static_cast<LONG>(String1->Length) - static_cast<LONG>(String2->Length);
}

BOOLEAN RtlEqualUnicodeString(PCUNICODE_STRING String1, PCUNICODE_STRING String2, BOOLEAN CaseInSensitive)
{
    Verifier::CheckPagedCode(__func__);
    return String1->Length == String2->Length &&
           RtlCompareUnicodeString(String1, String2, CaseInSensitive) == 0;
}

NTSTATUS RtlUnicodeStringToInteger(PCUNICODE_STRING String, ULONG Base, PULONG Value)
{
    Verifier::CheckPagedCode(__func__);
    PCWCH p = String->Buffer;
    size_t left = String->Length / sizeof(WCHAR);
    while (left > 0 && *p <= u' ') {
        ++p;
        --left;
    }
    bool negative = false;
    if (left > 0 && (*p == u'+' || *p == u'-')) {
        negative = *p == u'-';
        ++p;
        --left;
    }
    if (Base == 0) {
        Base = 10;
        if (left >= 2 && p[0] == u'0') {
            ULONG prefixed = p[1] == u'x' ? 16 : p[1] == u'o' ? 8 : p[1] == u'b' ? 2 : 0;
            if (prefixed != 0) {
                Base = prefixed;
                p += 2;
                left -= 2;
            }
        }
    } else if (!ValidBase(Base)) {
        return STATUS_INVALID_PARAMETER;
    }
    if (Value == nullptr)
        return STATUS_ACCESS_VIOLATION;
    ULONG total = 0;
    for (; left > 0; ++p, --left) {
        int digit = DigitValue(*p);
        if (digit < 0 || static_cast<ULONG>(digit) >= Base)
            break;
        total = total * Base + static_cast<ULONG>(digit);
    }
    *Value = negative ? 0u - total : total;
    return STATUS_SUCCESS;
}

NTSTATUS RtlIntegerToUnicodeString(ULONG Value, ULONG Base, PUNICODE_STRING String)
{
    Verifier::CheckPagedCode(__func__);
    if (Base == 0)
        Base = 10;
    if (!ValidBase(Base))
        return STATUS_INVALID_PARAMETER;
    WCHAR digits[33];
    size_t n = 0;
    do {
        ULONG digit = Value % Base;
        digits[n++] = static_cast<WCHAR>(digit < 10 ? u'0' + digit : u'A' + digit - 10);
        Value /= Base;
    } while (Value != 0);
    // The length is reported even when the text does not fit.
    String->Length = static_cast<USHORT>(n * sizeof(WCHAR));
    if (String->Length >= String->MaximumLength)
        return STATUS_BUFFER_OVERFLOW;
    for (size_t i = 0; i < n; ++i)
        String->Buffer[i] = digits[n - 1 - i];
    String->Buffer[n] = 0;
    return STATUS_SUCCESS;
}

NTSTATUS RtlAnsiStringToUnicodeString(PUNICODE_STRING Destination, PCANSI_STRING Source,
                                      BOOLEAN AllocateDestinationString)
{
    Verifier::CheckPagedCode(__func__);
    size_t total = (Source->Length + 1) * sizeof(WCHAR);
    if (total > MAXUSHORT)
        return STATUS_INVALID_PARAMETER_2;
    Destination->Length = static_cast<USHORT>(total - sizeof(WCHAR));
    if (AllocateDestinationString) {
        Destination->MaximumLength = static_cast<USHORT>(total);
        Destination->Buffer = static_cast<PWCH>(ExAllocatePoolWithTag(PagedPool, total, kStringTag));
        if (Destination->Buffer == nullptr)
            return STATUS_NO_MEMORY;
    } else if (Destination->Length >= Destination->MaximumLength) {
        return STATUS_BUFFER_OVERFLOW;
    }
    for (USHORT i = 0; i < Source->Length; ++i) {
        Destination->Buffer[i] = winsim::nls::AnsiToUnicode(static_cast<UCHAR>(Source->Buffer[i]));
    }
    Destination->Buffer[Source->Length] = 0;
    return STATUS_SUCCESS;
}

NTSTATUS RtlUnicodeStringToAnsiString(PANSI_STRING Destination, PCUNICODE_STRING Source,
                                      BOOLEAN AllocateDestinationString)
{
    // Unlike the other direction, a destination that is too short receives as
    // much as fits.
    Verifier::CheckPagedCode(__func__);
    size_t total = Source->Length / sizeof(WCHAR) + 1;
    if (total > MAXUSHORT)
        return STATUS_INVALID_PARAMETER_2;
    NTSTATUS status = STATUS_SUCCESS;
    Destination->Length = static_cast<USHORT>(total - 1);
    if (AllocateDestinationString) {
        Destination->MaximumLength = static_cast<USHORT>(total);
        Destination->Buffer = static_cast<PCHAR>(ExAllocatePoolWithTag(PagedPool, total, kStringTag));
        if (Destination->Buffer == nullptr)
            return STATUS_NO_MEMORY;
    } else if (Destination->Length >= Destination->MaximumLength) {
        if (Destination->MaximumLength == 0)
            return STATUS_BUFFER_OVERFLOW;
        status = STATUS_BUFFER_OVERFLOW;
        Destination->Length = static_cast<USHORT>(Destination->MaximumLength - 1);
    }
    for (USHORT i = 0; i < Destination->Length; ++i) {
        Destination->Buffer[i] = winsim::nls::UnicodeToAnsi(Source->Buffer[i]);
    }
    Destination->Buffer[Destination->Length] = 0;
    return status;
}

VOID RtlFreeUnicodeString(PUNICODE_STRING UnicodeString)
{
    Verifier::CheckPagedCode(__func__);
    if (UnicodeString->Buffer != nullptr)
        ExFreePool(UnicodeString->Buffer);
    UnicodeString->Buffer = nullptr;
    UnicodeString->Length = UnicodeString->MaximumLength = 0;
}

VOID RtlFreeAnsiString(PANSI_STRING AnsiString)
{
    Verifier::CheckPagedCode(__func__);
    if (AnsiString->Buffer != nullptr)
        ExFreePool(AnsiString->Buffer);
    AnsiString->Buffer = nullptr;
    AnsiString->Length = AnsiString->MaximumLength = 0;
}

WCHAR RtlUpcaseUnicodeChar(WCHAR SourceCharacter)
{
    Verifier::CheckPagedCode(__func__);
    return winsim::nls::Upcase(SourceCharacter);
}

}  // extern "C"
