// The run-time library's counted strings and conversions, and the bounded
// formatting of the safe-string library.
#include <gtest/gtest.h>

#include <ntstrsafe.h>
#include <wdm.h>

#include <string>

#include "verifier/fault_injection.h"
#include "verifier/pool.h"
#include "verifier/verifier.h"

namespace winsim {
namespace {

std::u16string Text(PCUNICODE_STRING s)
{
    return std::u16string(s->Buffer, s->Buffer + s->Length / sizeof(WCHAR));
}

std::u16string Text(PCWSTR s)
{
    std::u16string text;
    while (*s != 0)
        text.push_back(*s++);
    return text;
}

// A counted string over a fixed buffer; unused characters are '#'.
struct Buffer {
    explicit Buffer(USHORT maximumBytes)
    {
        for (auto& c : storage)
            c = L'#';
        string.Buffer = storage;
        string.Length = 0;
        string.MaximumLength = maximumBytes;
    }
    WCHAR storage[32];
    UNICODE_STRING string;
};

ULONG Parse(PCWSTR text, ULONG base, NTSTATUS* status)
{
    UNICODE_STRING s;
    RtlInitUnicodeString(&s, text);
    ULONG value = 0xDEADBEEF;
    *status = RtlUnicodeStringToInteger(&s, base, &value);
    return value;
}

TEST(RtlStringTest, InitCountsBytesWithoutAndWithTheTerminator)
{
    UNICODE_STRING s;
    RtlInitUnicodeString(&s, L"COM3");
    EXPECT_EQ(s.Length, 8);
    EXPECT_EQ(s.MaximumLength, 10);
    RtlInitUnicodeString(&s, nullptr);
    EXPECT_EQ(s.Length, 0);
    EXPECT_EQ(s.MaximumLength, 0);
    EXPECT_EQ(s.Buffer, nullptr);
    ANSI_STRING a;
    RtlInitAnsiString(&a, "COM3");
    EXPECT_EQ(a.Length, 4);
    EXPECT_EQ(a.MaximumLength, 5);
}

TEST(RtlStringTest, CopyTruncatesToTheDestinationAndTerminatesOnlyWithRoom)
{
    UNICODE_STRING source;
    RtlInitUnicodeString(&source, L"COM12");
    Buffer exact(6);
    RtlCopyUnicodeString(&exact.string, &source);
    EXPECT_EQ(Text(&exact.string), u"COM");
    EXPECT_EQ(exact.storage[3], L'#');

    Buffer roomy(20);
    RtlCopyUnicodeString(&roomy.string, &source);
    EXPECT_EQ(Text(&roomy.string), u"COM12");
    EXPECT_EQ(roomy.storage[5], 0);

    RtlCopyUnicodeString(&roomy.string, nullptr);
    EXPECT_EQ(roomy.string.Length, 0);
}

TEST(RtlStringTest, AppendRefusesWhatDoesNotFitAndLeavesTheDestination)
{
    Buffer b(10);
    UNICODE_STRING com;
    RtlInitUnicodeString(&com, L"COM");
    ASSERT_EQ(RtlAppendUnicodeStringToString(&b.string, &com), STATUS_SUCCESS);
    EXPECT_EQ(RtlAppendUnicodeToString(&b.string, L"123"), STATUS_BUFFER_TOO_SMALL);
    EXPECT_EQ(Text(&b.string), u"COM");
    ASSERT_EQ(RtlAppendUnicodeToString(&b.string, L"12"), STATUS_SUCCESS);
    EXPECT_EQ(Text(&b.string), u"COM12");
    EXPECT_EQ(b.storage[5], L'#');  // full: no room for a terminator
    EXPECT_EQ(RtlAppendUnicodeToString(&b.string, nullptr), STATUS_SUCCESS);
}

TEST(RtlStringTest, CompareAndEqualHonourCaseInsensitivity)
{
    UNICODE_STRING upper, lower, longer, accented, accentedUpper;
    RtlInitUnicodeString(&upper, L"COM3");
    RtlInitUnicodeString(&lower, L"com3");
    RtlInitUnicodeString(&longer, L"COM34");
    RtlInitUnicodeString(&accented, L"caf\u00e9");
    RtlInitUnicodeString(&accentedUpper, L"CAF\u00c9");
    EXPECT_TRUE(RtlEqualUnicodeString(&upper, &lower, TRUE));
    EXPECT_FALSE(RtlEqualUnicodeString(&upper, &lower, FALSE));
    EXPECT_TRUE(RtlEqualUnicodeString(&accented, &accentedUpper, TRUE));
    EXPECT_GT(RtlCompareUnicodeString(&lower, &upper, FALSE), 0);
    EXPECT_EQ(RtlCompareUnicodeString(&lower, &upper, TRUE), 0);
    EXPECT_LT(RtlCompareUnicodeString(&upper, &longer, TRUE), 0);
    EXPECT_FALSE(RtlEqualUnicodeString(&upper, &longer, TRUE));
    EXPECT_EQ(RtlUpcaseUnicodeChar(L'z'), L'Z');
    EXPECT_EQ(RtlUpcaseUnicodeChar(0xF7), 0xF7);  // the division sign has no capital
    EXPECT_EQ(RtlUpcaseUnicodeChar(L'7'), L'7');
}

TEST(RtlStringTest, StringToIntegerParsesAsWindowsDoes)
{
    NTSTATUS status;
    EXPECT_EQ(Parse(L" -12", 10, &status), 0u - 12u);
    EXPECT_EQ(status, STATUS_SUCCESS);
    EXPECT_EQ(Parse(L"12abc", 10, &status), 12u);
    EXPECT_EQ(Parse(L"0x1A", 0, &status), 26u);
    EXPECT_EQ(Parse(L"0x1A", 10, &status), 0u);
    EXPECT_EQ(Parse(L"0b101", 0, &status), 5u);
    EXPECT_EQ(Parse(L"0o17", 0, &status), 15u);
    EXPECT_EQ(Parse(L"017", 0, &status), 17u);
    EXPECT_EQ(Parse(L"a", 16, &status), 10u);
    EXPECT_EQ(Parse(L"\t+7", 10, &status), 7u);
    EXPECT_EQ(Parse(L"", 10, &status), 0u);
    EXPECT_EQ(status, STATUS_SUCCESS);
    EXPECT_EQ(Parse(L"12", 7, &status), 0xDEADBEEFu);
    EXPECT_EQ(status, STATUS_INVALID_PARAMETER);

    // Only the counted characters are read.
    UNICODE_STRING s;
    RtlInitUnicodeString(&s, L"123");
    s.Length = 2 * sizeof(WCHAR);
    ULONG value = 0;
    ASSERT_EQ(RtlUnicodeStringToInteger(&s, 10, &value), STATUS_SUCCESS);
    EXPECT_EQ(value, 12u);
}

TEST(RtlStringTest, IntegerToStringNeedsRoomForTheTerminator)
{
    Buffer b(6);
    ASSERT_EQ(RtlIntegerToUnicodeString(255, 16, &b.string), STATUS_SUCCESS);
    EXPECT_EQ(Text(&b.string), u"FF");
    ASSERT_EQ(RtlIntegerToUnicodeString(42, 0, &b.string), STATUS_SUCCESS);
    EXPECT_EQ(Text(&b.string), u"42");
    EXPECT_EQ(RtlIntegerToUnicodeString(100, 10, &b.string), STATUS_BUFFER_OVERFLOW);
    EXPECT_EQ(RtlIntegerToUnicodeString(5, 3, &b.string), STATUS_INVALID_PARAMETER);
}

TEST(RtlStringTest, AnsiConversionsUseTheCodePageAndThePool)
{
    ANSI_STRING ansi;
    RtlInitAnsiString(&ansi, "caf\xE9 \x80");
    UNICODE_STRING wide;
    PoolMark mark = Pool::Mark();
    ASSERT_EQ(RtlAnsiStringToUnicodeString(&wide, &ansi, TRUE), STATUS_SUCCESS);
    EXPECT_EQ(Text(&wide), u"caf\u00e9 \u20ac");
    EXPECT_EQ(wide.MaximumLength, wide.Length + sizeof(WCHAR));
    EXPECT_EQ(Pool::LeaksSince(mark).size(), 1u);

    ANSI_STRING back;
    ASSERT_EQ(RtlUnicodeStringToAnsiString(&back, &wide, TRUE), STATUS_SUCCESS);
    EXPECT_STREQ(back.Buffer, "caf\xE9 \x80");
    RtlFreeAnsiString(&back);
    RtlFreeUnicodeString(&wide);
    EXPECT_EQ(wide.Buffer, nullptr);
    EXPECT_TRUE(Pool::LeaksSince(mark).empty());

    // Characters outside the code page become its default character.
    UNICODE_STRING foreign;
    RtlInitUnicodeString(&foreign, L"x\u4e00");
    char narrow[8];
    ANSI_STRING out{0, sizeof narrow, narrow};
    ASSERT_EQ(RtlUnicodeStringToAnsiString(&out, &foreign, FALSE), STATUS_SUCCESS);
    EXPECT_STREQ(narrow, "x?");

    FaultInjection::FailEvery(TagFilter::All());
    EXPECT_EQ(RtlAnsiStringToUnicodeString(&wide, &ansi, TRUE), STATUS_NO_MEMORY);
    FaultInjection::Disarm();
}

TEST(RtlStringTest, ShortDestinationsTruncateToAnsiButNotToUnicode)
{
    UNICODE_STRING source;
    RtlInitUnicodeString(&source, L"COM12");
    char narrow[4] = {'#', '#', '#', '#'};
    ANSI_STRING ansi{0, sizeof narrow, narrow};
    EXPECT_EQ(RtlUnicodeStringToAnsiString(&ansi, &source, FALSE), STATUS_BUFFER_OVERFLOW);
    EXPECT_EQ(ansi.Length, 3);
    EXPECT_STREQ(narrow, "COM");

    ANSI_STRING text;
    RtlInitAnsiString(&text, "COM12");
    Buffer b(10);
    EXPECT_EQ(RtlAnsiStringToUnicodeString(&b.string, &text, FALSE), STATUS_BUFFER_OVERFLOW);
    EXPECT_EQ(b.storage[0], L'#');
}

TEST(RtlStringTest, CompareMemoryCountsTheMatchingPrefix)
{
    const UCHAR a[] = {1, 2, 3, 4};
    const UCHAR b[] = {1, 2, 9, 4};
    EXPECT_EQ(RtlCompareMemory(a, b, 4), 2u);
    EXPECT_EQ(RtlCompareMemory(a, a, 4), 4u);
}

TEST(RtlStringTest, ConversionsAreRefusedAtRaisedIrql)
{
    Verifier::Capture capture;
    NTSTATUS status;
    KIRQL old;
    KeRaiseIrql(DISPATCH_LEVEL, &old);
    ULONG value = Parse(L"7", 10, &status);
    KeLowerIrql(old);
    EXPECT_TRUE(capture.Saw("paged code or service at raised IRQL"));
    EXPECT_EQ(value, 7u);
}

TEST(SafeStringTest, FormatsTheConversionsKernelCodeUses)
{
    WCHAR out[96];
    UNICODE_STRING name;
    RtlInitUnicodeString(&name, L"84PRUSB");
    ASSERT_EQ(RtlStringCbPrintfW(out, sizeof out, L"%d|%x|%X|%u|%s|%ls|%wZ|%S|%hs|%c|%%", -12, 0xABu, 0xABu,
                                 0xFFFFFFFFu, L"COM", L"7", &name, "an", "si", L'!'),
              STATUS_SUCCESS);
    EXPECT_EQ(Text(out), u"-12|ab|AB|4294967295|COM|7|84PRUSB|an|si|!|%");

    // Widths, zero padding and sizes; a LONG is 32 bits with or without l.
    ASSERT_EQ(RtlStringCbPrintfW(out, sizeof out, L"[%5d][%05d][%-4x][%08X][%ld][%I64d][%lu]", 42, -42, 10u,
                                 0xBEEFu, static_cast<LONG>(-1), static_cast<LONGLONG>(1) << 40, 7u),
              STATUS_SUCCESS);
    EXPECT_EQ(Text(out), u"[   42][-0042][a   ][0000BEEF][-1][1099511627776][7]");

    char narrow[64];
    ASSERT_EQ(
        RtlStringCbPrintfA(narrow, sizeof narrow, "%s%d %ls %wZ %S", "COM", 3, L"caf\u00e9", &name, L"w"),
        STATUS_SUCCESS);
    EXPECT_STREQ(narrow, "COM3 caf\xE9 84PRUSB w");
    ASSERT_EQ(RtlStringCchPrintfA(narrow, sizeof narrow, "%s|%wZ", static_cast<PCSTR>(nullptr),
                                  static_cast<PCUNICODE_STRING>(nullptr)),
              STATUS_SUCCESS);
    EXPECT_STREQ(narrow, "(null)|(null)");
}

TEST(SafeStringTest, TooLongResultsAreCutAndStillTerminated)
{
    WCHAR out[4];
    for (auto& c : out)
        c = L'#';
    EXPECT_EQ(RtlStringCbPrintfW(out, sizeof out, L"%s%d", L"COM", 12), STATUS_BUFFER_OVERFLOW);
    EXPECT_EQ(Text(out), u"COM");
    EXPECT_EQ(RtlStringCchPrintfW(out, 4, L"COM"), STATUS_SUCCESS);

    char narrow[3] = {'#', '#', '#'};
    EXPECT_EQ(RtlStringCbPrintfA(narrow, 0, "x"), STATUS_INVALID_PARAMETER);
    EXPECT_EQ(narrow[0], '#');
    EXPECT_EQ(RtlStringCbPrintfW(out, 1, L"x"), STATUS_INVALID_PARAMETER);  // less than one character
    EXPECT_EQ(RtlStringCchCopyA(narrow, sizeof narrow, "COM"), STATUS_BUFFER_OVERFLOW);
    EXPECT_STREQ(narrow, "CO");
    EXPECT_EQ(RtlStringCbCopyW(out, sizeof out, L"abc"), STATUS_SUCCESS);
    EXPECT_EQ(Text(out), u"abc");
    EXPECT_EQ(RtlStringCbCopyA(narrow, sizeof narrow, "ab"), STATUS_SUCCESS);
}

TEST(SafeStringTest, LengthNeedsATerminatorWithinTheLimit)
{
    size_t length = 99;
    EXPECT_EQ(RtlStringCbLengthW(L"COM3", 10, &length), STATUS_SUCCESS);
    EXPECT_EQ(length, 8u);
    EXPECT_EQ(RtlStringCbLengthW(L"COM3", 8, &length), STATUS_INVALID_PARAMETER);
    EXPECT_EQ(length, 0u);
    EXPECT_EQ(RtlStringCchLengthA("COM3", 5, &length), STATUS_SUCCESS);
    EXPECT_EQ(length, 4u);
    EXPECT_EQ(RtlStringCbLengthA(nullptr, 5, &length), STATUS_INVALID_PARAMETER);
}

TEST(SafeStringTest, UnicodeStringPrintfFillsTheBufferWithoutATerminator)
{
    Buffer b(10);
    b.string.Length = 4;  // old contents are replaced, not appended to
    ASSERT_EQ(RtlUnicodeStringPrintf(&b.string, L"COM%d", 12), STATUS_SUCCESS);
    EXPECT_EQ(Text(&b.string), u"COM12");
    EXPECT_EQ(b.storage[5], L'#');
    EXPECT_EQ(RtlUnicodeStringPrintf(&b.string, L"LPT%d", 123), STATUS_BUFFER_OVERFLOW);
    EXPECT_EQ(Text(&b.string), u"LPT12");
    b.string.MaximumLength = 9;
    EXPECT_EQ(RtlUnicodeStringPrintf(&b.string, L"x"), STATUS_INVALID_PARAMETER);
}

}  // namespace
}  // namespace winsim
