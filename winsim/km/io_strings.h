// Counted wide strings of the I/O manager's names, held as UTF-16 without the
// C library's wide functions (they were built for a 4-byte wchar_t).
#pragma once

#include <ntdef.h>

#include <string>
#include <string_view>
#include <vector>

namespace winsim::io {

std::u16string FromUnicodeString(PCUNICODE_STRING s);
std::u16string FromAscii(std::string_view text);
// For reports: characters outside ASCII print as '?'.
std::string ToAscii(std::u16string_view text);

// Object names compare without regard to case.
std::u16string UpperCase(std::u16string_view text);
bool StartsWithNoCase(std::u16string_view text, std::u16string_view prefix);

// A terminated copy in paged pool under the tag, for a driver to free
// (RtlFreeUnicodeString); STATUS_INSUFFICIENT_RESOURCES when the pool refuses.
NTSTATUS AllocateCountedString(std::u16string_view text, ULONG poolTag, PUNICODE_STRING out);

// A terminated wide copy that a UNICODE_STRING handed to a driver points at.
class WideBuffer {
public:
    WideBuffer() = default;
    explicit WideBuffer(std::u16string_view text);
    // Length 0 and a null buffer when empty, as the I/O manager passes no name.
    void Describe(UNICODE_STRING* out) const;

private:
    std::vector<WCHAR> chars_;
};

}  // namespace winsim::io
