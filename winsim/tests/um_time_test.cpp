// The PC's local clock and kernel32's time conversions.
#include <windows.h>

#include "um_test_fixture.h"
#include "um/file_system.h"
#include "um/local_clock.h"

namespace winsim::test {
namespace {

using LocalTimeTest = UserModeTest;

SYSTEMTIME Date(WORD year, WORD month, WORD day, WORD hour = 0, WORD minute = 0, WORD second = 0)
{
    return SYSTEMTIME{year, month, 0, day, hour, minute, second, 0};
}

TEST_F(LocalTimeTest, TheClockStartsAtItsDateAndRunsWithVirtualTime)
{
    SYSTEMTIME now;
    GetLocalTime(&now);
    EXPECT_EQ(now.wYear, 2026);
    EXPECT_EQ(now.wMonth, 1);
    EXPECT_EQ(now.wDay, 5);
    EXPECT_EQ(now.wDayOfWeek, 1) << "a Monday";
    EXPECT_EQ(now.wHour, 9);
    EXPECT_EQ(now.wMinute, 0);
    GetSystemTime(&now);
    EXPECT_EQ(now.wHour, 8) << "the zone is an hour east of UTC";

    Sleep(90 * 60 * 1000);
    GetLocalTime(&now);
    EXPECT_EQ(now.wHour, 10);
    EXPECT_EQ(now.wMinute, 30);

    FILETIME local;
    SYSTEMTIME newYear = Date(2027, 12, 31, 23, 59, 59);
    ASSERT_TRUE(SystemTimeToFileTime(&newYear, &local));
    um::SetLocalNow(um::ValueOf(local));
    Sleep(1000);
    GetLocalTime(&now);
    EXPECT_EQ(now.wYear, 2028);
    EXPECT_EQ(now.wMonth, 1);
    EXPECT_EQ(now.wDay, 1);
    EXPECT_EQ(now.wHour, 0);
    EXPECT_EQ(now.wSecond, 0);
}

TEST_F(LocalTimeTest, AFilesLastWriteTimeIsUtcAndConvertsToTheLocalTimeItWasWritten)
{
    Sleep(5 * 60 * 1000);
    HANDLE file = CreateFileA("C:\\stamp.txt", GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD written;
    WriteFile(file, "x", 1, &written, nullptr);
    FILETIME utc;
    FILETIME local;
    SYSTEMTIME date;
    ASSERT_TRUE(GetFileTime(file, nullptr, nullptr, &utc));
    CloseHandle(file);
    ASSERT_TRUE(FileTimeToSystemTime(&utc, &date));
    EXPECT_EQ(date.wHour, 8);
    EXPECT_EQ(date.wMinute, 5);
    ASSERT_TRUE(FileTimeToLocalFileTime(&utc, &local));
    ASSERT_TRUE(FileTimeToSystemTime(&local, &date));
    EXPECT_EQ(date.wHour, 9);
    EXPECT_EQ(date.wMinute, 5);
    FILETIME back;
    ASSERT_TRUE(LocalFileTimeToFileTime(&local, &back));
    EXPECT_EQ(um::ValueOf(back), um::ValueOf(utc));
}

TEST_F(LocalTimeTest, ConversionsRefuseWhatIsNoTime)
{
    FILETIME time;
    SYSTEMTIME date = Date(2024, 2, 29);
    EXPECT_TRUE(SystemTimeToFileTime(&date, &time)) << "2024 is a leap year";
    date = Date(2100, 2, 29);
    EXPECT_FALSE(SystemTimeToFileTime(&date, &time)) << "2100 is not";
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    date = Date(2026, 13, 1);
    EXPECT_FALSE(SystemTimeToFileTime(&date, &time));
    date = Date(1600, 12, 31);
    EXPECT_FALSE(SystemTimeToFileTime(&date, &time));
    date = Date(2026, 1, 5, 24);
    EXPECT_FALSE(SystemTimeToFileTime(&date, &time));

    time = um::FileTimeOf(0x8000'0000'0000'0000ULL);
    EXPECT_FALSE(FileTimeToSystemTime(&time, &date));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
}

TEST_F(LocalTimeTest, DatesSurviveTheRoundTripAcrossTheWholeRange)
{
    const SYSTEMTIME dates[] = {Date(1601, 1, 1),           Date(1700, 2, 28, 23, 59, 59), Date(1900, 3, 1),
                                Date(2000, 2, 29, 12, 0, 1), Date(2026, 1, 5, 9),         Date(2099, 12, 31, 23, 59, 59),
                                Date(30827, 12, 31, 23, 59, 59)};
    for (const SYSTEMTIME& date : dates) {
        FILETIME time;
        SYSTEMTIME back;
        ASSERT_TRUE(SystemTimeToFileTime(&date, &time)) << date.wYear;
        ASSERT_TRUE(FileTimeToSystemTime(&time, &back)) << date.wYear;
        EXPECT_EQ(back.wYear, date.wYear);
        EXPECT_EQ(back.wMonth, date.wMonth);
        EXPECT_EQ(back.wDay, date.wDay);
        EXPECT_EQ(back.wHour, date.wHour);
        EXPECT_EQ(back.wSecond, date.wSecond);
    }
    FILETIME origin = um::FileTimeOf(0);
    SYSTEMTIME first;
    ASSERT_TRUE(FileTimeToSystemTime(&origin, &first));
    EXPECT_EQ(first.wDayOfWeek, 1) << "1601-01-01 was a Monday";
}

}  // namespace
}  // namespace winsim::test
