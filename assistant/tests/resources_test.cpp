// The Assistant's resources as the window system reads them: the templates'
// controls with their styles and hidden or disabled states, the tool-tip
// strings, the icons, the version information and the manifest.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <string>
#include <string_view>

#include "AssistantResources.h"
#include "assistant/res/resource.h"
#include "ui/resources/module_resources.h"
#include "um/version_resource.h"

namespace {

namespace res = winsim::ui::resources;

const HMODULE kModule = reinterpret_cast<HMODULE>(0x7a550000);

class AssistantResourcesTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(res::RegisterModuleResources(kModule, AssistantResources())); }
    void TearDown() override { res::UnregisterModuleResources(kModule); }

    static res::DialogTemplate Dialog(int id)
    {
        auto parsed = res::LoadDialogTemplate(kModule, MAKEINTRESOURCEA(id));
        EXPECT_TRUE(parsed) << "dialog " << id << ": " << parsed.Error().what;
        return parsed ? *parsed : res::DialogTemplate{};
    }
    static const res::DialogItem* Item(const res::DialogTemplate& dialog, int id)
    {
        for (const res::DialogItem& item : dialog.items) {
            if (item.id == static_cast<uint32_t>(id)) {
                return &item;
            }
        }
        ADD_FAILURE() << "no control " << id;
        return nullptr;
    }
    static std::string ClassOf(const res::DialogItem& item)
    {
        std::string name;
        for (char16_t c : item.ClassName()) {
            name += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        }
        return name;
    }
    static std::string String(UINT id)
    {
        char text[2048] = "";
        const int length = LoadStringA(kModule, id, text, sizeof(text));
        return std::string(text, length > 0 ? static_cast<size_t>(length) : 0);
    }
    static std::string_view Resource(int id, int type)
    {
        HRSRC found = FindResourceA(kModule, MAKEINTRESOURCEA(id), MAKEINTRESOURCEA(type));
        if (found == nullptr) {
            return {};
        }
        const auto* bytes = static_cast<const char*>(LockResource(LoadResource(kModule, found)));
        return {bytes, SizeofResource(kModule, found)};
    }
};

TEST_F(AssistantResourcesTest, MainDialogHoldsTheTabControlAndIsAPopup)
{
    const res::DialogTemplate main = Dialog(IDD_ASSISTANT);
    EXPECT_EQ(main.style & WS_CHILD, 0u);
    EXPECT_NE(main.style & WS_CAPTION, 0u);
    const res::DialogItem* tabs = Item(main, IDC_PAGE_TABS);
    ASSERT_NE(tabs, nullptr);
    EXPECT_EQ(ClassOf(*tabs), "systabcontrol32");
}

TEST_F(AssistantResourcesTest, PagesAreBorderlessChildDialogs)
{
    for (int id : {IDD_STATUS_PAGE, IDD_PROPERTIES_PAGE, IDD_PORT_MAPPING, IDD_DIAGNOSTICS_PAGE, IDD_ABOUT}) {
        const res::DialogTemplate page = Dialog(id);
        EXPECT_NE(page.style & WS_CHILD, 0u) << id;
        EXPECT_NE(page.style & DS_CONTROL, 0u) << id;
        EXPECT_EQ(page.style & (WS_CAPTION | WS_BORDER | WS_THICKFRAME), 0u) << id;
    }
}

TEST_F(AssistantResourcesTest, PropertiesPageCarriesEveryControlOfItsTable)
{
    const res::DialogTemplate page = Dialog(IDD_PROPERTIES_PAGE);
    for (int id : {1055, 1056, 1093, 1092, 1091, 1057, 1058, 1059, 1060, 1089, 1064, 1075, 1069, 1002, 1003,
                   1005, 1004, 1052, 1025, 1026, 1080, 1023, 1027, 1086, 1087, 1088, 1097, 1116, 1098, 1117}) {
        EXPECT_NE(Item(page, id), nullptr) << id;
    }
    EXPECT_EQ(ClassOf(*Item(page, IDC_TEST_PROGRESS)), "msctls_progress32");
    EXPECT_EQ(Item(page, IDC_ADAPTER_LIST)->style & 0x3u, static_cast<uint32_t>(CBS_DROPDOWNLIST));
    // One auto-radio group per choice.
    EXPECT_NE(Item(page, IDC_MODE_TX_ONLY)->style & WS_GROUP, 0u);
    EXPECT_EQ(Item(page, IDC_MODE_EXT_LOOPBACK)->style & WS_GROUP, 0u);
    EXPECT_NE(Item(page, IDC_TYPE_QUICK)->style & WS_GROUP, 0u);
}

