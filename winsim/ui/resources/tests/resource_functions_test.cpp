// FindResourceA and friends over a module's registered resources: what the
// Win32 calls return, and the last error when they fail.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstring>
#include <vector>

#include "TestResources.h"
#include "test_resources.h"
#include "ui/resources/module_resources.h"

namespace winsim::ui::resources {
namespace {

class ModuleResourceFunctions : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(RegisterModuleResources(module_, TestResources())); }
    void TearDown() override { UnregisterModuleResources(module_); }

    DWORD FailureOf(HRSRC found)
    {
        EXPECT_EQ(found, nullptr);
        return GetLastError();
    }

    HMODULE module_ = reinterpret_cast<HMODULE>(0x7D000000);
};

TEST_F(ModuleResourceFunctions, FindLoadLockAndSizeGiveTheResourceBytes)
{
    HRSRC found = FindResourceA(module_, MAKEINTRESOURCEA(IDD_EVERY_CONTROL), RT_DIALOG);
    ASSERT_NE(found, nullptr);
    HGLOBAL loaded = LoadResource(module_, found);
    ASSERT_NE(loaded, nullptr);
    auto* bytes = static_cast<const uint8_t*>(LockResource(loaded));
    DWORD size = SizeofResource(module_, found);
    std::span<const uint8_t> expected = testing::TestResource(kDialog, IDD_EVERY_CONTROL);
    ASSERT_EQ(size, expected.size());
    EXPECT_EQ(std::memcmp(bytes, expected.data(), size), 0);
    auto dialog = ParseDialogTemplate({bytes, size});
    ASSERT_TRUE(dialog);
    EXPECT_EQ(dialog->title, u"Every control");
}

TEST_F(ModuleResourceFunctions, NamesMayBeOrdinalStrings)
{
    HRSRC byOrdinal = FindResourceA(module_, MAKEINTRESOURCEA(IDR_MAIN_MENU), RT_MENU);
    EXPECT_NE(byOrdinal, nullptr);
    EXPECT_EQ(FindResourceA(module_, "#201", "#4"), byOrdinal);
    EXPECT_EQ(FindResourceA(module_, "#201x", RT_MENU), nullptr);
}

TEST_F(ModuleResourceFunctions, FindResourceExTakesOnlyTheLanguageAsked)
{
    EXPECT_NE(FindResourceExA(module_, RT_DIALOG, MAKEINTRESOURCEA(IDD_CLASSIC),
                              MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US)),
              nullptr);
    EXPECT_EQ(FailureOf(FindResourceExA(module_, RT_DIALOG, MAKEINTRESOURCEA(IDD_CLASSIC), 0x0407)),
              static_cast<DWORD>(ERROR_RESOURCE_LANG_NOT_FOUND));
    // Without a language the US English one is found through the fallback.
    EXPECT_NE(FindResourceA(module_, MAKEINTRESOURCEA(IDD_CLASSIC), RT_DIALOG), nullptr);
}

TEST_F(ModuleResourceFunctions, FailuresSayWhatWasMissing)
{
    EXPECT_EQ(FailureOf(FindResourceA(module_, MAKEINTRESOURCEA(999), RT_DIALOG)),
              static_cast<DWORD>(ERROR_RESOURCE_NAME_NOT_FOUND));
    EXPECT_EQ(FailureOf(FindResourceA(module_, MAKEINTRESOURCEA(IDD_CLASSIC), RT_BITMAP)),
              static_cast<DWORD>(ERROR_RESOURCE_TYPE_NOT_FOUND));
    EXPECT_EQ(FailureOf(FindResourceA(reinterpret_cast<HMODULE>(0x7E000000), MAKEINTRESOURCEA(IDD_CLASSIC),
                                      RT_DIALOG)),
              static_cast<DWORD>(ERROR_RESOURCE_DATA_NOT_FOUND));
}

TEST_F(ModuleResourceFunctions, HandlesNoModuleGaveOutAreRefused)
{
    int notAResource = 0;
    HRSRC bogus = reinterpret_cast<HRSRC>(&notAResource);
    SetLastError(ERROR_SUCCESS);
    EXPECT_EQ(LoadResource(module_, bogus), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    EXPECT_EQ(SizeofResource(module_, bogus), 0u);
    EXPECT_EQ(LoadResource(module_, nullptr), nullptr);

    HRSRC found = FindResourceA(module_, MAKEINTRESOURCEA(IDR_MAIN_MENU), RT_MENU);
    UnregisterModuleResources(module_);
    EXPECT_EQ(LoadResource(module_, found), nullptr);
}

TEST_F(ModuleResourceFunctions, TemplatesLoadByNameForTheDialogManagerAndMenus)
{
    auto dialog = LoadDialogTemplate(module_, MAKEINTRESOURCEA(IDD_CLASSIC));
    ASSERT_TRUE(dialog) << dialog.Error().what;
    EXPECT_EQ(dialog->title, u"Classic");
    auto menu = LoadMenuTemplate(module_, "#202");
    ASSERT_TRUE(menu) << menu.Error().what;
    EXPECT_TRUE(menu->extended);
    auto missing = LoadDialogTemplate(module_, MAKEINTRESOURCEA(IDR_MAIN_MENU));
    ASSERT_FALSE(missing);
    EXPECT_EQ(missing.Error().what, "resource not found");
}

TEST(ModuleResourceRegistration, NullModuleIsTheProgramsOwn)
{
    HMODULE program = GetModuleHandleA(nullptr);
    ASSERT_TRUE(RegisterModuleResources(program, TestResources()));
    HRSRC found = FindResourceA(nullptr, MAKEINTRESOURCEA(IDD_CLASSIC), RT_DIALOG);
    char text[16];
    int copied = LoadStringA(nullptr, IDS_FIRST, text, sizeof text);
    UnregisterModuleResources(program);
    EXPECT_NE(found, nullptr);
    EXPECT_EQ(copied, 5);
    EXPECT_EQ(FindResourceA(nullptr, MAKEINTRESOURCEA(IDD_CLASSIC), RT_DIALOG), nullptr);
}

TEST(ModuleResourceRegistration, MalformedResourcesAreNotRegistered)
{
    HMODULE module = reinterpret_cast<HMODULE>(0x7F000000);
    std::vector<uint8_t> bytes(TestResources().begin(), TestResources().end());
    bytes.resize(bytes.size() - 16);  // into the last resource's data
    auto registered = RegisterModuleResources(module, bytes);
    EXPECT_FALSE(registered);
    EXPECT_EQ(ModuleResources(module), nullptr);
}

}  // namespace
}  // namespace winsim::ui::resources
