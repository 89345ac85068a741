#include "ui/resources/resource_directory.h"

#include "ui/resources/byte_reader.h"

namespace winsim::ui::resources {

namespace {

constexpr uint16_t kLangNeutral = 0x0000;
constexpr uint16_t kLangEnglishUs = 0x0409;

}  // namespace

Parsed<ResourceDirectory> ResourceDirectory::Parse(std::span<const uint8_t> resFile)
{
    ResourceDirectory directory;
    directory.bytes_.assign(resFile.begin(), resFile.end());
    ByteReader reader(directory.bytes_);
    while (reader.Remaining() > 0) {
        size_t start = reader.Offset();
        uint32_t dataSize = reader.U32();
        uint32_t headerSize = reader.U32();
        ResourceEntry entry;
        entry.type = reader.NameOrOrdinal();
        entry.name = reader.NameOrOrdinal();
        reader.AlignToDword();
        entry.dataVersion = reader.U32();
        entry.memoryFlags = reader.U16();
        entry.language = reader.U16();
        entry.version = reader.U32();
        entry.characteristics = reader.U32();
        if (reader.Failed()) return reader.Error("resource header truncated");
        if (headerSize < reader.Offset() - start) return reader.Fail("resource header size too small");
        // HeaderSize, not the fields read, says where the data begins.
        if (headerSize > reader.Remaining() + (reader.Offset() - start)) return reader.Fail("resource header past end");
        reader.Seek(start + headerSize);
        if (dataSize > reader.Remaining()) return reader.Fail("resource data past end");
        entry.data = reader.Bytes(dataSize);
        reader.AlignToDword();
        // The leading empty entry (type 0) marks a 32-bit .res file; it names nothing.
        if (!(entry.type.IsOrdinal() && entry.type.Ordinal() == 0)) directory.entries_.push_back(std::move(entry));
    }
    return directory;
}

const ResourceEntry* ResourceDirectory::FindExact(const ResourceId& type, const ResourceId& name,
                                                  uint16_t language) const
{
    for (const ResourceEntry& entry : entries_) {
        if (entry.language == language && entry.type == type && entry.name == name) return &entry;
    }
    return nullptr;
}

const ResourceEntry* ResourceDirectory::Find(const ResourceId& type, const ResourceId& name,
                                             std::optional<uint16_t> language) const
{
    std::vector<uint16_t> order;
    if (language) {
        order.push_back(*language);
        order.push_back(static_cast<uint16_t>(*language & 0x3FF));  // SUBLANG_NEUTRAL
    }
    order.push_back(kLangNeutral);
    order.push_back(kLangEnglishUs);
    for (uint16_t candidate : order) {
        if (const ResourceEntry* entry = FindExact(type, name, candidate)) return entry;
    }
    for (const ResourceEntry& entry : entries_) {
        if (entry.type == type && entry.name == name) return &entry;
    }
    return nullptr;
}

}  // namespace winsim::ui::resources
