// Bench commands against a booted machine, through their printed output.
#include <gtest/gtest.h>

#include <sstream>

#include "bench_test.h"

namespace bench {
namespace {

using SessionTest = BenchTest;

TEST_F(SessionTest, RegistrySetGetAndDeleteRoundTrip)
{
    EXPECT_EQ(Run("reg set HKLM\\Software\\Bench Mode dword 0x10"), "");
    EXPECT_TRUE(last);
    Run("reg set HKLM\\Software\\Bench Name sz \"two words\"");
    EXPECT_EQ(Run("reg get HKLM\\Software\\Bench"),
              "reg HKLM\\Software\\Bench Mode dword 16\nreg HKLM\\Software\\Bench Name sz \"two words\"\n");
    EXPECT_EQ(Run("reg get HKLM\\Software\\Bench Name"), "reg HKLM\\Software\\Bench Name sz \"two words\"\n");
    Run("reg del HKLM\\Software\\Bench Mode");
    EXPECT_EQ(Run("reg get HKLM\\Software\\Bench"), "reg HKLM\\Software\\Bench Name sz \"two words\"\n");
    Run("reg del HKLM\\Software\\Bench Name");
    Run("reg del HKLM\\Software\\Bench");
    EXPECT_TRUE(last);
    EXPECT_EQ(Run("reg get HKLM\\Software\\Bench"),
              "error: open HKLM\\Software\\Bench: ERROR_FILE_NOT_FOUND(2)\n");
    EXPECT_FALSE(last);
}

TEST_F(SessionTest, TheDriverServiceKeyIsInstalled)
{
    std::string text = Run("reg get HKLM\\System\\CurrentControlSet\\Services\\84prusb ImagePath");
    EXPECT_EQ(text, "reg HKLM\\System\\CurrentControlSet\\Services\\84prusb ImagePath sz "
                    "\"\\\\SystemRoot\\\\System32\\\\drivers\\\\84prusb64.sys\"\n");
}

TEST_F(SessionTest, APrintedKeyOrTextPastedBackIsTheSame)
{
    Run(R"(plug A)");
    const std::string printed = Run(R"(reg get "HKLM\\System\\CurrentControlSet\\Control\\COM Name Arbiter")");
    ASSERT_EQ(printed.rfind(R"(reg "HKLM\\System\\CurrentControlSet\\Control\\COM Name Arbiter" ComDB binary )", 0), 0u)
        << printed;
    // The key word as printed, given back as input.
    const std::string key = printed.substr(4, printed.find("\" ComDB") + 1 - 4);
    EXPECT_EQ(Run("reg get " + key + " ComDB"), printed);
    Run(R"(reg set HKLM\Software\Bench Text sz "say \"hi\"\tC:\\x")");
    const std::string text = Run(R"(reg get HKLM\Software\Bench Text)");
    EXPECT_EQ(text, R"(reg HKLM\Software\Bench Text sz "say \"hi\"\tC:\\x")" "\n");
    Run("reg set HKLM\\Software\\Bench Copy sz " + text.substr(text.find('"'), text.rfind('"') - text.find('"') + 1));
    EXPECT_EQ(Run(R"(reg get HKLM\Software\Bench Copy)"), R"(reg HKLM\Software\Bench Copy sz "say \"hi\"\tC:\\x")" "\n");
}

TEST_F(SessionTest, PoolShowsTheDriversRegistryPathCopy)
{
    std::string text = Run("pool");
    // The loaded driver keeps one allocation: its copy of the service key path.
    EXPECT_NE(text.find("pool BulK 1 "), std::string::npos) << text;
    EXPECT_NE(text.find("pool total "), std::string::npos);
}

TEST_F(SessionTest, WaitMovesVirtualTimeOnly)
{
    auto before = session.Machine().Sim().Now();
    EXPECT_EQ(Run("wait 2s"), "");
    EXPECT_EQ(session.Machine().Sim().Now() - before, 20'000'000);
}

TEST_F(SessionTest, WaitRefusesToRunTheClockPastItsEnd)
{
    EXPECT_EQ(Run("wait 100000000h"), "");  // about 11,400 years
    const auto before = session.Machine().Sim().Now();
    EXPECT_EQ(Run("wait 100000000h"), "error: wait 100000000h would run the machine's clock past its end\n");
    EXPECT_EQ(session.Machine().Sim().Now(), before);
    EXPECT_EQ(Run("wait 2s"), "");
}

TEST_F(SessionTest, BadInputIsAnErrorNeverIgnored)
{
    EXPECT_EQ(Run("frobnicate"), "error: unknown command 'frobnicate'\n");
    EXPECT_EQ(Run("wait"), "error: usage: wait DURATION\n");
    EXPECT_EQ(Run("wait 5 s"), "error: usage: wait DURATION\n");
    EXPECT_EQ(Run("reg set HKCU\\X a sz b"), "error: KEY must start with HKLM\\, not HKCU\\X\n");
    EXPECT_EQ(Run("reg set HKLM\\X a word b"), "error: the type must be sz or dword, not word\n");
    EXPECT_EQ(Run("pool extra"), "error: usage: pool\n");
    EXPECT_FALSE(last);
    EXPECT_EQ(Run(""), "");
    EXPECT_TRUE(last);
}

}  // namespace
}  // namespace bench

namespace bench {
namespace {

using AdapterCommandsTest = BenchTest;

TEST_F(AdapterCommandsTest, PlugEjectReplugAndUnplugLeaveThePoolAsItWas)
{
    const std::string before = PoolTotal();
    EXPECT_EQ(Run("plug A1"), "plugged A1\nadapter A1 slot=0 com=3,4,5,6\n");
    EXPECT_NE(PoolTotal(), before);
    EXPECT_EQ(Run("eject A1"), "ejected A1\n");
    // Still in its port after the eject: a second eject is refused, a plug
    // pulls it out and puts it back.
    EXPECT_EQ(Run("eject A1"), "error: A1 is already ejected\n");
    EXPECT_EQ(Run("plug A1"), "plugged A1\nadapter A1 slot=0 com=3,4,5,6\n");
    EXPECT_EQ(Run("unplug A1"), "unplugged A1\n");
    EXPECT_TRUE(last);
    EXPECT_EQ(PoolTotal(), before);
}

TEST_F(AdapterCommandsTest, MistakesAreErrorsThatChangeNothing)
{
    EXPECT_EQ(Run("unplug A1"), "error: A1 is not plugged\n");
    EXPECT_FALSE(last);
    EXPECT_EQ(Run("plug A-1"), "error: an adapter name is letters and digits, not A-1\n");
    EXPECT_EQ(Run("plug"), "error: usage: plug NAME\n");
    EXPECT_EQ(Run("plug A1 colour=red"), "error: plug has no option colour\n");
    Run("plug A1");
    EXPECT_EQ(Run("plug A1"), "error: A1 is already plugged\n");
    EXPECT_EQ(Run("unplug A1 now"), "error: usage: unplug NAME\n");
    EXPECT_EQ(Run("unplug A1"), "unplugged A1\n");
}

}  // namespace
}  // namespace bench
