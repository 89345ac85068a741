// Icons: the group windres built from the test .ico, the choice of image by
// size, and the decoded pixels (the pattern make_test_icon.py draws).
#include <gtest/gtest.h>

#include <vector>

#include "TestResources.h"
#include "test_resources.h"
#include "ui/resources/icon_resource.h"
#include "ui/resources/module_resources.h"

namespace winsim::ui::resources {
namespace {

using testing::TestResource;

std::vector<IconGroupEntry> TestGroup()
{
    auto parsed = ParseIconGroup(TestResource(kIconGroup, IDI_TEST_ICON));
    EXPECT_TRUE(parsed) << parsed.Error().what;
    return parsed ? *parsed : std::vector<IconGroupEntry>{};
}

IconImage Decode(const IconGroupEntry& entry)
{
    auto parsed = DecodeIconImage(TestResource(kIconImage, entry.imageId));
    EXPECT_TRUE(parsed) << parsed.Error().what << " at " << parsed.Error().offset;
    return parsed ? *parsed : IconImage{};
}

TEST(IconGroup, ListsTheImagesOfTheIcoFile)
{
    std::vector<IconGroupEntry> group = TestGroup();
    ASSERT_EQ(group.size(), 2u);
    EXPECT_EQ(group[0].width, 16);
    EXPECT_EQ(group[0].height, 16);
    EXPECT_EQ(group[0].bitCount, 32);
    EXPECT_EQ(group[1].width, 32);
    EXPECT_EQ(group[1].bitCount, 4);
    EXPECT_EQ(group[1].colorCount, 16);
    EXPECT_NE(group[0].imageId, group[1].imageId);
    for (const IconGroupEntry& entry : group) {
        EXPECT_EQ(entry.bytesInRes, TestResource(kIconImage, entry.imageId).size());
    }
}

TEST(IconGroup, PicksTheClosestSize)
{
    std::vector<IconGroupEntry> group = TestGroup();
    EXPECT_EQ(PickIcon(group, 16, 16)->width, 16);
    EXPECT_EQ(PickIcon(group, 32, 32)->width, 32);
    EXPECT_EQ(PickIcon(group, 48, 48)->width, 32);
    EXPECT_EQ(PickIcon(group, 20, 20)->width, 16);
    EXPECT_EQ(PickIcon({}, 32, 32), nullptr);
}

TEST(IconGroup, PicksMoreColoursAtTheSameSize)
{
    std::vector<IconGroupEntry> group(3);
    group[0] = {32, 32, 16, 1, 4, 0, 1};
    group[1] = {32, 32, 0, 1, 32, 0, 2};
    group[2] = {32, 32, 0, 1, 8, 0, 3};
    EXPECT_EQ(PickIcon(group, 32, 32)->imageId, 2);
}

TEST(IconImage, ThirtyTwoBitImageKeepsItsColoursTopRowFirst)
{
    IconImage image = Decode(TestGroup().at(0));
    ASSERT_EQ(image.width, 16);
    ASSERT_EQ(image.height, 16);
    EXPECT_FALSE(image.png);
    ASSERT_EQ(image.pixels.size(), 256u);
    for (uint32_t y = 0; y < 16; ++y) {
        for (uint32_t x = 0; x < 16; ++x) {
            EXPECT_EQ(image.pixels[y * 16 + x], 0xFF000000u | (x * 16) << 16 | (y * 16) << 8 | 0x40) << x << "," << y;
        }
    }
}

TEST(IconImage, PalettedImageUsesItsPaletteAndMask)
{
    IconImage image = Decode(TestGroup().at(1));
    ASSERT_EQ(image.width, 32);
    ASSERT_EQ(image.height, 32);
    EXPECT_EQ(image.bitCount, 4);
    const uint32_t colours[4] = {0xFF000000, 0xFFFF0000, 0xFF00FF00, 0xFF0000FF};
    for (int y = 0; y < 32; ++y) {
        for (int x = 0; x < 32; ++x) {
            uint32_t expected = colours[(x / 8) % 4];
            if (x == 0 && y == 0) expected &= 0x00FFFFFF;  // the mask's one transparent pixel
            EXPECT_EQ(image.pixels[size_t(y) * 32 + x], expected) << x << "," << y;
        }
    }
}

TEST(IconImage, PngImageGivesItsSize)
{
    std::vector<uint8_t> png = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A, 0, 0, 0, 13, 'I', 'H', 'D', 'R',
                                0, 0, 1, 0, 0, 0, 0, 48, 8, 6, 0, 0, 0};
    auto parsed = DecodeIconImage(png);
    ASSERT_TRUE(parsed) << parsed.Error().what;
    EXPECT_TRUE(parsed->png);
    EXPECT_EQ(parsed->width, 256);
    EXPECT_EQ(parsed->height, 48);
    EXPECT_TRUE(parsed->pixels.empty());
    png[18] = 0x10;  // 4096 wide
    EXPECT_FALSE(DecodeIconImage(png));
}

TEST(IconImage, LoadedThroughTheModuleAtTheAskedSize)
{
    HMODULE module = reinterpret_cast<HMODULE>(0x7C000000);
    ASSERT_TRUE(RegisterModuleResources(module, TestResources()));
    auto large = LoadIconImage(module, MAKEINTRESOURCEA(IDI_TEST_ICON), 32, 32);
    auto small = LoadIconImage(module, MAKEINTRESOURCEA(IDI_TEST_ICON), 16, 16);
    auto missing = LoadIconImage(module, MAKEINTRESOURCEA(IDI_TEST_ICON + 1), 32, 32);
    UnregisterModuleResources(module);
    ASSERT_TRUE(large) << large.Error().what;
    EXPECT_EQ(large->width, 32);
    ASSERT_TRUE(small) << small.Error().what;
    EXPECT_EQ(small->width, 16);
    EXPECT_FALSE(missing);
}

TEST(IconMalformed, EveryTruncationOfTheImagesAndGroupIsRefused)
{
    for (const IconGroupEntry& entry : TestGroup()) {
        std::span<const uint8_t> bytes = TestResource(kIconImage, entry.imageId);
        for (size_t size = 0; size < bytes.size(); ++size) {
            std::vector<uint8_t> prefix(bytes.begin(), bytes.begin() + static_cast<ptrdiff_t>(size));
            auto parsed = DecodeIconImage(prefix);
            // A 32-bit image may lose its whole mask and still be drawn from its alpha.
            if (entry.bitCount == 32 && parsed) continue;
            EXPECT_FALSE(parsed) << entry.imageId << ": accepted " << size << " of " << bytes.size();
        }
    }
    std::span<const uint8_t> group = TestResource(kIconGroup, IDI_TEST_ICON);
    for (size_t size = 0; size < group.size(); ++size) {
        EXPECT_FALSE(ParseIconGroup(std::vector<uint8_t>(group.begin(), group.begin() + static_cast<ptrdiff_t>(size))));
    }
}

TEST(IconMalformed, SizesAndFormatsOutOfRangeAreRefused)
{
    std::span<const uint8_t> bytes = TestResource(kIconImage, TestGroup().at(1).imageId);
    std::vector<uint8_t> image(bytes.begin(), bytes.end());
    auto refused = [&](size_t at, std::vector<uint8_t> value) {
        std::vector<uint8_t> copy = image;
        std::copy(value.begin(), value.end(), copy.begin() + static_cast<ptrdiff_t>(at));
        return !DecodeIconImage(copy);
    };
    EXPECT_TRUE(refused(4, {0xFF, 0xFF, 0xFF, 0x7F}));  // width
    EXPECT_TRUE(refused(4, {0xF0, 0xFF, 0xFF, 0xFF}));  // negative width
    EXPECT_TRUE(refused(8, {0x41, 0, 0, 0}));           // odd doubled height
    EXPECT_TRUE(refused(8, {0xC0, 0xFF, 0xFF, 0xFF}));  // top-down
    EXPECT_TRUE(refused(14, {3, 0}));                   // 3 bits per pixel
    EXPECT_TRUE(refused(16, {1, 0, 0, 0}));             // RLE
    EXPECT_TRUE(refused(0, {12, 0, 0, 0}));             // core header
    EXPECT_FALSE(refused(0, {40, 0, 0, 0}));
}

}  // namespace
}  // namespace winsim::ui::resources
