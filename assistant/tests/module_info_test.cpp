// What the module list shows of a file: its date on the 12-hour clock and "?" for what is missing.
#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "assistant/app/module_info.h"
#include "bench_session.h"

namespace {

std::string At(WORD hour, WORD minute)
{
    SYSTEMTIME time{};
    time.wYear = 2026;
    time.wMonth = 1;
    time.wDay = 5;
    time.wHour = hour;
    time.wMinute = minute;
    return assistant::ModuleDateText(time);
}

TEST(ModuleDateTest, MidnightHourReadsZeroZeroInTheMorning)
{
    EXPECT_EQ(At(0, 30), "01/05/2026 00:30 AM");
}

TEST(ModuleDateTest, NoonHourReadsTwelveInTheAfternoon)
{
    EXPECT_EQ(At(12, 30), "01/05/2026 12:30 PM");
}

TEST(ModuleDateTest, AfternoonHoursCountFromOne)
{
    EXPECT_EQ(At(13, 5), "01/05/2026 01:05 PM");
    EXPECT_EQ(At(23, 59), "01/05/2026 11:59 PM");
}

TEST(ModuleDateTest, MorningHoursStayAsTheyAre)
{
    EXPECT_EQ(At(1, 0), "01/05/2026 01:00 AM");
    EXPECT_EQ(At(11, 45), "01/05/2026 11:45 AM");
}

}  // namespace

namespace {

// Files of the simulated PC, put there as the bench's `file` commands do.
class ModuleFileTest : public ::testing::Test {
protected:
    void Bench(const std::string& line) { ASSERT_TRUE(session.RunLine(line)) << out.str(); }

    std::ostringstream out;
    bench::Session session{out, bench::SessionOptions{}};
};

TEST_F(ModuleFileTest, AMissingFileHasNeitherVersionNorDate)
{
    EXPECT_EQ(assistant::ModuleVersionText("C:\\Windows\\system32\\drivers\\84prport64.sys"), "?");
    EXPECT_EQ(assistant::ModuleFileDateText("C:\\Windows\\system32\\drivers\\84prport64.sys"), "?");
}

TEST_F(ModuleFileTest, AFileWithoutVersionResourceStillHasItsDate)
{
    Bench("file put C:\\Windows\\system32\\drivers\\84prport64.sys \"MZ\"");
    Bench("file time C:\\Windows\\system32\\drivers\\84prport64.sys 2026-01-05 13:05");
    EXPECT_EQ(assistant::ModuleVersionText("C:\\Windows\\system32\\drivers\\84prport64.sys"), "?");
    EXPECT_EQ(assistant::ModuleFileDateText("C:\\Windows\\system32\\drivers\\84prport64.sys"), "01/05/2026 01:05 PM");
}

TEST_F(ModuleFileTest, TheDateIsTheLocalLastWriteTime)
{
    Bench("file put C:\\Tools\\a.dll \"MZ\"");
    Bench("file time C:\\Tools\\a.dll 2026-03-01 00:30");
    EXPECT_EQ(assistant::ModuleFileDateText("C:\\Tools\\a.dll"), "03/01/2026 00:30 AM");
    Bench("file time C:\\Tools\\a.dll 2026-03-01 12:30");
    EXPECT_EQ(assistant::ModuleFileDateText("C:\\Tools\\a.dll"), "03/01/2026 12:30 PM");
}

}  // namespace
