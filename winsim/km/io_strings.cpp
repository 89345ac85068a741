#include "km/io_strings.h"

#include <km_ex.h>

namespace winsim::io {

namespace {

char16_t Upper(char16_t c) { return c >= u'a' && c <= u'z' ? static_cast<char16_t>(c - u'a' + u'A') : c; }

}  // namespace

std::u16string FromUnicodeString(PCUNICODE_STRING s)
{
    std::u16string out;
    if (s == nullptr || s->Buffer == nullptr) return out;
    out.reserve(s->Length / sizeof(WCHAR));
    for (USHORT i = 0; i < s->Length / sizeof(WCHAR); ++i) out.push_back(static_cast<char16_t>(s->Buffer[i]));
    return out;
}

std::u16string FromAscii(std::string_view text)
{
    std::u16string out;
    out.reserve(text.size());
    for (char c : text) out.push_back(static_cast<char16_t>(static_cast<unsigned char>(c)));
    return out;
}

std::string ToAscii(std::u16string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (char16_t c : text) out.push_back(c < 0x80 ? static_cast<char>(c) : '?');
    return out;
}

std::u16string UpperCase(std::u16string_view text)
{
    std::u16string out(text);
    for (char16_t& c : out) c = Upper(c);
    return out;
}

bool StartsWithNoCase(std::u16string_view text, std::u16string_view prefix)
{
    if (text.size() < prefix.size()) return false;
    for (size_t i = 0; i < prefix.size(); ++i) {
        if (Upper(text[i]) != Upper(prefix[i])) return false;
    }
    return true;
}

NTSTATUS AllocateCountedString(std::u16string_view text, ULONG poolTag, PUNICODE_STRING out)
{
    auto bytes = static_cast<USHORT>((text.size() + 1) * sizeof(WCHAR));
    auto* buffer = static_cast<PWCH>(ExAllocatePoolWithTag(PagedPool, bytes, poolTag));
    if (buffer == nullptr) return STATUS_INSUFFICIENT_RESOURCES;
    for (size_t i = 0; i < text.size(); ++i) buffer[i] = static_cast<WCHAR>(text[i]);
    buffer[text.size()] = 0;
    out->Buffer = buffer;
    out->Length = static_cast<USHORT>(bytes - sizeof(WCHAR));
    out->MaximumLength = bytes;
    return STATUS_SUCCESS;
}

WideBuffer::WideBuffer(std::u16string_view text)
{
    chars_.reserve(text.size() + 1);
    for (char16_t c : text) chars_.push_back(static_cast<WCHAR>(c));
    chars_.push_back(0);
}

void WideBuffer::Describe(UNICODE_STRING* out) const
{
    size_t count = chars_.empty() ? 0 : chars_.size() - 1;
    out->Length = static_cast<USHORT>(count * sizeof(WCHAR));
    out->MaximumLength = count == 0 ? 0 : static_cast<USHORT>(chars_.size() * sizeof(WCHAR));
    out->Buffer = count == 0 ? nullptr : const_cast<PWCH>(chars_.data());
}

}  // namespace winsim::io
