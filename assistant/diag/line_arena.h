// The event window's line buffer: one block of 1,000,000 bytes used as a
// ring of variable-length entries (a 16-byte header, the text and its zero).
// An entry never wraps around the block's end; when room runs out the
// oldest entries are dropped, a few at a time.
#pragma once

#include <memory>

#include "common/win32_user.h"

namespace diag {

class LineArena {
public:
    static constexpr DWORD kSize = 1000000;
    static constexpr DWORD kHeaderSize = 16;

    LineArena();

    // Keeps text (cut to what the block can hold) under the given line number.
    void Append(const char* text, ULONG lineNumber);
    void Clear();

    ULONG LineCount() const { return lineCount; }
    // The entry `index` places after the oldest, or null past the newest.
    const BYTE* EntryAt(ULONG index) const;
    const BYTE* Oldest() const { return oldest; }
    static const BYTE* Next(const BYTE* entry);
    static const char* Text(const BYTE* entry) { return reinterpret_cast<const char*>(entry + kHeaderSize); }
    static ULONG LineNumber(const BYTE* entry);

private:
    struct Header {
        DWORD size;
        DWORD lineNumber;
        BYTE* next;
    };
    static_assert(sizeof(Header) == kHeaderSize, "entry header");

    static Header Read(const BYTE* entry);
    void DropOldest();

    std::unique_ptr<BYTE[]> block;
    BYTE* oldest = nullptr;
    BYTE* newest = nullptr;
    BYTE* writePos = nullptr;
    ULONG lineCount = 0;
};

}  // namespace diag
