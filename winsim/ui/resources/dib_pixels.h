// Pixels of device-independent bitmaps as resources store them (icon images,
// BITMAP resources): one stored row at a time.
#pragma once

#include <cstdint>
#include <span>

namespace winsim::ui::resources {

// The colour of pixel x of a stored row of 1, 4, 8, 24 or 32 bits per pixel,
// as 0xAARRGGBB with alpha 0xFF (32-bit rows carry their own alpha); an
// index past the palette is black.
uint32_t DibPixel(std::span<const uint8_t> row, int x, uint16_t bitCount, std::span<const uint32_t> palette);

}  // namespace winsim::ui::resources
