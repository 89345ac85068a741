// Bitmaps from BITMAP resources: the header read as Windows reads it, pixel
// data that falls short refused, the pixels as the rows and colour table
// give them, each bitmap a GDI object of its program until deleted, also
// when a toolbar loaded it, and the toolbar's button images cut from it.
#include <commctrl.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "ui/gdi/bitmaps.h"
#include "ui/gdi/display_list.h"
#include "ui/resources/module_resources.h"
#include "ui_test.h"

namespace winsim::ui::test {
namespace {

using BitmapTest = UiTest;

const HMODULE kModule = reinterpret_cast<HMODULE>(0x7C100000);
constexpr uint16_t kBitmapId = 152;

void Put32(std::vector<uint8_t>* out, uint32_t value)
{
    for (int i = 0; i < 4; ++i) out->push_back(static_cast<uint8_t>(value >> (8 * i)));
}

void Put16(std::vector<uint8_t>* out, uint16_t value)
{
    out->push_back(static_cast<uint8_t>(value));
    out->push_back(static_cast<uint8_t>(value >> 8));
}

// A packed DIB as the resource compiler stores a .bmp: header, colour table, rows.
std::vector<uint8_t> Dib(int32_t width, int32_t height, uint16_t bits, size_t pixelBytes)
{
    std::vector<uint8_t> dib;
    Put32(&dib, 40);
    Put32(&dib, static_cast<uint32_t>(width));
    Put32(&dib, static_cast<uint32_t>(height));
    Put16(&dib, 1);
    Put16(&dib, bits);
    for (int i = 0; i < 6; ++i) Put32(&dib, 0);  // BI_RGB, sizes, resolution, all colours used, important
    if (bits <= 8) dib.resize(dib.size() + (4u << bits), 0);
    dib.resize(dib.size() + pixelBytes, 0x11);
    return dib;
}

// A .res file holding the one bitmap, after the empty entry every .res starts with.
std::vector<uint8_t> ResFile(const std::vector<uint8_t>& dib)
{
    std::vector<uint8_t> res;
    const auto entry = [&](uint16_t type, uint16_t name, const std::vector<uint8_t>& data) {
        Put32(&res, static_cast<uint32_t>(data.size()));
        Put32(&res, 32);
        Put16(&res, 0xFFFF);
        Put16(&res, type);
        Put16(&res, 0xFFFF);
        Put16(&res, name);
        Put32(&res, 0);       // data version
        Put16(&res, 0x1030);  // memory flags
        Put16(&res, 0x0409);  // US English
        Put32(&res, 0);
        Put32(&res, 0);
        res.insert(res.end(), data.begin(), data.end());
        res.resize((res.size() + 3) & ~size_t{3}, 0);
    };
    entry(0, 0, {});
    entry(2, kBitmapId, dib);
    return res;
}

HBITMAP LoadFrom(const std::vector<uint8_t>& dib)
{
    const std::vector<uint8_t> res = ResFile(dib);
    EXPECT_TRUE(resources::RegisterModuleResources(kModule, res));
    return LoadBitmapA(kModule, MAKEINTRESOURCEA(kBitmapId));
}

TEST_F(BitmapTest, ReadsTheHeaderAndBelongsToItsProgramUntilDeleted)
{
    HBITMAP bitmap = LoadFrom(Dib(160, 32, 4, 80 * 32));  // five 32 x 32 images, 4 bits a pixel
    ASSERT_NE(bitmap, nullptr);
    EXPECT_EQ(program_->gdiObjects.load(), 1);
    BITMAP info{};
    ASSERT_EQ(GetObjectA(bitmap, sizeof(info), &info), static_cast<int>(sizeof(info)));
    EXPECT_EQ(info.bmWidth, 160);
    EXPECT_EQ(info.bmHeight, 32);
    EXPECT_EQ(info.bmWidthBytes, 80);
    EXPECT_EQ(info.bmBitsPixel, 4);
    EXPECT_TRUE(DeleteObject(bitmap));
    EXPECT_FALSE(DeleteObject(bitmap));
    EXPECT_EQ(program_->gdiObjects.load(), 0);
    EXPECT_EQ(LoadBitmapA(kModule, MAKEINTRESOURCEA(kBitmapId + 1)), nullptr);  // no such resource
    resources::UnregisterModuleResources(kModule);
}

TEST_F(BitmapTest, HeadersThatPromiseMoreThanTheBytesHoldAreRefused)
{
    const struct {
        int32_t width;
        int32_t height;
        uint16_t bits;
        size_t pixelBytes;
    } kBad[] = {
        {160, 32, 4, 80 * 32 - 1},   // the last row short
        {160, -32, 4, 80 * 31},      // top-down, a row short
        {32, 32, 3, 4096},           // no such pixel format
        {0, 32, 4, 4096},            // no width
        {0x7000, 1, 32, 4096},       // one row larger than all that is given
    };
    for (const auto& bad : kBad) {
        SetLastError(0);
        EXPECT_EQ(LoadFrom(Dib(bad.width, bad.height, bad.bits, bad.pixelBytes)), nullptr) << bad.width;
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_DATA));
    }
    EXPECT_EQ(program_->gdiObjects.load(), 0);
    resources::UnregisterModuleResources(kModule);
}

