// String tables: ids across blocks of sixteen, and LoadStringA's copy,
// truncation and failure rules.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstring>
#include <vector>

#include "TestResources.h"
#include "test_resources.h"
#include "ui/resources/module_resources.h"
#include "ui/resources/string_table.h"

namespace winsim::ui::resources {
namespace {

using testing::TestDirectory;

TEST(StringTable, IdsFindTheirStringsAcrossBlocks)
{
    EXPECT_EQ(FindString(TestDirectory(), IDS_FIRST), u"First");
    EXPECT_EQ(FindString(TestDirectory(), IDS_SECOND), u"Second string");
    EXPECT_EQ(FindString(TestDirectory(), IDS_BLOCK_END), u"End of block");
    EXPECT_EQ(FindString(TestDirectory(), IDS_NEXT_BLOCK), u"Next block");
    EXPECT_EQ(FindString(TestDirectory(), IDS_FAR), u"Far away");
    EXPECT_EQ(FindString(TestDirectory(), IDS_LAST), u"Last");
    EXPECT_EQ(FindString(TestDirectory(), IDS_ACCENTED), u"Caf\u00e9 \u2603");
}

TEST(StringTable, UnusedIdsInABlockAreEmptyAndMissingBlocksAreAbsent)
{
    EXPECT_EQ(FindString(TestDirectory(), 3), u"");
    EXPECT_EQ(FindString(TestDirectory(), IDS_EMPTY), u"");
    EXPECT_EQ(FindString(TestDirectory(), 500), std::nullopt);
    // LoadString uses the id's low word.
    EXPECT_EQ(FindString(TestDirectory(), 0x10000 + IDS_FIRST), u"First");
}

TEST(StringTableMalformed, LengthsPastTheBlockAreRefused)
{
    std::vector<uint8_t> block(32, 0);
    block[30] = 5;  // the last string claims five characters that are not there
    auto parsed = ParseStringBlock(block);
    ASSERT_FALSE(parsed);
    EXPECT_EQ(parsed.Error().what, "string table block truncated");
    EXPECT_FALSE(ParseStringBlock(std::vector<uint8_t>(30, 0)));  // fewer than sixteen strings
    std::vector<uint8_t> whole(32, 0);
    EXPECT_TRUE(ParseStringBlock(whole));
}

class LoadString : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(RegisterModuleResources(module_, TestResources())); }
    void TearDown() override { UnregisterModuleResources(module_); }

    HMODULE module_ = reinterpret_cast<HMODULE>(0x7A000000);
};

TEST_F(LoadString, CopiesTheStringInTheAnsiCodePage)
{
    char buffer[64];
    EXPECT_EQ(LoadStringA(module_, IDS_SECOND, buffer, sizeof buffer), 13);
    EXPECT_STREQ(buffer, "Second string");
    EXPECT_EQ(LoadStringA(module_, IDS_ACCENTED, buffer, sizeof buffer), 6);
    EXPECT_STREQ(buffer, "Caf\xE9 ?");  // U+2603 has no code page 1252 character
}

TEST_F(LoadString, ShortBufferTruncatesAndTerminates)
{
    char buffer[8];
    std::memset(buffer, 'x', sizeof buffer);
    EXPECT_EQ(LoadStringA(module_, IDS_SECOND, buffer, 4), 3);
    EXPECT_STREQ(buffer, "Sec");
    EXPECT_EQ(buffer[4], 'x');
    EXPECT_EQ(LoadStringA(module_, IDS_SECOND, buffer, 1), 0);
    EXPECT_EQ(buffer[0], '\0');
    EXPECT_EQ(buffer[1], 'e');
}

TEST_F(LoadString, ZeroSizedBufferIsLeftAlone)
{
    char buffer[4] = {'x', 'x', 'x', 'x'};
    SetLastError(ERROR_SUCCESS);
    EXPECT_EQ(LoadStringA(module_, IDS_SECOND, buffer + 1, 0), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    EXPECT_EQ(std::memcmp(buffer, "xxxx", 4), 0);
}

TEST_F(LoadString, MissingStringsGiveZeroAndAnEmptyBuffer)
{
    char buffer[8] = "junk";
    EXPECT_EQ(LoadStringA(module_, 500, buffer, sizeof buffer), 0);
    EXPECT_STREQ(buffer, "");
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_RESOURCE_NAME_NOT_FOUND));
    std::strcpy(buffer, "junk");
    EXPECT_EQ(LoadStringA(module_, IDS_EMPTY, buffer, sizeof buffer), 0);
    EXPECT_STREQ(buffer, "");
    std::strcpy(buffer, "junk");
    EXPECT_EQ(LoadStringA(reinterpret_cast<HMODULE>(0x7B000000), IDS_FIRST, buffer, sizeof buffer), 0);
    EXPECT_STREQ(buffer, "");
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_RESOURCE_DATA_NOT_FOUND));
}

}  // namespace
}  // namespace winsim::ui::resources
