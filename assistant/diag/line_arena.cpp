#include "assistant/diag/line_arena.h"

#include <string.h>

namespace diag {

LineArena::LineArena() : block(new BYTE[kSize]) {}

LineArena::Header LineArena::Read(const BYTE* entry)
{
    // Entries follow each other byte by byte, so headers are not aligned.
    Header header;
    memcpy(&header, entry, sizeof(header));
    return header;
}

const BYTE* LineArena::Next(const BYTE* entry)
{
    return Read(entry).next;
}

ULONG LineArena::LineNumber(const BYTE* entry)
{
    return Read(entry).lineNumber;
}

const BYTE* LineArena::EntryAt(ULONG index) const
{
    const BYTE* entry = oldest;
    for (ULONG i = 0; i < index && entry != nullptr; ++i) {
        entry = Next(entry);
    }
    return entry;
}

void LineArena::Clear()
{
    oldest = nullptr;
    newest = nullptr;
    writePos = nullptr;
    lineCount = 0;
}

void LineArena::DropOldest()
{
    oldest = Read(oldest).next;
    --lineCount;
    if (oldest == nullptr) {
        newest = nullptr;
    }
}

void LineArena::Append(const char* text, ULONG lineNumber)
{
    size_t length = strlen(text);
    if (length > kSize - kHeaderSize - 1) {
        length = kSize - kHeaderSize - 1;
    }
    const size_t need = length + kHeaderSize + 1;
    BYTE* const start = block.get();
    BYTE* const end = start + kSize;

    if (oldest != nullptr) {
        for (;;) {
            const bool runReachesEnd = writePos > oldest;
            const size_t freeRun = static_cast<size_t>(runReachesEnd ? end - writePos : oldest - writePos);
            if (freeRun >= need) {
                break;
            }
            DropOldest();
            if (runReachesEnd) {
                writePos = start;
            }
            if (oldest == nullptr) {
                break;  // the whole block is free again
            }
        }
    }
    if (oldest == nullptr) {
        oldest = start;
        writePos = start;
    } else {
        Header last = Read(newest);
        last.next = writePos;
        memcpy(newest, &last, sizeof(last));
    }

    const Header header = {static_cast<DWORD>(need), lineNumber, nullptr};
    memcpy(writePos, &header, sizeof(header));
    memcpy(writePos + kHeaderSize, text, length);
    writePos[kHeaderSize + length] = 0;
    newest = writePos;
    ++lineCount;
    writePos += need;
}

}  // namespace diag