TEST_F(BitmapTest, AToolbarDeletesTheBitmapItLoadedWhenItGoes)
{
    const std::vector<uint8_t> res = ResFile(Dib(160, 32, 4, 80 * 32));
    ASSERT_TRUE(resources::RegisterModuleResources(kModule, res));
    RegisterHandlerClass("BitmapFrame");
    HWND frame = CreateHandlerWindow("BitmapFrame", "Frame", WS_OVERLAPPEDWINDOW, nullptr, 0,
                                     [](HWND, UINT, WPARAM, LPARAM, LRESULT*) { return false; });
    HWND toolbar = CreateWindowExA(0, TOOLBARCLASSNAMEA, nullptr, WS_CHILD, 0, 0, 0, 0, frame, nullptr, nullptr,
                                   nullptr);
    const int64_t before = program_->gdiObjects.load();
    TBADDBITMAP add{kModule, kBitmapId};
    EXPECT_EQ(SendMessageA(toolbar, TB_ADDBITMAP, 5, reinterpret_cast<LPARAM>(&add)), 0);
    EXPECT_EQ(SendMessageA(toolbar, TB_ADDBITMAP, 5, reinterpret_cast<LPARAM>(&add)), 5);  // indexes follow on
    TBADDBITMAP missing{kModule, kBitmapId + 1};
    EXPECT_EQ(SendMessageA(toolbar, TB_ADDBITMAP, 1, reinterpret_cast<LPARAM>(&missing)), -1);
    EXPECT_EQ(program_->gdiObjects.load(), before + 2);
    DestroyWindow(frame);
    EXPECT_EQ(program_->gdiObjects.load(), before);
    resources::UnregisterModuleResources(kModule);
}

// A DIB whose rows are given: 24-bit colours 0xRRGGBB, or palette indexes
// (one a byte, 8 bits a pixel) with the palette given.
std::vector<uint8_t> DibOf(int32_t width, int32_t height, uint16_t bits, const std::vector<uint32_t>& palette,
                           const std::vector<std::vector<uint32_t>>& storedRows)
{
    std::vector<uint8_t> dib = Dib(width, height, bits, 0);
    dib.resize(40);
    const auto colours = static_cast<uint32_t>(palette.size());
    std::memcpy(&dib[32], &colours, sizeof(colours));  // colours used
    for (uint32_t colour : palette) Put32(&dib, colour);
    for (const std::vector<uint32_t>& row : storedRows) {
        const size_t start = dib.size();
        for (uint32_t value : row) {
            if (bits == 24) {
                dib.insert(dib.end(), {static_cast<uint8_t>(value), static_cast<uint8_t>(value >> 8),
                                       static_cast<uint8_t>(value >> 16)});
            } else if (bits == 16) {
                Put16(&dib, static_cast<uint16_t>(value));
            } else {
                dib.push_back(static_cast<uint8_t>(value));
            }
        }
        dib.resize(start + ((dib.size() - start + 3) & ~size_t{3}), 0);
    }
    return dib;
}

std::vector<uint32_t> PixelsOf(HBITMAP bitmap)
{
    const std::shared_ptr<const IconPixels> pixels = BitmapPixelsOf(bitmap);
    return pixels != nullptr ? pixels->argb : std::vector<uint32_t>{};
}

