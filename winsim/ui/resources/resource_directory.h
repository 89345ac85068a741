// The resources of a compiled .res file (what windres -O res writes and the
// linker turns into a module's resource section), by type, name and language.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "ui/resources/parsed.h"
#include "ui/resources/resource_id.h"

namespace winsim::ui::resources {

// Predefined resource types (the RT_ ordinals of winuser.h).
enum ResourceType : uint16_t {
    kCursorImage = 1,
    kBitmap = 2,
    kIconImage = 3,
    kMenu = 4,
    kDialog = 5,
    kString = 6,
    kAccelerator = 9,
    kData = 10,
    kCursorGroup = 12,
    kIconGroup = 14,
    kVersion = 16,
    kManifest = 24,
};

struct ResourceEntry {
    ResourceId type;
    ResourceId name;
    uint16_t language = 0;
    uint16_t memoryFlags = 0;
    uint32_t dataVersion = 0;
    uint32_t version = 0;
    uint32_t characteristics = 0;
    std::span<const uint8_t> data;  // within the directory's own copy of the file
};

class ResourceDirectory {
public:
    static Parsed<ResourceDirectory> Parse(std::span<const uint8_t> resFile);

    ResourceDirectory(ResourceDirectory&&) = default;
    ResourceDirectory& operator=(ResourceDirectory&&) = default;
    ResourceDirectory(const ResourceDirectory&) = delete;
    ResourceDirectory& operator=(const ResourceDirectory&) = delete;

    // With a language, the search goes from that language to its neutral
    // sublanguage, to neutral, to US English, then to any language, as
    // FindResourceEx does; without one it starts at neutral.
    const ResourceEntry* Find(const ResourceId& type, const ResourceId& name,
                              std::optional<uint16_t> language = std::nullopt) const;
    // Only the given language.
    const ResourceEntry* FindExact(const ResourceId& type, const ResourceId& name, uint16_t language) const;
    const std::vector<ResourceEntry>& Entries() const { return entries_; }

private:
    ResourceDirectory() = default;

    std::vector<uint8_t> bytes_;  // entries' data point into this buffer, which moves with it
    std::vector<ResourceEntry> entries_;
};

}  // namespace winsim::ui::resources
