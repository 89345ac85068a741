// Words, numbers, durations and data of bench scripts.
#include <gtest/gtest.h>

#include "script_values.h"

namespace bench {
namespace {

TEST(ScriptWords, QuotedTextKeepsBlanksEscapesAndQuotes)
{
    auto words = SplitScriptLine("write COM3 \"a b\\r\\n\\x41\\\"\"  # trailing comment");
    ASSERT_EQ(words.size(), 3u);
    EXPECT_EQ(words[0], "write");
    EXPECT_EQ(words[2], "\"a b\r\nA\"\"");
    EXPECT_TRUE(SplitScriptLine("   # only a comment").empty());
    EXPECT_EQ(SplitScriptLine("say \"#not a comment\"")[1], "\"#not a comment\"");
}

TEST(ScriptWords, AQuotedValueKeepsItsBlanksInsideOneWord)
{
    auto words = SplitScriptLine("plug A1 firmware=\"app:Oct 01 Ver 1.0.700\" ports=2");
    ASSERT_EQ(words.size(), 4u);
    EXPECT_EQ(words[2], "firmware=\"app:Oct 01 Ver 1.0.700\"");
    EXPECT_EQ(SplitKeyValue(words[2]).value, "app:Oct 01 Ver 1.0.700");
    EXPECT_EQ(SplitKeyValue("text=\"\"").value, "");
}

TEST(ScriptWords, MalformedQuotesAreErrors)
{
    EXPECT_THROW(SplitScriptLine("write COM3 \"open"), CommandError);
    EXPECT_THROW(SplitScriptLine("write COM3 \"\\q\""), CommandError);
    EXPECT_THROW(SplitScriptLine("write COM3 \"\\x4\""), CommandError);
}

TEST(ScriptWords, PrintedTextReadsBackAsTheSameText)
{
    std::string every;
    for (int byte = 1; byte < 256; ++byte) every.push_back(static_cast<char>(byte));
    for (const std::string& text : {every, std::string("HKLM\\System\\COM Name Arbiter"), std::string()}) {
        const std::vector<std::string> words = SplitScriptLine("reg get " + QuoteText(text) + " tail");
        ASSERT_EQ(words.size(), 4u);
        EXPECT_EQ(words[2], "\"" + text + "\"");
    }
    EXPECT_EQ(QuoteText("a\\b \"c\"\n"), "\"a\\\\b \\\"c\\\"\\n\"");
    // A bare word is read as it stands, backslashes and all.
    EXPECT_EQ(PrintableWord("HKLM\\Software\\Demo"), "HKLM\\Software\\Demo");
    EXPECT_EQ(SplitScriptLine("reg get HKLM\\Software\\Demo")[2], "HKLM\\Software\\Demo");
    EXPECT_EQ(PrintableWord("Two Words"), "\"Two Words\"");
    EXPECT_EQ(PrintableWord("#first"), "\"#first\"");
    EXPECT_EQ(PrintableWord(""), "\"\"");
}

TEST(ScriptNumbers, DecimalAndHexWithRangeChecks)
{
    EXPECT_EQ(ParseNumber("921600"), 921600u);
    EXPECT_EQ(ParseNumber("0x222C44"), 0x222C44u);
    EXPECT_EQ(ParseNumber("0XfF"), 255u);
    EXPECT_THROW(ParseNumber("12a"), CommandError);
    EXPECT_THROW(ParseNumber("0x"), CommandError);
    EXPECT_THROW(ParseNumber(""), CommandError);
    EXPECT_THROW(ParseNumber("-1"), CommandError);
    EXPECT_THROW(ParseNumber("18446744073709551616"), CommandError);
    EXPECT_THROW(ParseNumber("5", 4), CommandError);
    EXPECT_EQ(ParseNumber("4", 4), 4u);
}

TEST(ScriptDurations, UnitsGiveHundredNanosecondTicks)
{
    EXPECT_EQ(ParseDuration("10ms"), 100'000);
    EXPECT_EQ(ParseDuration("2s"), 20'000'000);
    EXPECT_EQ(ParseDuration("500us"), 5'000);
    EXPECT_EQ(ParseDuration("24h"), 24LL * 36'000'000'000LL);
    EXPECT_THROW(ParseDuration("10"), CommandError);
    EXPECT_THROW(ParseDuration("ms"), CommandError);
    EXPECT_THROW(ParseDuration("1.5s"), CommandError);
    EXPECT_THROW(ParseDuration("99999999999999999h"), CommandError);
}

TEST(ScriptData, TextAndHexBytes)
{
    EXPECT_EQ(ParseData("\"hi\""), (std::vector<uint8_t>{'h', 'i'}));
    EXPECT_EQ(ParseData("hex:0d0A"), (std::vector<uint8_t>{0x0d, 0x0a}));
    EXPECT_TRUE(ParseData("hex:").empty());
    EXPECT_THROW(ParseData("hex:0"), CommandError);
    EXPECT_THROW(ParseData("hex:zz"), CommandError);
    EXPECT_THROW(ParseData("bare"), CommandError);
    const uint8_t bytes[] = {0x00, 0xab, 0x7f};
    EXPECT_EQ(FormatBytes(bytes, 3), "00 ab 7f");
    EXPECT_EQ(FormatBytes(bytes, 0), "");
}

TEST(ScriptKeyValues, SplitsAtTheFirstEquals)
{
    KeyValue kv = SplitKeyValue("baud=115200");
    EXPECT_EQ(kv.key, "baud");
    EXPECT_EQ(kv.value, "115200");
    EXPECT_EQ(SplitKeyValue("a=b=c").value, "b=c");
    EXPECT_THROW(SplitKeyValue("=1"), CommandError);
    EXPECT_THROW(SplitKeyValue("baud"), CommandError);
}

}  // namespace
}  // namespace bench