TEST_F(BitmapTest, PixelsComeTopRowFirstFromBottomUpAndTopDownRowsAndTheColourTable)
{
    // Bottom-up 24-bit rows: the first stored row is the picture's last.
    HBITMAP bottomUp = LoadFrom(DibOf(2, 2, 24, {}, {{0x0000FF, 0x00FF00}, {0xFF0000, 0xFFFFFF}}));
    EXPECT_EQ(PixelsOf(bottomUp), (std::vector<uint32_t>{0xFFFF0000, 0xFFFFFFFF, 0xFF0000FF, 0xFF00FF00}));
    DeleteObject(bottomUp);
    resources::UnregisterModuleResources(kModule);
    // Top-down palette indexes.
    HBITMAP topDown = LoadFrom(DibOf(3, -1, 8, {0x000000, 0xC0C0C0, 0x123456, 0x0000FF}, {{2, 0, 1}}));
    EXPECT_EQ(PixelsOf(topDown), (std::vector<uint32_t>{0xFF123456, 0xFF000000, 0xFFC0C0C0}));
    DeleteObject(topDown);
    resources::UnregisterModuleResources(kModule);
    // 16 bits a pixel without masks: five bits each of red, green and blue.
    HBITMAP high = LoadFrom(DibOf(2, 1, 16, {}, {{0x7C00, 0x001F}}));
    EXPECT_EQ(PixelsOf(high), (std::vector<uint32_t>{0xFFFF0000, 0xFF0000FF}));
    DeleteObject(high);
    EXPECT_TRUE(PixelsOf(high).empty());
    resources::UnregisterModuleResources(kModule);
}

TEST_F(BitmapTest, AToolbarDrawsEachButtonsImageFromItsBitmapAndGraysADisabledOne)
{
    // Two images of 2 x 1: red on the toolbar gray, and blue.
    const std::vector<uint8_t> res = ResFile(DibOf(4, 1, 24, {}, {{0xFF0000, 0xC0C0C0, 0x0000FF, 0x0000FF}}));
    ASSERT_TRUE(resources::RegisterModuleResources(kModule, res));
    RegisterHandlerClass("BitmapFrame");
    HWND frame = CreateHandlerWindow("BitmapFrame", "Frame", WS_OVERLAPPEDWINDOW | WS_VISIBLE, nullptr, 0,
                                     [](HWND, UINT, WPARAM, LPARAM, LRESULT*) { return false; });
    HWND toolbar = CreateWindowExA(0, TOOLBARCLASSNAMEA, nullptr, WS_CHILD | WS_VISIBLE, 0, 0, 0, 0, frame, nullptr,
                                   nullptr, nullptr);
    SendMessageA(toolbar, TB_BUTTONSTRUCTSIZE, sizeof(TBBUTTON), 0);
    SendMessageA(toolbar, TB_SETBITMAPSIZE, 0, MAKELONG(2, 1));
    TBADDBITMAP add{kModule, kBitmapId};
    ASSERT_EQ(SendMessageA(toolbar, TB_ADDBITMAP, 2, reinterpret_cast<LPARAM>(&add)), 0);
    const TBBUTTON buttons[] = {
        {0, 10, TBSTATE_ENABLED, TBSTYLE_BUTTON, {}, 0, 0},
        {1, 11, 0, TBSTYLE_BUTTON, {}, 0, 0},
        {5, 12, TBSTATE_ENABLED, TBSTYLE_BUTTON, {}, 0, 0},  // no such image: nothing drawn
    };
    SendMessageA(toolbar, TB_ADDBUTTONSA, 3, reinterpret_cast<LPARAM>(buttons));
    UpdateWindow(toolbar);
    std::vector<DisplayItem> images;
    for (const DisplayItem& item : DisplayListOf(toolbar)) {
        if (item.kind == DisplayItem::Kind::kImage) images.push_back(item);
    }
    ASSERT_EQ(images.size(), 2u);
    RECT first{};
    SendMessageA(toolbar, TB_GETRECT, 10, reinterpret_cast<LPARAM>(&first));
    // Centred on its button; the gray is left to the button's face.
    EXPECT_EQ(images[0].rect.left, first.left + (first.right - first.left - 2) / 2);
    EXPECT_EQ(images[0].rect.right - images[0].rect.left, 2);
    EXPECT_EQ(images[0].image->argb, (std::vector<uint32_t>{0xFFFF0000, 0x00000000}));
    const uint32_t grayed = images[1].image->argb[0];
    EXPECT_EQ(grayed >> 16 & 0xFF, grayed & 0xFF);  // no colour left of the blue
    EXPECT_EQ(grayed >> 8 & 0xFF, grayed & 0xFF);
    EXPECT_GT(grayed & 0xFF, 0x80u);

    SendMessageA(toolbar, TB_ENABLEBUTTON, 11, MAKELONG(TRUE, 0));
    UpdateWindow(toolbar);
    for (const DisplayItem& item : DisplayListOf(toolbar)) {
        if (item.kind == DisplayItem::Kind::kImage && item.rect.left > first.right) {
            EXPECT_EQ(item.image->argb, (std::vector<uint32_t>{0xFF0000FF, 0xFF0000FF}));
        }
    }
    DestroyWindow(frame);
    resources::UnregisterModuleResources(kModule);
}

}  // namespace
}  // namespace winsim::ui::test
