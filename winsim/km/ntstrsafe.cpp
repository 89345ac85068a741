// Bounded string functions of the kernel's safe-string library. A result that
// does not fit is cut to the destination, still terminated, and reported as
// STATUS_BUFFER_OVERFLOW; a destination of no characters is an invalid
// parameter. Formats follow the Microsoft C run time: a LONG is 32 bits even
// with the l prefix, %s is as wide as the function and %S the other width.
#include <ntstrsafe.h>

#include <vector>

#include "nls/nls_tables.h"

namespace {

constexpr size_t kMaxCch = 2147483647;  // NTSTRSAFE_MAX_CCH

enum class Size { Default, Short, Long, LongLong, Wide };

template <typename CharT>
constexpr bool kWideOutput = sizeof(CharT) == sizeof(WCHAR);

template <typename CharT>
class Formatter {
public:
    std::vector<CharT> Run(const CharT* format, va_list* args)
    {
        for (const CharT* p = format; *p != 0; ++p) {
            if (*p != '%') {
                out_.push_back(*p);
                continue;
            }
            p = Conversion(p + 1, args);
            if (*p == 0)
                break;
        }
        return std::move(out_);
    }

private:
    struct Field {
        bool left = false;
        bool zero = false;
        size_t width = 0;
        int precision = -1;
        Size size = Size::Default;
    };

    // Formats one conversion; returns its last character.
    const CharT* Conversion(const CharT* p, va_list* args)
    {
        const CharT* start = p - 1;
        Field field;
        for (;; ++p) {
            if (*p == '-')
                field.left = true;
            else if (*p == '0')
                field.zero = true;
            else
                break;
        }
        if (*p == '*') {
            int width = va_arg(*args, int);
            field.left = field.left || width < 0;
            field.width = static_cast<size_t>(width < 0 ? -width : width);
            ++p;
        }
        for (; *p >= '0' && *p <= '9'; ++p)
            field.width = field.width * 10 + static_cast<size_t>(*p - '0');
        if (*p == '.') {
            ++p;
            field.precision = 0;
            if (*p == '*') {
                field.precision = va_arg(*args, int);
                ++p;
            }
            for (; *p >= '0' && *p <= '9'; ++p)
                field.precision = field.precision * 10 + (*p - '0');
        }
        p = SizePrefix(p, &field.size);
        switch (*p) {
        case 'd':
        case 'i':
            Signed(field, args);
            break;
        case 'u':
            Unsigned(field, 10, false, args);
            break;
        case 'x':
            Unsigned(field, 16, false, args);
            break;
        case 'X':
            Unsigned(field, 16, true, args);
            break;
        case 'c':
        case 'C':
            Character(field, WideArgument(field.size, *p == 'C'), args);
            break;
        case 's':
        case 'S':
            String(field, WideArgument(field.size, *p == 'S'), args);
            break;
        case 'Z':
            CountedString(field, args);
            break;
        case '%':
            out_.push_back('%');
            break;
        default:
            // Not a conversion this library knows: the text stays as written.
            for (const CharT* q = start; q <= p && *q != 0; ++q)
                out_.push_back(*q);
            if (*p == 0)
                return p;
            break;
        }
        return p;
    }

    static const CharT* SizePrefix(const CharT* p, Size* size)
    {
        if (p[0] == 'I' && p[1] == '6' && p[2] == '4') {
            *size = Size::LongLong;
            return p + 3;
        }
        if (p[0] == 'I' && p[1] == '3' && p[2] == '2') {
            *size = Size::Long;
            return p + 3;
        }
        switch (*p) {
        case 'I':
            *size = Size::LongLong;
            return p + 1;  // pointer sized
        case 'h':
            *size = Size::Short;
            return p + 1;
        case 'w':
            *size = Size::Wide;
            return p + 1;
        case 'l':
            if (p[1] == 'l') {
                *size = Size::LongLong;
                return p + 2;
            }
            *size = Size::Long;
            return p + 1;
        default:
            return p;
        }
    }

    static bool WideArgument(Size size, bool otherWidth)
    {
        if (size == Size::Short)
            return false;
        if (size == Size::Long || size == Size::Wide)
            return true;
        return kWideOutput<CharT> != otherWidth;
    }

    void Signed(const Field& field, va_list* args)
    {
        LONGLONG value;
        if (field.size == Size::LongLong)
            value = va_arg(*args, LONGLONG);
        else if (field.size == Size::Short)
            value = static_cast<SHORT>(va_arg(*args, int));
        else
            value = va_arg(*args, INT);
        ULONGLONG magnitude =
            value < 0 ? 0ull - static_cast<ULONGLONG>(value) : static_cast<ULONGLONG>(value);
        Number(field, magnitude, 10, false, value < 0);
    }

    void Unsigned(const Field& field, unsigned base, bool upper, va_list* args)
    {
        ULONGLONG value;
        if (field.size == Size::LongLong)
            value = va_arg(*args, ULONGLONG);
        else if (field.size == Size::Short)
            value = static_cast<USHORT>(va_arg(*args, unsigned));
        else
            value = va_arg(*args, UINT);
        Number(field, value, base, upper, false);
    }