TEST_F(AssistantResourcesTest, TemplatesHideWhatNothingShows)
{
    EXPECT_EQ(Item(Dialog(IDD_DIAGNOSTICS_PAGE), IDC_OPEN_EVENTS_WINDOW)->style & WS_VISIBLE, 0u);
    const res::DialogTemplate mapping = Dialog(IDD_PORT_MAPPING);
    for (int id : {IDC_MAPPING_MODE_GROUP, IDC_MAPPING_DYNAMIC, IDC_MAPPING_GEOGRAPHIC}) {
        EXPECT_EQ(Item(mapping, id)->style & WS_VISIBLE, 0u) << id;
    }
    const res::DialogTemplate about = Dialog(IDD_ABOUT);
    EXPECT_EQ(Item(about, IDC_HOME_PAGE_LINK)->style & WS_VISIBLE, 0u);
    EXPECT_EQ(Item(about, IDC_MANUAL_LINK)->style & WS_VISIBLE, 0u);
    const res::DialogItem* ok = Item(about, IDOK);
    EXPECT_EQ(ok->style & WS_VISIBLE, 0u);
    EXPECT_NE(ok->style & WS_DISABLED, 0u);
}

TEST_F(AssistantResourcesTest, ListsKeepTheOrderTheyAreFilledIn)
{
    const res::DialogItem* log = Item(Dialog(IDD_DIAGNOSTICS_PAGE), IDC_STATUS_LOG);
    EXPECT_EQ(log->style & LBS_SORT, 0u);
    EXPECT_NE(log->style & WS_HSCROLL, 0u);
    const res::DialogTemplate mapping = Dialog(IDD_PORT_MAPPING);
    const res::DialogItem* ports = Item(mapping, IDC_PORT_NAME_LIST);
    EXPECT_EQ(ports->style & LBS_SORT, 0u);
    EXPECT_NE(ports->style & LBS_USETABSTOPS, 0u);
    const res::DialogItem* numbers = Item(mapping, IDC_COM_NUMBER_LIST);
    EXPECT_EQ(numbers->style & CBS_SORT, 0u);
    EXPECT_NE(numbers->style & CBS_OWNERDRAWFIXED, 0u);
    EXPECT_NE(numbers->style & CBS_HASSTRINGS, 0u);
}

TEST_F(AssistantResourcesTest, EveryToolTipControlHasItsText)
{
    for (UINT id : {1083u, 1055u, 1056u, 1057u, 1058u, 1059u, 1060u, 1064u, 1075u, 1089u, 1069u, 1091u,
                    1092u, 1093u, 1002u, 1003u, 1004u, 1005u, 1052u, 1025u, 1026u, 1080u, 1016u, 1090u,
                    1073u, 1074u, 1106u, 1054u, 1061u, 1109u, 1110u, 1111u, 1112u, 1115u}) {
        EXPECT_FALSE(String(id).empty()) << id;
    }
    EXPECT_EQ(String(1083),
              "Shows the current status of the Tessary serial adapter ports.\r\n\"Idle\" means that the port is "
              "not being used by any application.\r\n\"BUSY\" means the port is being used by an application.");
    EXPECT_EQ(String(1090), "Clears the Adapter Status/Error log.");
    EXPECT_EQ(String(1112), "Selects Geographic Mapping mode.  Please see the user documentation for more information.");
    // Controls without a text show an empty tip.
    EXPECT_EQ(String(IDC_MAPPING_LABEL), "");
}

TEST_F(AssistantResourcesTest, IconsHaveSmallImagesForTheTreeAndTheStatusArea)
{
    for (int id : {IDI_ASSISTANT, IDI_TEST_IDLE, IDI_TEST_PASSED, IDI_TEST_FAILED, IDI_ADAPTER, IDI_PORT1, IDI_PORT2,
                   IDI_PORT3, IDI_PORT4}) {
        auto image = res::LoadIconImage(kModule, MAKEINTRESOURCEA(id), 16, 16);
        ASSERT_TRUE(image) << id << ": " << image.Error().what;
    }
}

TEST_F(AssistantResourcesTest, VersionIsUsEnglishUnicodeOneZeroEightNineteen)
{
    const std::string_view version = Resource(1, 16);  // VS_VERSION_INFO, RT_VERSION
    ASSERT_FALSE(version.empty());
    const auto* bytes = reinterpret_cast<const BYTE*>(version.data());
    winsim::um::VersionValue value;
    ASSERT_TRUE(winsim::um::FindVersionValue(bytes, version.size(), "\\VarFileInfo\\Translation", &value));
    ASSERT_EQ(value.bytes, 4u);
    EXPECT_EQ(value.data[0] | (value.data[1] << 8), 0x0409);
    EXPECT_EQ(value.data[2] | (value.data[3] << 8), 1200);
    ASSERT_TRUE(winsim::um::FindVersionValue(bytes, version.size(), "\\StringFileInfo\\040904b0\\FileVersion", &value));
    std::string text;
    for (size_t i = 0; i + 1 < value.bytes && (value.data[i] | value.data[i + 1]) != 0; i += 2) {
        text += static_cast<char>(value.data[i]);
    }
    EXPECT_EQ(text, "1.0.819");
}

TEST_F(AssistantResourcesTest, ManifestAsksForAdministratorRightsAndDpiAwareness)
{
    const std::string_view manifest = Resource(1, 24);  // CREATEPROCESS_MANIFEST_RESOURCE_ID, RT_MANIFEST
    EXPECT_NE(manifest.find("level=\"requireAdministrator\" uiAccess=\"false\""), std::string_view::npos);
    EXPECT_NE(manifest.find(">true</dpiAware>"), std::string_view::npos);
}

}  // namespace
