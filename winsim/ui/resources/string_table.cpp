#include "ui/resources/string_table.h"

#include "ui/resources/byte_reader.h"

namespace winsim::ui::resources {

Parsed<StringBlock> ParseStringBlock(std::span<const uint8_t> bytes)
{
    ByteReader reader(bytes);
    StringBlock block;
    for (std::u16string& text : block) {
        uint16_t length = reader.U16();
        std::span<const uint8_t> chars = reader.Bytes(size_t{length} * 2);
        if (reader.Failed()) return reader.Error("string table block truncated");
        text.resize(length);
        for (size_t i = 0; i < length; ++i) text[i] = static_cast<char16_t>(chars[2 * i] | chars[2 * i + 1] << 8);
    }
    return block;
}

std::optional<std::u16string> FindString(const ResourceDirectory& directory, uint32_t stringId,
                                         std::optional<uint16_t> language)
{
    const ResourceEntry* entry = directory.Find(ResourceId::FromOrdinal(kString),
                                                ResourceId::FromOrdinal(StringBlockOf(stringId)), language);
    if (entry == nullptr) return std::nullopt;
    auto block = ParseStringBlock(entry->data);
    if (!block) return std::nullopt;
    return (*block)[stringId & 0x0F];
}

}  // namespace winsim::ui::resources
