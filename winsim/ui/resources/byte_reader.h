// A little-endian cursor over untrusted bytes. A read past the end (or an
// unterminated string) marks the reader failed and yields zeros from then on;
// parsers check Failed() where a result would otherwise be used, so no read
// ever leaves the buffer.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

#include "ui/resources/parsed.h"
#include "ui/resources/resource_id.h"

namespace winsim::ui::resources {

class ByteReader {
public:
    explicit ByteReader(std::span<const uint8_t> bytes) : bytes_(bytes) {}

    uint8_t U8();
    uint16_t U16();
    uint32_t U32();
    int16_t I16() { return static_cast<int16_t>(U16()); }
    std::span<const uint8_t> Bytes(size_t count);
    // A zero-terminated UTF-16 string; the terminator is consumed.
    std::u16string String();
    // sz_Or_Ord: 0xFFFF and an ordinal, or a zero-terminated string (empty
    // when the first character is the terminator).
    ResourceId NameOrOrdinal();
    // Moves to the next multiple of four from the start of the bytes.
    void AlignToDword();
    void Seek(size_t offset);

    size_t Offset() const { return offset_; }
    size_t Remaining() const { return bytes_.size() - offset_; }
    bool Failed() const { return failed_; }
    // Marks the reader failed (a value out of range) and returns the error.
    ParseError Fail(std::string what);
    ParseError Error(std::string what) const { return {std::move(what), offset_}; }

private:
    bool Take(size_t count);

    std::span<const uint8_t> bytes_;
    size_t offset_ = 0;
    bool failed_ = false;
};

}  // namespace winsim::ui::resources