    void Number(const Field& field, ULONGLONG value, unsigned base, bool upper, bool negative)
    {
        CharT digits[24];
        size_t n = 0;
        while (value != 0) {
            unsigned d = static_cast<unsigned>(value % base);
            digits[n++] = static_cast<CharT>(d < 10 ? '0' + d : (upper ? 'A' : 'a') + d - 10);
            value /= base;
        }
        size_t precision = field.precision < 0 ? 1 : static_cast<size_t>(field.precision);
        size_t zeros = precision > n ? precision - n : 0;
        size_t body = (negative ? 1 : 0) + zeros + n;
        if (field.zero && !field.left && field.precision < 0 && field.width > body) {
            zeros += field.width - body;
            body = field.width;
        }
        PadBefore(field, body, ' ');
        if (negative)
            out_.push_back('-');
        out_.insert(out_.end(), zeros, '0');
        while (n > 0)
            out_.push_back(digits[--n]);
        PadAfter(field, body);
    }

    void Character(const Field& field, bool wide, va_list* args)
    {
        int c = va_arg(*args, int);
        CharT text = wide ? FromWide(static_cast<WCHAR>(c)) : FromNarrow(static_cast<CHAR>(c));
        Text(field, &text, 1);
    }

    void String(const Field& field, bool wide, va_list* args)
    {
        if (wide)
            WideText(field, va_arg(*args, PCWSTR), -1);
        else
            NarrowText(field, va_arg(*args, PCSTR), -1);
    }

    // %wZ takes a UNICODE_STRING, %Z an ANSI_STRING.
    void CountedString(const Field& field, va_list* args)
    {
        if (field.size == Size::Wide) {
            auto* s = va_arg(*args, PCUNICODE_STRING);
            if (s == nullptr || s->Buffer == nullptr)
                WideText(field, nullptr, -1);
            else
                WideText(field, s->Buffer, s->Length / sizeof(WCHAR));
        } else {
            auto* s = va_arg(*args, PCANSI_STRING);
            if (s == nullptr || s->Buffer == nullptr)
                NarrowText(field, nullptr, -1);
            else
                NarrowText(field, s->Buffer, s->Length);
        }
    }

    // A count of -1 means the text ends at its NUL.
    void WideText(const Field& field, PCWSTR text, ptrdiff_t count)
    {
        if (text == nullptr)
            return NarrowText(field, nullptr, -1);
        std::vector<CharT> converted;
        for (ptrdiff_t i = 0; count < 0 ? text[i] != 0 : i < count; ++i)
            converted.push_back(FromWide(text[i]));
        Text(field, converted.data(), converted.size());
    }

    void NarrowText(const Field& field, PCSTR text, ptrdiff_t count)
    {
        if (text == nullptr) {
            text = "(null)";
            count = -1;
        }
        std::vector<CharT> converted;
        for (ptrdiff_t i = 0; count < 0 ? text[i] != 0 : i < count; ++i)
            converted.push_back(FromNarrow(text[i]));
        Text(field, converted.data(), converted.size());
    }

    void Text(const Field& field, const CharT* text, size_t n)
    {
        if (field.precision >= 0 && n > static_cast<size_t>(field.precision))
            n = static_cast<size_t>(field.precision);
        // The Microsoft run time pads text with zeros too when asked to.
        PadBefore(field, n, field.zero ? '0' : ' ');
        out_.insert(out_.end(), text, text + n);
        PadAfter(field, n);
    }

    void PadBefore(const Field& field, size_t body, char fill)
    {
        if (!field.left && field.width > body)
            out_.insert(out_.end(), field.width - body, static_cast<CharT>(fill));
    }

    void PadAfter(const Field& field, size_t body)
    {
        if (field.left && field.width > body)
            out_.insert(out_.end(), field.width - body, static_cast<CharT>(' '));
    }

    // A wide character as this output's character.
    static CharT FromWide(WCHAR c)
    {
        if constexpr (kWideOutput<CharT>)
            return c;
        else
            return winsim::nls::UnicodeToAnsi(c);
    }

    // A narrow character as this output's character.
    static CharT FromNarrow(CHAR c)
    {
        if constexpr (kWideOutput<CharT>)
            return winsim::nls::AnsiToUnicode(static_cast<UCHAR>(c));
        else
            return c;
    }

