#include "ui/gdi/bitmaps.h"

#include <cstdint>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <span>
#include <vector>

#include "ui/program.h"
#include "ui/resources/byte_reader.h"
#include "ui/resources/dib_pixels.h"

using namespace winsim::ui;

namespace {

constexpr uint32_t kCoreHeaderSize = 12;  // BITMAPCOREHEADER
constexpr uint32_t kInfoHeaderSize = 40;  // BITMAPINFOHEADER and its later, longer forms
constexpr uint32_t kRgb = 0;
constexpr uint32_t kBitFields = 3;

struct Bitmap {
    Program* program;
    BITMAP info;
    std::shared_ptr<const IconPixels> pixels;
};

struct BitmapTable {
    std::mutex lock;
    std::map<HGDIOBJ, Bitmap> bitmaps;
    ULONG_PTR next = 0x50010;
};

BitmapTable& Table()
{
    static BitmapTable table;
    return table;
}

// A packed DIB's header, checked against the bytes that follow it: the
// colour table and every row must be there.
struct Dib {
    BITMAP info{};
    uint32_t headerSize = 0;
    uint32_t compression = kRgb;
    uint64_t colors = 0;
    uint64_t entrySize = 4;
    bool topDown = false;
};

bool ParseDib(std::span<const uint8_t> bytes, Dib* out)
{
    resources::ByteReader reader(bytes);
    const uint32_t headerSize = reader.U32();
    int64_t width = 0;
    int64_t height = 0;
    uint16_t planes = 0;
    uint16_t bits = 0;
    uint32_t compression = kRgb;
    uint32_t colorsUsed = 0;
    if (headerSize == kCoreHeaderSize) {
        width = reader.U16();
        height = reader.U16();
        planes = reader.U16();
        bits = reader.U16();
    } else if (headerSize >= kInfoHeaderSize) {
        width = static_cast<int32_t>(reader.U32());
        height = static_cast<int32_t>(reader.U32());
        planes = reader.U16();
        bits = reader.U16();
        compression = reader.U32();
        reader.Bytes(12);  // image size, resolution
        colorsUsed = reader.U32();
    } else {
        return false;
    }
    if (reader.Failed() || planes != 1 || width <= 0 || height == 0 || width > 0x8000 || height > 0x8000 ||
        height < -0x8000) {
        return false;
    }
    if (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32) return false;
    if (compression != kRgb && !(compression == kBitFields && (bits == 16 || bits == 32))) return false;
    const uint64_t entrySize = headerSize == kCoreHeaderSize ? 3 : 4;
    uint64_t colors = colorsUsed != 0 ? colorsUsed : (bits <= 8 ? (1u << bits) : 0);
    if (bits <= 8 && colors > (1u << bits)) return false;
    const uint64_t masks = compression == kBitFields && headerSize == kInfoHeaderSize ? 12 : 0;
    const uint64_t stride = ((static_cast<uint64_t>(width) * bits + 31) / 32) * 4;
    const uint64_t rows = static_cast<uint64_t>(height < 0 ? -height : height);
    if (headerSize + masks + colors * entrySize + stride * rows > bytes.size()) return false;
    out->info = BITMAP{0, static_cast<LONG>(width), static_cast<LONG>(rows), static_cast<LONG>(stride), 1, bits, nullptr};
    out->headerSize = headerSize;
    out->compression = compression;
    out->colors = colors;
    out->entrySize = entrySize;
    out->topDown = height < 0;
    return true;
}

uint32_t Le(std::span<const uint8_t> bytes, size_t at, size_t size)
{
    uint32_t value = 0;
    for (size_t i = size; i-- > 0;) value = value << 8 | bytes[at + i];
    return value;
}

// One channel of a 16- or 32-bit pixel under its mask, scaled to 0..255.
uint32_t Channel(uint32_t pixel, uint32_t mask)
{
    if (mask == 0) return 0;
    int shift = 0;
    while (!(mask >> shift & 1)) ++shift;
    const uint32_t top = mask >> shift;
    return ((pixel & mask) >> shift) * 255 / top;
}

// The pixels of a DIB ParseDib accepted, top row first; opaque unless
// 32-bit rows without masks carry an alpha of their own.
IconPixels PixelsOfDib(std::span<const uint8_t> bytes, const Dib& dib)
{
    const int width = dib.info.bmWidth;
    const int height = dib.info.bmHeight;
    const uint16_t bits = dib.info.bmBitsPixel;
    size_t at = dib.headerSize;
    // 16-bit rows without masks are 5-5-5; 32-bit ones BGRA.
    uint32_t masks[3] = {0x7C00, 0x03E0, 0x001F};
    if (dib.compression == kBitFields) {
        // After a BITMAPINFOHEADER; inside the longer headers, at the same place.
        for (size_t i = 0; i < 3; ++i) masks[i] = Le(bytes, kInfoHeaderSize + 4 * i, 4);
        if (dib.headerSize == kInfoHeaderSize) at += 12;
    }
    std::vector<uint32_t> palette;
    for (uint64_t i = 0; i < dib.colors && bits <= 8; ++i, at += dib.entrySize) {
        palette.push_back(Le(bytes, at, 3));
    }
    IconPixels pixels;
    pixels.width = width;
    pixels.height = height;
    pixels.argb.resize(static_cast<size_t>(width) * static_cast<size_t>(height));
    const auto stride = static_cast<size_t>(dib.info.bmWidthBytes);
    bool anyAlpha = false;
    for (int y = 0; y < height; ++y) {
        const size_t stored = static_cast<size_t>(dib.topDown ? y : height - 1 - y);
        const std::span<const uint8_t> row = bytes.subspan(at + stored * stride, stride);
        for (int x = 0; x < width; ++x) {
            uint32_t pixel = 0;
            if (bits == 16 || dib.compression == kBitFields) {
                const uint32_t value = Le(row, static_cast<size_t>(x) * bits / 8, bits / 8u);
                pixel = 0xFF000000u | Channel(value, masks[0]) << 16 | Channel(value, masks[1]) << 8 |
                        Channel(value, masks[2]);
            } else {
                pixel = resources::DibPixel(row, x, bits, palette);
                anyAlpha |= bits == 32 && (pixel >> 24) != 0;
            }
            pixels.argb[static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x)] = pixel;
        }
    }
    // A 32-bit bitmap whose alpha bytes are all zero is opaque, as GDI draws it.
    if (bits == 32 && dib.compression == kRgb && !anyAlpha) {
        for (uint32_t& pixel : pixels.argb) pixel |= 0xFF000000u;
    }
    return pixels;
}

}  // namespace

