// Global memory as the clipboard's text formats carry it, and the text
// formats themselves: CF_TEXT and CF_UNICODETEXT, each made from the other
// when the clipboard closes, and freed with the clipboard's contents.
#include <cstring>
#include <string>

#include "ui_test.h"

namespace winsim::ui::test {
namespace {

using GlobalMemoryTest = UiTest;
// The clipboard is emptied by a window, which becomes its owner: only an
// owner may set data.
class ClipboardTextTest : public UiTest {
protected:
    void SetUp() override
    {
        UiTest::SetUp();
        owner_ = CreateWindowExA(0, "Static", "", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    }
    void TearDown() override
    {
        if (OpenClipboard(owner_)) {
            EmptyClipboard();
            CloseClipboard();
        }
        DestroyWindow(owner_);
        UiTest::TearDown();
    }
    bool Open() const { return OpenClipboard(owner_) != FALSE; }

    HWND owner_ = nullptr;
};

HGLOBAL TextBlock(const char* text)
{
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, std::strlen(text) + 1);
    std::memcpy(GlobalLock(block), text, std::strlen(text) + 1);
    GlobalUnlock(block);
    return block;
}

HGLOBAL WideBlock(const std::u16string& text)
{
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, (text.size() + 1) * sizeof(char16_t));
    std::memcpy(GlobalLock(block), text.c_str(), (text.size() + 1) * sizeof(char16_t));
    GlobalUnlock(block);
    return block;
}

std::string TextOn(UINT format)
{
    HANDLE data = GetClipboardData(format);
    if (data == nullptr) return "<none>";
    std::string text = static_cast<const char*>(GlobalLock(data));
    GlobalUnlock(data);
    return text;
}

std::u16string WideOn(UINT format)
{
    HANDLE data = GetClipboardData(format);
    if (data == nullptr) return u"<none>";
    std::u16string text = static_cast<const char16_t*>(GlobalLock(data));
    GlobalUnlock(data);
    return text;
}

TEST_F(GlobalMemoryTest, AMoveableBlockCountsItsLocks)
{
    HGLOBAL block = GlobalAlloc(GHND, 10);
    ASSERT_NE(block, nullptr);
    EXPECT_EQ(GlobalSize(block), 10u);
    void* first = GlobalLock(block);
    ASSERT_NE(first, nullptr);
    EXPECT_NE(first, block) << "a moveable block's handle is not its address";
    EXPECT_EQ(static_cast<const char*>(first)[9], '\0');
    EXPECT_EQ(GlobalLock(block), first);
    EXPECT_TRUE(GlobalUnlock(block));
    EXPECT_FALSE(GlobalUnlock(block));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(NO_ERROR));
    EXPECT_FALSE(GlobalUnlock(block));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_LOCKED));
    EXPECT_EQ(GlobalFree(block), nullptr);
    EXPECT_EQ(GlobalSize(block), 0u);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    EXPECT_EQ(GlobalFree(block), block) << "a freed block is no block";
}

TEST_F(GlobalMemoryTest, AFixedBlocksHandleIsItsAddress)
{
    HGLOBAL block = GlobalAlloc(GPTR, 0);
    ASSERT_NE(block, nullptr);
    EXPECT_EQ(GlobalLock(block), block);
    EXPECT_EQ(GlobalSize(block), 0u);
    EXPECT_EQ(GlobalFree(block), nullptr);
    EXPECT_EQ(GlobalAlloc(0x8000, 4), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
}

TEST_F(ClipboardTextTest, AnsiTextGainsItsUnicodeFormWhenTheClipboardCloses)
{
    ASSERT_TRUE(Open());
    EmptyClipboard();
    HGLOBAL text = TextBlock("COM3 \x80 5");
    EXPECT_EQ(SetClipboardData(CF_TEXT, text), text);
    EXPECT_FALSE(IsClipboardFormatAvailable(CF_UNICODETEXT));
    ASSERT_TRUE(CloseClipboard());

    EXPECT_TRUE(IsClipboardFormatAvailable(CF_UNICODETEXT));
    EXPECT_EQ(CountClipboardFormats(), 2);
    ASSERT_TRUE(Open());
    EXPECT_EQ(EnumClipboardFormats(0), static_cast<UINT>(CF_TEXT));
    EXPECT_EQ(EnumClipboardFormats(CF_TEXT), static_cast<UINT>(CF_UNICODETEXT));
    EXPECT_EQ(GetClipboardData(CF_TEXT), text);
    EXPECT_EQ(WideOn(CF_UNICODETEXT), u"COM3 \u20AC 5") << "code page 1252's euro sign";
    CloseClipboard();
}

TEST_F(ClipboardTextTest, UnicodeTextGainsItsAnsiFormWithQuestionMarksForTheRest)
{
    ASSERT_TRUE(Open());
    EmptyClipboard();
    SetClipboardData(CF_UNICODETEXT, WideBlock(u"\u00E9t\u00E9 \u2122 \u4E2D"));
    CloseClipboard();
    ASSERT_TRUE(Open());
    EXPECT_EQ(TextOn(CF_TEXT), "\xE9t\xE9 \x99 ?");
    CloseClipboard();
}

TEST_F(ClipboardTextTest, EmptyingFreesTheBlocksAndNewTextReplacesWhatWasMade)
{
    ASSERT_TRUE(Open());
    EmptyClipboard();
    HGLOBAL first = TextBlock("first");
    SetClipboardData(CF_TEXT, first);
    CloseClipboard();

    ASSERT_TRUE(Open());
    HANDLE made = GetClipboardData(CF_UNICODETEXT);
    ASSERT_NE(made, nullptr);
    SetClipboardData(CF_TEXT, TextBlock("second"));
    EXPECT_EQ(GlobalSize(first), 0u) << "the replaced text is freed";
    EXPECT_EQ(GlobalSize(made), 0u) << "what was made from it goes with it";
    CloseClipboard();
    ASSERT_TRUE(Open());
    EXPECT_EQ(WideOn(CF_UNICODETEXT), u"second");
    HANDLE second = GetClipboardData(CF_TEXT);
    EmptyClipboard();
    EXPECT_EQ(GlobalSize(second), 0u);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    EXPECT_EQ(CountClipboardFormats(), 0);
    CloseClipboard();
}

TEST_F(ClipboardTextTest, TextMustComeInGlobalMemory)
{
    ASSERT_TRUE(Open());
    EmptyClipboard();
    char local[] = "not global";
    EXPECT_EQ(SetClipboardData(CF_TEXT, local), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    CloseClipboard();
}

}  // namespace
}  // namespace winsim::ui::test
