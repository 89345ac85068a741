// Menu templates compiled by windres (MENU and MENUEX) read back as one tree
// with MFT_/MFS_ flags; malformed templates are refused.
#include <gtest/gtest.h>

#include <vector>

#include "test_resources.h"
#include "ui/resources/menu_template.h"

namespace winsim::ui::resources {
namespace {

using testing::TestResource;

constexpr uint32_t kMftRadioCheck = 0x200, kMfsDefault = 0x1000;

MenuTemplate Parse(uint16_t name)
{
    auto parsed = ParseMenuTemplate(TestResource(kMenu, name));
    EXPECT_TRUE(parsed) << parsed.Error().what << " at " << parsed.Error().offset;
    return parsed ? *parsed : MenuTemplate{};
}

TEST(MenuTemplate, PopupsHoldTheirItemsWithIdsAndText)
{
    MenuTemplate menu = Parse(IDR_MAIN_MENU);
    EXPECT_FALSE(menu.extended);
    ASSERT_EQ(menu.items.size(), 2u);
    const MenuItem& file = menu.items[0];
    EXPECT_TRUE(file.popup);
    EXPECT_EQ(file.text, u"&File");
    ASSERT_EQ(file.items.size(), 3u);
    EXPECT_EQ(file.items[0].text, u"&Save...\tCtrl+S");
    EXPECT_EQ(file.items[0].id, ID_FILE_SAVE);
    EXPECT_FALSE(file.items[0].popup);
    EXPECT_FALSE(file.items[0].IsSeparator());
    EXPECT_TRUE(file.items[1].IsSeparator());
    EXPECT_EQ(file.items[2].id, ID_FILE_EXIT);
    EXPECT_EQ(menu.items[1].text, u"&View");
}

TEST(MenuTemplate, CheckedGrayedAndNestedPopups)
{
    MenuTemplate menu = Parse(IDR_MAIN_MENU);
    ASSERT_EQ(menu.items.size(), 2u);
    const std::vector<MenuItem>& view = menu.items[1].items;
    ASSERT_EQ(view.size(), 3u);
    EXPECT_TRUE(view[0].IsChecked());
    EXPECT_FALSE(view[0].IsGrayed());
    EXPECT_TRUE(view[1].IsGrayed());
    EXPECT_FALSE(view[1].IsChecked());
    EXPECT_EQ(view[1].id, ID_VIEW_DISABLED);
    ASSERT_TRUE(view[2].popup);
    ASSERT_EQ(view[2].items.size(), 1u);
    EXPECT_EQ(view[2].items[0].text, u"Deep");
    EXPECT_EQ(view[2].items[0].id, ID_VIEW_DEEP);
    EXPECT_FALSE(menu.items[0].items[0].IsChecked());
    EXPECT_FALSE(menu.items[0].items[0].IsGrayed());
}

TEST(MenuTemplateEx, ItemsKeepTypeStateIdsAndPopupHelpId)
{
    MenuTemplate menu = Parse(IDR_EX_MENU);
    EXPECT_TRUE(menu.extended);
    ASSERT_EQ(menu.items.size(), 1u);
    const MenuItem& window = menu.items[0];
    EXPECT_TRUE(window.popup);
    EXPECT_EQ(window.text, u"&Window");
    EXPECT_EQ(window.id, ID_WINDOW_POPUP);
    EXPECT_EQ(window.helpId, 77u);
    ASSERT_EQ(window.items.size(), 3u);
    EXPECT_EQ(window.items[0].id, ID_WINDOW_CASCADE);
    EXPECT_TRUE(window.items[0].IsChecked());
    EXPECT_TRUE(window.items[1].IsSeparator());
    EXPECT_EQ(window.items[2].text, u"&Tile");
    EXPECT_TRUE(window.items[2].IsGrayed());
    EXPECT_EQ(window.items[2].type, kMftRadioCheck);
    EXPECT_TRUE(window.items[2].state & kMfsDefault);
}

TEST(MenuTemplateMalformed, EveryTruncationOfACompiledMenuIsRefused)
{
    for (uint16_t name : {IDR_MAIN_MENU, IDR_EX_MENU}) {
        std::span<const uint8_t> bytes = TestResource(kMenu, name);
        for (size_t size = 0; size < bytes.size(); ++size) {
            // The header alone is an empty menu.
            if (size == (name == IDR_EX_MENU ? 8u : 4u)) continue;
            std::vector<uint8_t> prefix(bytes.begin(), bytes.begin() + static_cast<ptrdiff_t>(size));
            EXPECT_FALSE(ParseMenuTemplate(prefix)) << name << ": accepted " << size << " of " << bytes.size();
        }
    }
}

TEST(MenuTemplateMalformed, EndlessNestingIsRefused)
{
    std::vector<uint8_t> menu = {0, 0, 0, 0};
    for (int depth = 0; depth < 1000; ++depth) menu.insert(menu.end(), {0x90, 0, 'P', 0, 0, 0});  // POPUP|END "P"
    auto parsed = ParseMenuTemplate(menu);
    ASSERT_FALSE(parsed);
    EXPECT_EQ(parsed.Error().what, "menu nested too deep");
}

TEST(MenuTemplateMalformed, UnknownVersionAndHeaderPastEndAreRefused)
{
    EXPECT_FALSE(ParseMenuTemplate(std::vector<uint8_t>{2, 0, 0, 0, 0x80, 0, 1, 0, 0, 0}));
    EXPECT_FALSE(ParseMenuTemplate(std::vector<uint8_t>{1, 0, 0xF0, 0, 0, 0, 0, 0}));
}

}  // namespace
}  // namespace winsim::ui::resources