namespace winsim::ui {

bool BitmapInfoOf(HGDIOBJ object, BITMAP* out)
{
    std::lock_guard<std::mutex> guard(Table().lock);
    auto it = Table().bitmaps.find(object);
    if (it == Table().bitmaps.end()) return false;
    *out = it->second.info;
    return true;
}

std::shared_ptr<const IconPixels> BitmapPixelsOf(HGDIOBJ object)
{
    std::lock_guard<std::mutex> guard(Table().lock);
    auto it = Table().bitmaps.find(object);
    return it == Table().bitmaps.end() ? nullptr : it->second.pixels;
}

bool DeleteBitmap(HGDIOBJ object)
{
    std::lock_guard<std::mutex> guard(Table().lock);
    auto it = Table().bitmaps.find(object);
    if (it == Table().bitmaps.end()) return false;
    it->second.program->gdiObjects--;
    Table().bitmaps.erase(it);
    return true;
}

}  // namespace winsim::ui

extern "C" {

HBITMAP WINAPI LoadBitmapA(HINSTANCE hInstance, LPCSTR lpBitmapName)
{
    HRSRC found = FindResourceA(hInstance, lpBitmapName, RT_BITMAP);
    if (found == nullptr) return nullptr;
    const auto* data = static_cast<const uint8_t*>(LockResource(LoadResource(hInstance, found)));
    const DWORD size = SizeofResource(hInstance, found);
    Dib dib;
    const std::span<const uint8_t> bytes(data, data != nullptr ? size : 0);
    if (data == nullptr || !ParseDib(bytes, &dib)) {
        SetLastError(ERROR_INVALID_DATA);
        return nullptr;
    }
    auto pixels = std::make_shared<const IconPixels>(PixelsOfDib(bytes, dib));
    Program& program = CurrentProgram();
    std::lock_guard<std::mutex> guard(Table().lock);
    auto handle = reinterpret_cast<HGDIOBJ>(Table().next);
    Table().next += 4;
    Table().bitmaps.emplace(handle, Bitmap{&program, dib.info, std::move(pixels)});
    program.gdiObjects++;
    return static_cast<HBITMAP>(handle);
}

}  // extern "C"
