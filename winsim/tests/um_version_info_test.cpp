// Version resources through version.dll's ANSI functions, on files of the
// file system: lookup, the root and translation blocks, strings converted
// to ANSI, and resources that do not hold together.
#include <windows.h>

#include <cstring>
#include <string>
#include <vector>

#include "um_test_fixture.h"
#include "um/file_system.h"

namespace winsim::test {
namespace {

using VersionInfoTest = UserModeTest;
using Bytes = std::vector<BYTE>;

void Pad(Bytes* bytes)
{
    while (bytes->size() % 4 != 0) bytes->push_back(0);
}

void PutUtf16(Bytes* bytes, const std::u16string& text)
{
    for (char16_t c : text) {
        bytes->push_back(static_cast<BYTE>(c));
        bytes->push_back(static_cast<BYTE>(c >> 8));
    }
    bytes->push_back(0);
    bytes->push_back(0);
}

// A block as the resource compiler lays it out.
Bytes Block(const std::u16string& key, const Bytes& value, bool text, const std::vector<Bytes>& children = {})
{
    Bytes block(6, 0);
    PutUtf16(&block, key);
    Pad(&block);
    block.insert(block.end(), value.begin(), value.end());
    for (const Bytes& child : children) {
        Pad(&block);
        block.insert(block.end(), child.begin(), child.end());
    }
    const auto valueLength = static_cast<WORD>(text ? value.size() / 2 : value.size());
    const auto length = static_cast<WORD>(block.size());
    std::memcpy(block.data(), &length, 2);
    std::memcpy(block.data() + 2, &valueLength, 2);
    block[4] = text ? 1 : 0;
    return block;
}

Bytes Text(const std::u16string& text)
{
    Bytes bytes;
    PutUtf16(&bytes, text);
    return bytes;
}

Bytes Resource(const std::u16string& fileVersion)
{
    VS_FIXEDFILEINFO fixed{};
    fixed.dwSignature = VS_FFI_SIGNATURE;
    fixed.dwStrucVersion = VS_FFI_STRUCVERSION;
    fixed.dwFileVersionMS = 0x0001'0000;
    fixed.dwFileVersionLS = 0x0333'0000;
    Bytes fixedBytes(sizeof fixed);
    std::memcpy(fixedBytes.data(), &fixed, sizeof fixed);
    const Bytes translation = {0x09, 0x04, 0xB0, 0x04, 0x07, 0x04, 0xE4, 0x04};
    return Block(u"VS_VERSION_INFO", fixedBytes, false,
                 {Block(u"StringFileInfo", {}, true,
                        {Block(u"040904b0", {}, true,
                               {Block(u"CompanyName", Text(u"Tessary"), true),
                                Block(u"FileVersion", Text(fileVersion), true)}),
                         Block(u"040704e4", {}, true, {Block(u"FileVersion", Text(u"de"), true)})}),
                  Block(u"VarFileInfo", {}, true, {Block(u"Translation", translation, false)})});
}

// GetFileVersionInfoSizeA and GetFileVersionInfoA as a program calls them.
std::vector<BYTE> VersionInfo(const char* file)
{
    DWORD handle = 99;
    const DWORD size = GetFileVersionInfoSizeA(file, &handle);
    EXPECT_EQ(handle, 0u);
    if (size == 0) return {};
    std::vector<BYTE> info(size);
    EXPECT_TRUE(GetFileVersionInfoA(file, 0, size, info.data()));
    return info;
}

std::string Query(std::vector<BYTE>& info, const char* subBlock, UINT* length)
{
    LPVOID value = nullptr;
    if (!VerQueryValueA(info.data(), subBlock, &value, length)) return "<none>";
    // Inside the caller's buffer, where a program may keep using it.
    EXPECT_GE(static_cast<BYTE*>(value), info.data());
    EXPECT_LE(static_cast<BYTE*>(value) + *length, info.data() + info.size());
    return static_cast<const char*>(value);
}

TEST_F(VersionInfoTest, StringsComeBackInAnsiWithTheirTerminatorCounted)
{
    um::FileSystem::Instance().PutFile("C:\\Windows\\system32\\drivers\\x.sys", {'M', 'Z'});
    um::FileSystem::Instance().SetVersionResource("C:\\Windows\\system32\\drivers\\x.sys", Resource(u"1.0.819"));
    std::vector<BYTE> info = VersionInfo("C:\\Windows\\system32\\drivers\\x.sys");
    ASSERT_FALSE(info.empty());
    UINT length = 0;
    EXPECT_EQ(Query(info, "\\StringFileInfo\\040904b0\\FileVersion", &length), "1.0.819");
    EXPECT_EQ(length, 8u);
    EXPECT_EQ(Query(info, "\\stringfileinfo\\040904B0\\companyname", &length), "Tessary") << "keys ignore case";
    EXPECT_EQ(Query(info, "\\StringFileInfo\\040704e4\\FileVersion", &length), "de");
    EXPECT_EQ(Query(info, "\\StringFileInfo\\040904b0\\ProductVersion", &length), "<none>");
    EXPECT_EQ(length, 0u);

    LPVOID value = nullptr;
    ASSERT_TRUE(VerQueryValueA(info.data(), "\\", &value, &length));
    ASSERT_EQ(length, sizeof(VS_FIXEDFILEINFO));
    const auto* fixed = static_cast<const VS_FIXEDFILEINFO*>(value);
    EXPECT_EQ(fixed->dwSignature, static_cast<DWORD>(VS_FFI_SIGNATURE));
    EXPECT_EQ(fixed->dwFileVersionLS, 0x0333'0000u);

    ASSERT_TRUE(VerQueryValueA(info.data(), "\\VarFileInfo\\Translation", &value, &length));
    ASSERT_EQ(length, 8u);
    const auto* pairs = static_cast<const WORD*>(value);
    EXPECT_EQ(pairs[0], 0x0409);
    EXPECT_EQ(pairs[1], 0x04B0);
    EXPECT_EQ(pairs[2], 0x0407);
    EXPECT_EQ(pairs[3], 0x04E4);
}

TEST_F(VersionInfoTest, AnEmptyStringAndCharactersBeyondLatin1)
{
    um::FileSystem::Instance().PutFile("C:\\a.dll", {});
    um::FileSystem::Instance().SetVersionResource("C:\\a.dll", Resource(u"1.\u00e9\u4e2d"));
    std::vector<BYTE> info = VersionInfo("C:\\a.dll");
    UINT length = 0;
    EXPECT_EQ(Query(info, "\\StringFileInfo\\040904b0\\FileVersion", &length), "1.\xe9?");
    um::FileSystem::Instance().SetVersionResource("C:\\a.dll", Resource(u""));
    info = VersionInfo("C:\\a.dll");
    EXPECT_EQ(Query(info, "\\StringFileInfo\\040904b0\\FileVersion", &length), "");
    EXPECT_EQ(length, 1u);
}

TEST_F(VersionInfoTest, MissingFilesAndResourcesHaveTheirOwnErrors)
{
    EXPECT_EQ(GetFileVersionInfoSizeA("C:\\Windows\\nothing.dll", nullptr), 0u);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    um::FileSystem::Instance().PutFile("C:\\Windows\\plain.txt", {'t'});
    EXPECT_EQ(GetFileVersionInfoSizeA("C:\\Windows\\plain.txt", nullptr), 0u);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_RESOURCE_TYPE_NOT_FOUND));
}

TEST_F(VersionInfoTest, ABareNameIsLookedForInTheSystemFolders)
{
    um::FileSystem::Instance().PutFile("C:\\Windows\\system32\\lib.dll", {});
    um::FileSystem::Instance().SetVersionResource("C:\\Windows\\system32\\lib.dll", Resource(u"2.0"));
    std::vector<BYTE> info = VersionInfo("LIB.DLL");
    UINT length = 0;
    EXPECT_EQ(Query(info, "\\StringFileInfo\\040904b0\\FileVersion", &length), "2.0");
    EXPECT_EQ(GetFileVersionInfoSizeA("other.dll", nullptr), 0u);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
}

TEST_F(VersionInfoTest, BlocksThatOverrunTheirParentsAreNotFollowed)
{
    Bytes resource = Resource(u"1.0");
    // The StringFileInfo block (right after the 52-byte fixed info) claims
    // more than the root holds.
    const size_t child = 6 + sizeof(u"VS_VERSION_INFO") + 2 + sizeof(VS_FIXEDFILEINFO);
    ASSERT_EQ(resource[child + 6], 'S');
    const WORD tooLong = 0x7FFF;
    std::memcpy(resource.data() + child, &tooLong, 2);
    um::FileSystem::Instance().PutFile("C:\\bad.dll", {});
    um::FileSystem::Instance().SetVersionResource("C:\\bad.dll", resource);
    std::vector<BYTE> info = VersionInfo("C:\\bad.dll");
    ASSERT_FALSE(info.empty());
    UINT length = 0;
    EXPECT_EQ(Query(info, "\\StringFileInfo\\040904b0\\FileVersion", &length), "<none>");
    LPVOID value = nullptr;
    EXPECT_TRUE(VerQueryValueA(info.data(), "\\", &value, &length)) << "the root is still whole";

    // A root shorter than its own header is no resource.
    um::FileSystem::Instance().SetVersionResource("C:\\bad.dll", Bytes{4, 0, 0, 0});
    EXPECT_EQ(GetFileVersionInfoSizeA("C:\\bad.dll", nullptr), 0u);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_RESOURCE_DATA_NOT_FOUND));
}

}  // namespace
}  // namespace winsim::test
