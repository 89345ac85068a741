// Icons keep the pixels of the resource image they were loaded from, which
// the picture renderer draws; copies and image lists share them, and what has
// no decoded image (the system's icons) has none.
#include "TestResources.h"
#include "test_resource_ids.h"
#include "ui/gdi/icons.h"
#include "ui/gdi/image_lists.h"
#include "ui/resources/module_resources.h"
#include "ui_test.h"

namespace winsim::ui::test {
namespace {

const HMODULE kModule = reinterpret_cast<HMODULE>(0x7b110000);

class IconPixelsTest : public UiTest {
protected:
    void SetUp() override
    {
        UiTest::SetUp();
        ASSERT_TRUE(resources::RegisterModuleResources(kModule, TestResources()));
    }
    void TearDown() override
    {
        resources::UnregisterModuleResources(kModule);
        UiTest::TearDown();
    }
};

TEST_F(IconPixelsTest, ALoadedIconHoldsItsImagesPixelsTopRowFirst)
{
    auto icon = static_cast<HICON>(LoadImageA(kModule, MAKEINTRESOURCEA(IDI_TEST_ICON), IMAGE_ICON, 16, 16, 0));
    ASSERT_NE(icon, nullptr);
    std::shared_ptr<const IconPixels> pixels = PixelsOf(icon);
    ASSERT_NE(pixels, nullptr);
    ASSERT_EQ(pixels->width, 16);
    ASSERT_EQ(pixels->height, 16);
    ASSERT_EQ(pixels->argb.size(), 256u);
    // make_test_icon.py: red grows to the right, green downwards.
    EXPECT_EQ(pixels->argb[0], 0xFF000040u);
    EXPECT_EQ(pixels->argb[2 * 16 + 3], 0xFF000000u | (3 * 16) << 16 | (2 * 16) << 8 | 0x40);

    HICON copy = CopyIcon(icon);
    EXPECT_EQ(PixelsOf(copy), pixels);
    EXPECT_TRUE(DestroyIcon(copy));
    EXPECT_TRUE(DestroyIcon(icon));
    EXPECT_EQ(PixelsOf(icon), nullptr);
}

TEST_F(IconPixelsTest, SharedIconsHaveTheirImageSystemIconsNone)
{
    HICON shared = LoadIconA(kModule, MAKEINTRESOURCEA(IDI_TEST_ICON));
    ASSERT_NE(shared, nullptr);
    std::shared_ptr<const IconPixels> pixels = PixelsOf(shared);
    ASSERT_NE(pixels, nullptr);
    EXPECT_EQ(pixels->width, 32);
    EXPECT_EQ(PixelsOf(LoadIconA(nullptr, IDI_APPLICATION)), nullptr);
}

TEST_F(IconPixelsTest, AnImageListKeepsThePixelsOfTheIconsCopiedIntoIt)
{
    HIMAGELIST list = ImageList_Create(16, 16, ILC_COLOR32 | ILC_MASK, 2, 0);
    auto icon = static_cast<HICON>(LoadImageA(kModule, MAKEINTRESOURCEA(IDI_TEST_ICON), IMAGE_ICON, 16, 16, 0));
    ASSERT_EQ(ImageList_AddIcon(list, icon), 0);
    ASSERT_EQ(ImageList_AddIcon(list, LoadIconA(nullptr, IDI_APPLICATION)), 1);
    const std::shared_ptr<const IconPixels> pixels = PixelsOf(icon);
    EXPECT_TRUE(DestroyIcon(icon));  // the list keeps its copy
    ASSERT_NE(ImagePixelsOf(list, 0), nullptr);
    EXPECT_EQ(ImagePixelsOf(list, 0), pixels);
    EXPECT_EQ(ImagePixelsOf(list, 1), nullptr);  // a system icon's are not known
    EXPECT_EQ(ImagePixelsOf(list, 2), nullptr);

    // Removing the first moves the second into its place.
    EXPECT_TRUE(ImageList_Remove(list, 0));
    EXPECT_EQ(ImageList_GetImageCount(list), 1);
    EXPECT_EQ(ImagePixelsOf(list, 0), nullptr);
    EXPECT_TRUE(ImageList_Destroy(list));
    EXPECT_EQ(ImagePixelsOf(list, 0), nullptr);
}

}  // namespace
}  // namespace winsim::ui::test
