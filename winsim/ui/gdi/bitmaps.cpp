#include "ui/gdi/bitmaps.h"

#include <cstdint>
#include <cstring>
#include <map>
#include <mutex>
#include <span>

#include "ui/program.h"
#include "ui/resources/byte_reader.h"

using namespace winsim::ui;

namespace {

constexpr uint32_t kCoreHeaderSize = 12;  // BITMAPCOREHEADER
constexpr uint32_t kInfoHeaderSize = 40;  // BITMAPINFOHEADER and its later, longer forms
constexpr uint32_t kRgb = 0;
constexpr uint32_t kBitFields = 3;

struct Bitmap {
    Program* program;
    BITMAP info;
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

// The header of a packed DIB, checked against the bytes that follow it: the
// colour table and every row must be there.
bool ParseDib(std::span<const uint8_t> bytes, BITMAP* out)
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
    *out = BITMAP{0, static_cast<LONG>(width), static_cast<LONG>(rows), static_cast<LONG>(stride), 1, bits, nullptr};
    return true;
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
    BITMAP info{};
    if (data == nullptr || !ParseDib(std::span<const uint8_t>(data, size), &info)) {
        SetLastError(ERROR_INVALID_DATA);
        return nullptr;
    }
    Program& program = CurrentProgram();
    std::lock_guard<std::mutex> guard(Table().lock);
    auto handle = reinterpret_cast<HGDIOBJ>(Table().next);
    Table().next += 4;
    Table().bitmaps.emplace(handle, Bitmap{&program, info});
    program.gdiObjects++;
    return static_cast<HBITMAP>(handle);
}

}  // extern "C"
