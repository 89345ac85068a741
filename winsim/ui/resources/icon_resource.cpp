#include "ui/resources/icon_resource.h"

#include <algorithm>
#include <cstdlib>
#include <iterator>

#include "ui/resources/byte_reader.h"
#include "ui/resources/dib_pixels.h"

namespace winsim::ui::resources {

namespace {

constexpr uint16_t kIconDirType = 1;
constexpr int kMaxIconSide = 256;
constexpr uint32_t kBiRgb = 0;
constexpr uint32_t kBiBitfields = 3;
constexpr uint8_t kPngSignature[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};

uint32_t BigEndian32(std::span<const uint8_t> b, size_t at)
{
    return uint32_t{b[at]} << 24 | uint32_t{b[at + 1]} << 16 | uint32_t{b[at + 2]} << 8 | b[at + 3];
}

Parsed<IconImage> DecodePng(std::span<const uint8_t> bytes)
{
    // Signature, then the IHDR chunk: length, "IHDR", width, height (big-endian).
    if (bytes.size() < 24 || bytes[12] != 'I' || bytes[13] != 'H' || bytes[14] != 'D' || bytes[15] != 'R') {
        return ParseError{"PNG icon without IHDR", 8};
    }
    uint32_t width = BigEndian32(bytes, 16);
    uint32_t height = BigEndian32(bytes, 20);
    if (width == 0 || height == 0 || width > kMaxIconSide || height > kMaxIconSide) {
        return ParseError{"PNG icon size out of range", 16};
    }
    IconImage image;
    image.width = static_cast<int>(width);
    image.height = static_cast<int>(height);
    image.bitCount = 32;
    image.png = true;
    return image;
}

}  // namespace

Parsed<std::vector<IconGroupEntry>> ParseIconGroup(std::span<const uint8_t> bytes)
{
    ByteReader reader(bytes);
    reader.U16();  // reserved
    uint16_t type = reader.U16();
    uint16_t count = reader.U16();
    if (reader.Failed()) return reader.Error("icon group header truncated");
    if (type != kIconDirType) return reader.Fail("not an icon group");
    if (count > reader.Remaining() / 14) return reader.Fail("icon group entries past end");
    std::vector<IconGroupEntry> group(count);
    for (IconGroupEntry& entry : group) {
        uint8_t width = reader.U8();
        uint8_t height = reader.U8();
        entry.width = width == 0 ? 256 : width;
        entry.height = height == 0 ? 256 : height;
        entry.colorCount = reader.U8();
        reader.U8();  // reserved
        entry.planes = reader.U16();
        entry.bitCount = reader.U16();
        entry.bytesInRes = reader.U32();
        entry.imageId = reader.U16();
    }
    return group;
}

const IconGroupEntry* PickIcon(std::span<const IconGroupEntry> group, int cx, int cy)
{
    const IconGroupEntry* best = nullptr;
    int bestDistance = 0;
    for (const IconGroupEntry& entry : group) {
        int distance = std::abs(entry.width - cx) + std::abs(entry.height - cy);
        if (best == nullptr || distance < bestDistance ||
            (distance == bestDistance && entry.bitCount > best->bitCount)) {
            best = &entry;
            bestDistance = distance;
        }
    }
    return best;
}

Parsed<IconImage> DecodeIconImage(std::span<const uint8_t> bytes)
{
    if (bytes.size() >= 8 && std::equal(std::begin(kPngSignature), std::end(kPngSignature), bytes.begin())) {
        return DecodePng(bytes);
    }
    ByteReader reader(bytes);
    uint32_t headerSize = reader.U32();
    int32_t width = static_cast<int32_t>(reader.U32());
    int32_t doubledHeight = static_cast<int32_t>(reader.U32());
    reader.U16();  // planes
    uint16_t bitCount = reader.U16();
    uint32_t compression = reader.U32();
    reader.Bytes(12);  // image size and resolution, not needed to draw
    uint32_t colorsUsed = reader.U32();
    if (reader.Failed()) return reader.Error("icon bitmap header truncated");
    if (headerSize < 40) return reader.Fail("icon bitmap header too small");
    // Icons store the XOR image and the AND mask one above the other, bottom-up.
    if (width <= 0 || width > kMaxIconSide || doubledHeight <= 0 || doubledHeight > 2 * kMaxIconSide ||
        doubledHeight % 2 != 0) {
        return reader.Fail("icon size out of range");
    }
    if (bitCount != 1 && bitCount != 4 && bitCount != 8 && bitCount != 24 && bitCount != 32) {
        return reader.Fail("icon bit count unsupported");
    }
    if (compression != kBiRgb && !(compression == kBiBitfields && bitCount == 32)) {
        return reader.Fail("compressed icon bitmap");
    }
    reader.Seek(headerSize);
    if (compression == kBiBitfields) reader.Bytes(12);  // the masks; icons use the standard BGRA layout
    std::vector<uint32_t> palette;
    if (bitCount <= 8) {
        uint32_t colors = colorsUsed == 0 || colorsUsed > (1u << bitCount) ? 1u << bitCount : colorsUsed;
        for (uint32_t i = 0; i < colors; ++i) palette.push_back(reader.U32() & 0x00FFFFFF);
    }
    int height = doubledHeight / 2;
    size_t xorStride = (size_t(width) * bitCount + 31) / 32 * 4;
    size_t andStride = (size_t(width) + 31) / 32 * 4;
    std::span<const uint8_t> xorBits = reader.Bytes(xorStride * height);
    // Some 32-bit icons leave out the mask; their alpha says everything.
    std::span<const uint8_t> andBits = reader.Remaining() >= andStride * height || bitCount != 32
                                           ? reader.Bytes(andStride * height)
                                           : std::span<const uint8_t>{};
    if (reader.Failed()) return reader.Error("icon bitmap bits truncated");

    IconImage image;
    image.width = width;
    image.height = height;
    image.bitCount = bitCount;
    image.pixels.resize(size_t(width) * height);
    bool anyAlpha = false;
    for (int y = 0; y < height; ++y) {
        size_t stored = size_t(height - 1 - y);
        std::span<const uint8_t> row = xorBits.subspan(stored * xorStride, xorStride);
        for (int x = 0; x < width; ++x) {
            uint32_t pixel = DibPixel(row, x, bitCount, palette);
            anyAlpha |= bitCount == 32 && (pixel >> 24) != 0;
            image.pixels[size_t(y) * width + x] = pixel;
        }
    }
    // The mask decides transparency unless a 32-bit image has alpha of its own.
    bool maskDecides = !(bitCount == 32 && anyAlpha);
    for (int y = 0; y < height && maskDecides; ++y) {
        size_t stored = size_t(height - 1 - y);
        for (int x = 0; x < width; ++x) {
            uint32_t& pixel = image.pixels[size_t(y) * width + x];
            bool transparent = !andBits.empty() && (andBits[stored * andStride + x / 8] >> (7 - x % 8)) & 1;
            pixel = transparent ? pixel & 0x00FFFFFF : pixel | 0xFF000000u;
        }
    }
    return image;
}

}  // namespace winsim::ui::resources
