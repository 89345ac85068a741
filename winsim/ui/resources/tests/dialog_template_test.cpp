// Dialog templates compiled by windres read back with the values of the .rc:
// DIALOGEX (DLGTEMPLATEEX) with every control kind, and an old DIALOG.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "test_resources.h"
#include "ui/resources/dialog_template.h"

namespace winsim::ui::resources {
namespace {

using testing::TestResource;

// Styles as winuser.h and commctrl.h define them.
constexpr uint32_t kWsPopup = 0x80000000, kWsCaption = 0x00C00000, kWsSysMenu = 0x00080000;
constexpr uint32_t kWsChild = 0x40000000, kWsVisible = 0x10000000, kWsTabStop = 0x00010000;
constexpr uint32_t kWsGroup = 0x00020000, kWsBorder = 0x00800000, kWsVScroll = 0x00200000;
constexpr uint32_t kDsSetFont = 0x40, kDsModalFrame = 0x80, kDsFixedSys = 0x08;
constexpr uint32_t kWsExAppWindow = 0x40000, kWsExClientEdge = 0x200;
constexpr uint32_t kSsIcon = 0x03, kSsNotify = 0x100, kSsCenter = 0x01;
constexpr uint32_t kBsDefPushButton = 0x01, kBsCheckBox = 0x02, kBsAutoCheckBox = 0x03, kBsAutoRadioButton = 0x09;
constexpr uint32_t kBsAuto3State = 0x06, kBsGroupBox = 0x07;
constexpr uint32_t kEsMultiline = 0x04, kEsReadOnly = 0x800, kLbsUseTabStops = 0x80, kWsHScroll = 0x00100000;
constexpr uint32_t kCbsDropDownList = 0x03, kCbsOwnerDrawFixed = 0x10, kCbsHasStrings = 0x200, kTvsHasLines = 0x02;

DialogTemplate EveryControl()
{
    auto parsed = ParseDialogTemplate(TestResource(kDialog, IDD_EVERY_CONTROL));
    EXPECT_TRUE(parsed) << parsed.Error().what << " at " << parsed.Error().offset;
    return parsed ? *parsed : DialogTemplate{};
}

const DialogItem& Item(const DialogTemplate& dialog, uint32_t id)
{
    for (const DialogItem& item : dialog.items) {
        if (item.id == id) return item;
    }
    ADD_FAILURE() << "no item " << id;
    static const DialogItem none;
    return none;
}

TEST(DialogTemplateEx, HeaderHasTheStylesRectangleMenuCaptionAndFont)
{
    DialogTemplate dialog = EveryControl();
    EXPECT_TRUE(dialog.extended);
    EXPECT_EQ(dialog.style, kDsSetFont | kDsModalFrame | kDsFixedSys | kWsPopup | kWsCaption | kWsSysMenu);
    EXPECT_EQ(dialog.exStyle, kWsExAppWindow);
    EXPECT_EQ(dialog.x, 10);
    EXPECT_EQ(dialog.y, 20);
    EXPECT_EQ(dialog.cx, 240);
    EXPECT_EQ(dialog.cy, 180);
    ASSERT_TRUE(dialog.menu.has_value());
    EXPECT_TRUE(dialog.menu->IsOrdinal());
    EXPECT_EQ(dialog.menu->Ordinal(), IDR_MAIN_MENU);
    EXPECT_FALSE(dialog.windowClass.has_value());
    EXPECT_EQ(dialog.title, u"Every control");
    ASSERT_TRUE(dialog.font.has_value());
    EXPECT_EQ(dialog.font->pointSize, 8);
    EXPECT_EQ(dialog.font->weight, 400);
    EXPECT_FALSE(dialog.font->italic);
    EXPECT_EQ(dialog.font->charset, 1);
    EXPECT_EQ(dialog.font->face, u"MS Shell Dlg");
}

TEST(DialogTemplateEx, ItemsComeInTemplateOrderWithTheirIds)
{
    DialogTemplate dialog = EveryControl();
    std::vector<uint32_t> ids;
    for (const DialogItem& item : dialog.items) ids.push_back(item.id);
    EXPECT_EQ(ids, (std::vector<uint32_t>{IDC_ICON_STATIC, IDC_TEXT_STATIC, IDC_NOTIFY_STATIC, IDC_PUSH, IDC_DEFPUSH,
                                          IDC_CHECK, IDC_AUTOCHECK, IDC_THREE_STATE, IDC_RADIO_A, IDC_RADIO_B,
                                          IDC_GROUP, IDC_EDIT, IDC_LIST, IDC_COMBO, IDC_TABS, IDC_TREE,
                                          IDC_PROGRESS}));
    for (const DialogItem& item : dialog.items) {
        EXPECT_EQ(item.style & (kWsChild | kWsVisible), kWsChild | kWsVisible) << item.id;
    }
}

TEST(DialogTemplateEx, IconStaticNamesItsIconByOrdinal)
{
    DialogTemplate dialog = EveryControl();
    const DialogItem& icon = Item(dialog, IDC_ICON_STATIC);
    EXPECT_EQ(icon.ClassName(), u"Static");
    EXPECT_EQ(icon.style & 0x1F, kSsIcon);
    ASSERT_TRUE(icon.title.IsOrdinal());
    EXPECT_EQ(icon.title.Ordinal(), IDI_TEST_ICON);
    EXPECT_EQ(icon.x, 7);
    EXPECT_EQ(icon.y, 7);  // windres writes no size for ICON: the icon sizes the control
}

TEST(DialogTemplateEx, StaticsAndButtonsHaveTheirClassTextAndKind)
{
    DialogTemplate dialog = EveryControl();
    struct Expected {
        uint32_t id;
        const char16_t* className;
        const char16_t* text;
        uint32_t kind;
    };
    for (const Expected& e : {Expected{IDC_TEXT_STATIC, u"Static", u"Port:", 0},
                              Expected{IDC_PUSH, u"Button", u"&Apply", 0},
                              Expected{IDC_DEFPUSH, u"Button", u"OK", kBsDefPushButton},
                              Expected{IDC_CHECK, u"Button", u"Check", kBsCheckBox},
                              Expected{IDC_AUTOCHECK, u"Button", u"Auto", kBsAutoCheckBox},
                              Expected{IDC_THREE_STATE, u"Button", u"Three", kBsAuto3State},
                              Expected{IDC_RADIO_A, u"Button", u"A", kBsAutoRadioButton},
                              Expected{IDC_GROUP, u"Button", u"Group", kBsGroupBox}}) {
        const DialogItem& item = Item(dialog, e.id);
        EXPECT_EQ(item.ClassName(), e.className) << e.id;
        ASSERT_FALSE(item.title.IsOrdinal()) << e.id;
        EXPECT_EQ(item.title.Name(), e.text) << e.id;
        EXPECT_EQ(item.style & 0x0F, e.kind) << e.id;
    }
    EXPECT_TRUE(Item(dialog, IDC_NOTIFY_STATIC).style & kSsNotify);
    EXPECT_TRUE(Item(dialog, IDC_RADIO_A).style & kWsGroup);
    EXPECT_FALSE(Item(dialog, IDC_RADIO_B).style & kWsGroup);
}

TEST(DialogTemplateEx, EditListAndComboKeepStylesExStyleAndHelpId)
{
    DialogTemplate dialog = EveryControl();
    const DialogItem& edit = Item(dialog, IDC_EDIT);
    EXPECT_EQ(edit.ClassName(), u"Edit");
    EXPECT_EQ(edit.style & (kEsMultiline | kEsReadOnly | kWsVScroll), kEsMultiline | kEsReadOnly | kWsVScroll);
    EXPECT_EQ(edit.exStyle, kWsExClientEdge);
    EXPECT_EQ(edit.helpId, 0x1234u);
    EXPECT_EQ(edit.title.Name(), u"");

    const DialogItem& list = Item(dialog, IDC_LIST);
    EXPECT_EQ(list.ClassName(), u"ListBox");
    EXPECT_EQ(list.style & (kLbsUseTabStops | kWsHScroll), kLbsUseTabStops | kWsHScroll);

    const DialogItem& combo = Item(dialog, IDC_COMBO);
    EXPECT_EQ(combo.ClassName(), u"ComboBox");
    EXPECT_EQ(combo.style & 0x3FF, kCbsDropDownList | kCbsOwnerDrawFixed | kCbsHasStrings);
    EXPECT_EQ(combo.cy, 80);
}

// windres upper-cases the class names of CONTROL statements; window classes
// are found without regard to case.
TEST(DialogTemplateEx, CommonControlsAreNamedByTheirClassStrings)
{
    DialogTemplate dialog = EveryControl();
    EXPECT_EQ(Item(dialog, IDC_TABS).windowClass, ResourceId::FromName(u"SysTabControl32"));
    const DialogItem& tree = Item(dialog, IDC_TREE);
    EXPECT_EQ(tree.windowClass, ResourceId::FromName(u"SysTreeView32"));
    EXPECT_FALSE(tree.windowClass.IsOrdinal());
    EXPECT_EQ(tree.title.Name(), u"Tree");
    EXPECT_EQ(tree.style & (kTvsHasLines | kWsBorder), kTvsHasLines | kWsBorder);
    EXPECT_EQ(Item(dialog, IDC_PROGRESS).windowClass, ResourceId::FromName(u"msctls_progress32"));
    EXPECT_EQ(Item(dialog, IDC_PROGRESS).cy, 10);
}

TEST(DialogTemplate, OldLayoutHasFontFaceAndWordIds)
{
    auto parsed = ParseDialogTemplate(TestResource(kDialog, IDD_CLASSIC));
    ASSERT_TRUE(parsed) << parsed.Error().what;
    EXPECT_FALSE(parsed->extended);
    EXPECT_EQ(parsed->style, kDsSetFont | kWsPopup | kWsCaption);
    EXPECT_EQ(parsed->title, u"Classic");
    EXPECT_FALSE(parsed->menu.has_value());
    ASSERT_TRUE(parsed->font.has_value());
    EXPECT_EQ(parsed->font->pointSize, 8);
    EXPECT_EQ(parsed->font->face, u"MS Sans Serif");
    EXPECT_EQ(parsed->font->weight, 0);
    ASSERT_EQ(parsed->items.size(), 3u);
    EXPECT_EQ(parsed->items[0].id, 1u);  // IDOK
    EXPECT_EQ(parsed->items[0].style & 0x0F, kBsDefPushButton);
    EXPECT_EQ(parsed->items[1].id, 0xFFFFu);
    EXPECT_EQ(parsed->items[1].ClassName(), u"Static");
    EXPECT_EQ(parsed->items[1].style & 0x1F, kSsCenter);
    EXPECT_EQ(parsed->items[2].windowClass, ResourceId::FromName(u"MyClass"));
    EXPECT_TRUE(parsed->items[2].style & kWsTabStop);
    EXPECT_EQ(parsed->items[2].cy, 8);
}

TEST(DialogTemplate, CreationDataIsKeptAndFollowingItemsStayAligned)
{
    // DLGTEMPLATEEX by hand: two buttons, the first with three bytes of creation data.
    std::vector<uint8_t> t;
    auto put16 = [&](uint16_t v) { t.push_back(v & 0xFF); t.push_back(v >> 8); };
    auto put32 = [&](uint32_t v) { put16(v & 0xFFFF); put16(v >> 16); };
    put16(1); put16(0xFFFF); put32(0); put32(0); put32(kWsPopup); put16(2);
    put16(0); put16(0); put16(50); put16(20);
    put16(0); put16(0); put16('T'); put16(0);  // no menu, dialog class, title "T"
    for (uint32_t id : {7u, 8u}) {
        while (t.size() % 4 != 0) t.push_back(0xCC);  // padding bytes are not read
        put32(0); put32(0); put32(kWsChild); put16(1); put16(2); put16(3); put16(4); put32(id);
        put16(0xFFFF); put16(0x0080); put16('B'); put16(0);
        if (id == 7) { put16(3); t.insert(t.end(), {9, 8, 7}); } else { put16(0); }
    }
    auto parsed = ParseDialogTemplate(t);
    ASSERT_TRUE(parsed) << parsed.Error().what;
    ASSERT_EQ(parsed->items.size(), 2u);
    EXPECT_EQ(parsed->items[0].creationData, (std::vector<uint8_t>{9, 8, 7}));
    EXPECT_EQ(parsed->items[1].id, 8u);
    EXPECT_EQ(parsed->items[1].ClassName(), u"Button");
    EXPECT_TRUE(parsed->items[1].creationData.empty());
}

TEST(DialogTemplateMalformed, EveryTruncationOfACompiledTemplateIsRefused)
{
    for (uint16_t name : {IDD_EVERY_CONTROL, IDD_CLASSIC}) {
        std::span<const uint8_t> bytes = TestResource(kDialog, name);
        for (size_t size = 0; size < bytes.size(); ++size) {
            std::vector<uint8_t> prefix(bytes.begin(), bytes.begin() + static_cast<ptrdiff_t>(size));
            EXPECT_FALSE(ParseDialogTemplate(prefix)) << name << ": accepted " << size << " of " << bytes.size();
        }
    }
}

TEST(DialogTemplateMalformed, ItemCountBeyondTheBytesIsRefused)
{
    std::span<const uint8_t> bytes = TestResource(kDialog, IDD_CLASSIC);
    std::vector<uint8_t> copy(bytes.begin(), bytes.end());
    copy[8] = 0xFF;  // cdit of DLGTEMPLATE
    copy[9] = 0xFF;
    auto parsed = ParseDialogTemplate(copy);
    ASSERT_FALSE(parsed);
    EXPECT_EQ(parsed.Error().what, "more dialog items than bytes");
}

TEST(DialogTemplateMalformed, UnterminatedTitleAndUnknownVersionAreRefused)
{
    std::vector<uint8_t> t = {1, 0, 0xFF, 0xFF};
    t.resize(26, 0);         // helpID .. cy, one item announced
    t.insert(t.end(), {0, 0, 0, 0});  // no menu, dialog class
    for (int i = 0; i < 5; ++i) t.insert(t.end(), {'x', 0});
    EXPECT_FALSE(ParseDialogTemplate(t));

    std::vector<uint8_t> version2 = {2, 0, 0xFF, 0xFF};
    version2.resize(64, 0);
    auto parsed = ParseDialogTemplate(version2);
    ASSERT_FALSE(parsed);
    EXPECT_EQ(parsed.Error().what, "unknown DLGTEMPLATEEX version");
}

}  // namespace
}  // namespace winsim::ui::resources
