#include "ui/resources/byte_reader.h"

namespace winsim::ui::resources {

bool ByteReader::Take(size_t count)
{
    if (failed_ || count > Remaining()) {
        failed_ = true;
        return false;
    }
    offset_ += count;
    return true;
}

uint8_t ByteReader::U8()
{
    if (!Take(1)) return 0;
    return bytes_[offset_ - 1];
}

uint16_t ByteReader::U16()
{
    if (!Take(2)) return 0;
    return static_cast<uint16_t>(bytes_[offset_ - 2] | bytes_[offset_ - 1] << 8);
}

uint32_t ByteReader::U32()
{
    uint32_t low = U16();
    uint32_t high = U16();
    return low | high << 16;
}

std::span<const uint8_t> ByteReader::Bytes(size_t count)
{
    if (!Take(count)) return {};
    return bytes_.subspan(offset_ - count, count);
}

std::u16string ByteReader::String()
{
    std::u16string text;
    for (;;) {
        char16_t c = U16();
        if (failed_ || c == 0) break;
        text.push_back(c);
    }
    if (failed_) text.clear();
    return text;
}

ResourceId ByteReader::NameOrOrdinal()
{
    if (Remaining() >= 2 && bytes_[offset_] == 0xFF && bytes_[offset_ + 1] == 0xFF) {
        Take(2);
        return ResourceId::FromOrdinal(U16());
    }
    return ResourceId::FromName(String());
}

void ByteReader::AlignToDword()
{
    size_t padding = (4 - offset_ % 4) % 4;
    // Padding that runs into the end is no fault: nothing more is read.
    offset_ += padding <= Remaining() ? padding : Remaining();
}

void ByteReader::Seek(size_t offset)
{
    if (offset > bytes_.size()) {
        failed_ = true;
        return;
    }
    offset_ = offset;
}

ParseError ByteReader::Fail(std::string what)
{
    failed_ = true;
    return Error(std::move(what));
}

}  // namespace winsim::ui::resources