    std::vector<CharT> out_;
};

template <typename CharT>
NTSTATUS CopyTerminated(CharT* dest, size_t cchDest, const CharT* source, size_t count)
{
    bool fits = count < cchDest;
    if (!fits)
        count = cchDest - 1;
    for (size_t i = 0; i < count; ++i)
        dest[i] = source[i];
    dest[count] = 0;
    return fits ? STATUS_SUCCESS : STATUS_BUFFER_OVERFLOW;
}

template <typename CharT>
NTSTATUS Print(CharT* dest, size_t cchDest, const CharT* format, va_list args)
{
    if (cchDest == 0 || cchDest > kMaxCch)
        return STATUS_INVALID_PARAMETER;
    va_list copy;
    va_copy(copy, args);
    std::vector<CharT> text = Formatter<CharT>().Run(format, &copy);
    va_end(copy);
    return CopyTerminated(dest, cchDest, text.data(), text.size());
}

template <typename CharT>
NTSTATUS Copy(CharT* dest, size_t cchDest, const CharT* source)
{
    if (cchDest == 0 || cchDest > kMaxCch)
        return STATUS_INVALID_PARAMETER;
    size_t n = 0;
    while (n < cchDest && source[n] != 0)
        ++n;
    return CopyTerminated(dest, cchDest, source, n);
}

template <typename CharT>
NTSTATUS Length(const CharT* text, size_t cchMax, size_t* cchLength)
{
    size_t n = 0;
    bool valid = text != nullptr && cchMax <= kMaxCch;
    if (valid) {
        while (n < cchMax && text[n] != 0)
            ++n;
        valid = n < cchMax;
    }
    if (cchLength != nullptr)
        *cchLength = valid ? n : 0;
    return valid ? STATUS_SUCCESS : STATUS_INVALID_PARAMETER;
}

}  // namespace

extern "C" {

NTSTATUS RtlStringCbVPrintfW(PWSTR Dest, size_t CbDest, PCWSTR Format, va_list Args)
{
    return Print(Dest, CbDest / sizeof(WCHAR), Format, Args);
}

NTSTATUS RtlStringCbVPrintfA(PSTR Dest, size_t CbDest, PCSTR Format, va_list Args)
{
    return Print(Dest, CbDest, Format, Args);
}

NTSTATUS RtlStringCbPrintfW(PWSTR Dest, size_t CbDest, PCWSTR Format, ...)
{
    va_list args;
    va_start(args, Format);
    NTSTATUS status = Print(Dest, CbDest / sizeof(WCHAR), Format, args);
    va_end(args);
    return status;
}

NTSTATUS RtlStringCchPrintfW(PWSTR Dest, size_t CchDest, PCWSTR Format, ...)
{
    va_list args;
    va_start(args, Format);
    NTSTATUS status = Print(Dest, CchDest, Format, args);
    va_end(args);
    return status;
}

NTSTATUS RtlStringCbPrintfA(PSTR Dest, size_t CbDest, PCSTR Format, ...)
{
    va_list args;
    va_start(args, Format);
    NTSTATUS status = Print(Dest, CbDest, Format, args);
    va_end(args);
    return status;
}

NTSTATUS RtlStringCchPrintfA(PSTR Dest, size_t CchDest, PCSTR Format, ...)
{
    va_list args;
    va_start(args, Format);
    NTSTATUS status = Print(Dest, CchDest, Format, args);
    va_end(args);
    return status;
}

NTSTATUS RtlStringCbCopyW(PWSTR Dest, size_t CbDest, PCWSTR Src)
{
    return Copy(Dest, CbDest / sizeof(WCHAR), Src);
}

NTSTATUS RtlStringCbCopyA(PSTR Dest, size_t CbDest, PCSTR Src)
{
    return Copy(Dest, CbDest, Src);
}

NTSTATUS RtlStringCchCopyA(PSTR Dest, size_t CchDest, PCSTR Src)
{
    return Copy(Dest, CchDest, Src);
}

NTSTATUS RtlStringCbLengthW(PCWSTR Psz, size_t CbMax, size_t* PcbLength)
{
    size_t cch = 0;
    NTSTATUS status = Length(Psz, CbMax / sizeof(WCHAR), &cch);
    if (PcbLength != nullptr)
        *PcbLength = cch * sizeof(WCHAR);
    return status;
}

NTSTATUS RtlStringCbLengthA(PCSTR Psz, size_t CbMax, size_t* PcbLength)
{
    return Length(Psz, CbMax, PcbLength);
}

NTSTATUS RtlStringCchLengthA(PCSTR Psz, size_t CchMax, size_t* PcchLength)
{
    return Length(Psz, CchMax, PcchLength);
}

NTSTATUS RtlUnicodeStringPrintf(PUNICODE_STRING Dest, PCWSTR Format, ...)
{
    // A counted string needs no terminator: the text may fill the buffer.
    if (Dest == nullptr || Dest->Length % sizeof(WCHAR) != 0 || Dest->MaximumLength % sizeof(WCHAR) != 0 ||
        Dest->Length > Dest->MaximumLength || (Dest->Buffer == nullptr && Dest->MaximumLength != 0)) {
        return STATUS_INVALID_PARAMETER;
    }
    va_list args;
    va_start(args, Format);
    std::vector<WCHAR> text = Formatter<WCHAR>().Run(Format, &args);
    va_end(args);
    size_t cch = Dest->MaximumLength / sizeof(WCHAR);
    size_t n = text.size() < cch ? text.size() : cch;
    for (size_t i = 0; i < n; ++i)
        Dest->Buffer[i] = text[i];
    Dest->Length = static_cast<USHORT>(n * sizeof(WCHAR));
    return text.size() > cch ? STATUS_BUFFER_OVERFLOW : STATUS_SUCCESS;
}

}  // extern "C"
