#include "ui/resources/dib_pixels.h"

namespace winsim::ui::resources {

uint32_t DibPixel(std::span<const uint8_t> row, int x, uint16_t bitCount, std::span<const uint32_t> palette)
{
    const auto at = static_cast<size_t>(x);
    switch (bitCount) {
    case 32:
        return uint32_t{row[at * 4]} | uint32_t{row[at * 4 + 1]} << 8 | uint32_t{row[at * 4 + 2]} << 16 |
               uint32_t{row[at * 4 + 3]} << 24;
    case 24: return 0xFF000000u | uint32_t{row[at * 3 + 2]} << 16 | uint32_t{row[at * 3 + 1]} << 8 | row[at * 3];
    default: {
        const size_t perByte = 8u / bitCount;
        const uint8_t byte = row[at / perByte];
        const size_t shift = 8 - bitCount * (at % perByte + 1);
        const uint32_t index = (byte >> shift) & ((1u << bitCount) - 1);
        return index < palette.size() ? 0xFF000000u | palette[index] : 0xFF000000u;
    }
    }
}

}  // namespace winsim::ui::resources
