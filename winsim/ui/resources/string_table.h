// String tables (RT_STRING). The resource compiler groups strings in blocks
// of sixteen: block n (the resource name) holds ids (n - 1) * 16 to
// (n - 1) * 16 + 15, each a length-prefixed UTF-16 string, empty when unused.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "ui/resources/parsed.h"
#include "ui/resources/resource_directory.h"

namespace winsim::ui::resources {

using StringBlock = std::array<std::u16string, 16>;

constexpr uint16_t StringBlockOf(uint32_t stringId) { return static_cast<uint16_t>(((stringId & 0xFFFF) >> 4) + 1); }

Parsed<StringBlock> ParseStringBlock(std::span<const uint8_t> bytes);

// The string with this id (its low 16 bits, as LoadString uses them), or
// nothing when its block is missing or malformed. An id inside a block that
// the .rc leaves unused reads as empty, as on Windows.
std::optional<std::u16string> FindString(const ResourceDirectory& directory, uint32_t stringId,
                                         std::optional<uint16_t> language = std::nullopt);

}  // namespace winsim::ui::resources
