// Icons: an icon group (RT_GROUP_ICON, the .ico directory the resource
// compiler keeps) names its images (RT_ICON) by ordinal; each image is a DIB
// with its AND mask, or a PNG.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "ui/resources/parsed.h"

namespace winsim::ui::resources {

struct IconGroupEntry {
    uint16_t width = 0;  // 256 where the directory's byte says 0
    uint16_t height = 0;
    uint8_t colorCount = 0;
    uint16_t planes = 0;
    uint16_t bitCount = 0;
    uint32_t bytesInRes = 0;
    uint16_t imageId = 0;  // the RT_ICON resource with the image
};

Parsed<std::vector<IconGroupEntry>> ParseIconGroup(std::span<const uint8_t> bytes);

// The image LoadIcon/LoadImage would take for a cx by cy icon: the closest
// size, and of those the most bits per pixel. Null for an empty group.
const IconGroupEntry* PickIcon(std::span<const IconGroupEntry> group, int cx, int cy);

struct IconImage {
    int width = 0;
    int height = 0;
    uint16_t bitCount = 0;
    bool png = false;  // PNG images give their size only; pixels stay empty
    // 0xAARRGGBB, top row first; pixels the AND mask leaves to the
    // background have alpha 0.
    std::vector<uint32_t> pixels;
};

// Images larger than 256 by 256 are refused, as icons never are.
Parsed<IconImage> DecodeIconImage(std::span<const uint8_t> bytes);

}  // namespace winsim::ui::resources
