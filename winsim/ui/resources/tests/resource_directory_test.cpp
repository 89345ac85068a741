// The .res directory: what windres wrote is found by type, name and language,
// and malformed files are refused without reading past their end.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "test_resources.h"
#include "ui/resources/resource_directory.h"

namespace winsim::ui::resources {
namespace {

using testing::TestDirectory;
using testing::TestResource;

constexpr uint16_t kEnglishUs = 0x0409;

// One resource record: header with the given type and name, then the data.
std::vector<uint8_t> Record(std::u16string typeName, uint16_t nameOrdinal, std::vector<uint8_t> data,
                            uint16_t language = kEnglishUs)
{
    std::vector<uint8_t> header;
    auto put16 = [&](uint16_t v) { header.push_back(v & 0xFF); header.push_back(v >> 8); };
    auto put32 = [&](uint32_t v) { put16(v & 0xFFFF); put16(v >> 16); };
    put32(static_cast<uint32_t>(data.size()));
    put32(0);  // header size, patched below
    for (char16_t c : typeName) put16(c);
    put16(0);
    put16(0xFFFF);
    put16(nameOrdinal);
    while (header.size() % 4 != 0) header.push_back(0);
    put32(0);
    put16(0x1030);
    put16(language);
    put32(0);
    put32(0);
    uint32_t headerSize = static_cast<uint32_t>(header.size());
    std::memcpy(&header[4], &headerSize, 4);
    header.insert(header.end(), data.begin(), data.end());
    while (header.size() % 4 != 0) header.push_back(0);
    return header;
}

TEST(ResourceDirectory, FindsEveryResourceOfTheCompiledRcByTypeAndName)
{
    const ResourceDirectory& directory = TestDirectory();
    for (auto [type, name] : {std::pair{kDialog, IDD_EVERY_CONTROL}, {kDialog, IDD_CLASSIC}, {kMenu, IDR_MAIN_MENU},
                              {kIconGroup, IDI_TEST_ICON}, {kVersion, 1}, {kManifest, 1}, {kString, 1},
                              {kString, 2}, {kString, 63}, {kString, 4096}}) {
        const ResourceEntry* entry =
            directory.Find(ResourceId::FromOrdinal(type), ResourceId::FromOrdinal(static_cast<uint16_t>(name)));
        ASSERT_NE(entry, nullptr) << type << "/" << name;
        EXPECT_EQ(entry->language, kEnglishUs);
        EXPECT_FALSE(entry->data.empty());
    }
    EXPECT_EQ(directory.Find(ResourceId::FromOrdinal(kDialog), ResourceId::FromOrdinal(999)), nullptr);
    EXPECT_EQ(directory.Find(ResourceId::FromOrdinal(kMenu), ResourceId::FromOrdinal(IDD_EVERY_CONTROL)), nullptr);
}

TEST(ResourceDirectory, ManifestIsTheFileText)
{
    std::span<const uint8_t> manifest = TestResource(kManifest, 1);
    std::string text(manifest.begin(), manifest.end());
    EXPECT_EQ(text.rfind("<?xml", 0), 0u);
    EXPECT_NE(text.find("Microsoft.Windows.Common-Controls"), std::string::npos);
    EXPECT_EQ(text.back(), '\n');  // nothing of the padding after the data
}

TEST(ResourceDirectory, VersionResourceKeepsTheCompiledBytes)
{
    std::span<const uint8_t> version = TestResource(kVersion, 1);
    ASSERT_GE(version.size(), 40u + 52u);
    uint16_t length = static_cast<uint16_t>(version[0] | version[1] << 8);
    EXPECT_EQ(length, version.size());
    const char16_t key[] = u"VS_VERSION_INFO";
    EXPECT_EQ(std::memcmp(&version[6], key, sizeof key), 0);
    // VS_FIXEDFILEINFO after the key, DWORD aligned: signature, struct version, FILEVERSION 1,2,3,4.
    uint32_t fixed[4];
    std::memcpy(fixed, &version[40], sizeof fixed);
    EXPECT_EQ(fixed[0], 0xFEEF04BDu);
    EXPECT_EQ(fixed[2], 0x00010002u);
    EXPECT_EQ(fixed[3], 0x00030004u);
}

TEST(ResourceDirectory, StringNamesCompareWithoutCase)
{
    std::vector<uint8_t> file = Record(u"TEXTFILE", 7, {'a', 'b', 'c'});
    auto parsed = ResourceDirectory::Parse(file);
    ASSERT_TRUE(parsed) << parsed.Error().what;
    const ResourceEntry* entry = parsed->Find(ResourceId::FromAnsi("TextFile"), ResourceId::FromAnsi("#7"));
    ASSERT_NE(entry, nullptr);
    EXPECT_EQ(std::string(entry->data.begin(), entry->data.end()), "abc");
    EXPECT_EQ(parsed->Find(ResourceId::FromAnsi("TEXTFIL"), ResourceId::FromOrdinal(7)), nullptr);
}

TEST(ResourceDirectory, PrefersTheAskedLanguageThenNeutralThenAny)
{
    std::vector<uint8_t> file = Record(u"T", 1, {'d'}, 0x0407);
    std::vector<uint8_t> neutral = Record(u"T", 1, {'n'}, 0x0000);
    std::vector<uint8_t> french = Record(u"T", 1, {'f'}, 0x040C);
    file.insert(file.end(), neutral.begin(), neutral.end());
    file.insert(file.end(), french.begin(), french.end());
    auto parsed = ResourceDirectory::Parse(file);
    ASSERT_TRUE(parsed) << parsed.Error().what;
    auto find = [&](std::optional<uint16_t> language) {
        return parsed->Find(ResourceId::FromName(u"T"), ResourceId::FromOrdinal(1), language)->data[0];
    };
    EXPECT_EQ(find(0x040C), 'f');
    EXPECT_EQ(find(0x0407), 'd');
    EXPECT_EQ(find(std::nullopt), 'n');
    EXPECT_EQ(find(0x0411), 'n');
}

TEST(ResourceDirectoryMalformed, EveryTruncationOfTheCompiledFileIsRefused)
{
    std::vector<uint8_t> file = Record(u"T", 1, {1, 2, 3, 4, 5, 6, 7, 8});
    size_t dataEnd = file.size();  // the record ends on a DWORD boundary: no padding to lose
    for (size_t size = 1; size < dataEnd; ++size) {
        std::vector<uint8_t> prefix(file.begin(), file.begin() + static_cast<ptrdiff_t>(size));
        EXPECT_FALSE(ResourceDirectory::Parse(prefix)) << "accepted " << size << " of " << dataEnd << " bytes";
    }
}

TEST(ResourceDirectoryMalformed, LengthsPastTheEndAreRefused)
{
    std::vector<uint8_t> file = Record(u"T", 1, {1, 2, 3, 4});
    std::vector<uint8_t> dataTooLong = file;
    dataTooLong[0] = 0xF0;
    auto parsed = ResourceDirectory::Parse(dataTooLong);
    ASSERT_FALSE(parsed);
    EXPECT_EQ(parsed.Error().what, "resource data past end");

    std::vector<uint8_t> headerTooLong = file;
    headerTooLong[5] = 0x10;  // 4096 + the real size
    EXPECT_FALSE(ResourceDirectory::Parse(headerTooLong));

    std::vector<uint8_t> headerTooShort = file;
    headerTooShort[4] = 8;
    EXPECT_FALSE(ResourceDirectory::Parse(headerTooShort));
}

TEST(ResourceDirectoryMalformed, UnterminatedTypeNameIsRefused)
{
    std::vector<uint8_t> file = {0, 0, 0, 0, 0x40, 0, 0, 0};
    for (int i = 0; i < 8; ++i) file.insert(file.end(), {'A', 0});
    auto parsed = ResourceDirectory::Parse(file);
    ASSERT_FALSE(parsed);
    EXPECT_EQ(parsed.Error().what, "resource header truncated");
}

TEST(ResourceDirectoryMalformed, EmptyFileHasNoResources)
{
    auto parsed = ResourceDirectory::Parse({});
    ASSERT_TRUE(parsed);
    EXPECT_TRUE(parsed->Entries().empty());
}

}  // namespace
}  // namespace winsim::ui::resources
