#include "um/calendar.h"

namespace winsim::um {

namespace {

constexpr LONGLONG kDaysFrom1601To1970 = 134'774;
constexpr WORD kLastYear = 30827;
// A FILETIME is a signed quantity to the system: the top bit set is no time.
constexpr FileTimeValue kLargestFileTime = 0x7FFF'FFFF'FFFF'FFFF;

bool IsLeap(LONGLONG year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

WORD DaysInMonth(WORD year, WORD month)
{
    constexpr WORD kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && IsLeap(year) ? 29 : kDays[month - 1];
}

// Days since 1970-01-01 of a civil date, and back (H. Hinnant's algorithms).
LONGLONG DaysFromCivil(LONGLONG y, unsigned m, unsigned d)
{
    y -= m <= 2;
    const LONGLONG era = (y >= 0 ? y : y - 399) / 400;
    const auto yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<LONGLONG>(doe) - 719468;
}

void CivilFromDays(LONGLONG z, LONGLONG* y, unsigned* m, unsigned* d)
{
    z += 719468;
    const LONGLONG era = (z >= 0 ? z : z - 146096) / 146097;
    const auto doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    *d = doy - (153 * mp + 2) / 5 + 1;
    *m = mp < 10 ? mp + 3 : mp - 9;
    *y = static_cast<LONGLONG>(yoe) + era * 400 + (*m <= 2);
}

}  // namespace

bool DateOf(FileTimeValue value, SYSTEMTIME* date)
{
    if (value > kLargestFileTime) return false;
    constexpr FileTimeValue kPerDay = 24 * kFileTimePerHour;
    const auto days = static_cast<LONGLONG>(value / kPerDay);
    FileTimeValue rest = value % kPerDay;
    LONGLONG year;
    unsigned month;
    unsigned day;
    CivilFromDays(days - kDaysFrom1601To1970, &year, &month, &day);
    date->wYear = static_cast<WORD>(year);
    date->wMonth = static_cast<WORD>(month);
    date->wDay = static_cast<WORD>(day);
    // 1601-01-01 was a Monday.
    date->wDayOfWeek = static_cast<WORD>((days + 1) % 7);
    date->wHour = static_cast<WORD>(rest / kFileTimePerHour);
    rest %= kFileTimePerHour;
    date->wMinute = static_cast<WORD>(rest / kFileTimePerMinute);
    rest %= kFileTimePerMinute;
    date->wSecond = static_cast<WORD>(rest / kFileTimePerSecond);
    date->wMilliseconds = static_cast<WORD>(rest % kFileTimePerSecond / 10'000);
    return true;
}

bool ValueOfDate(const SYSTEMTIME& date, FileTimeValue* value)
{
    if (date.wYear < 1601 || date.wYear > kLastYear || date.wMonth < 1 || date.wMonth > 12 || date.wDay < 1 ||
        date.wDay > DaysInMonth(date.wYear, date.wMonth) || date.wHour > 23 || date.wMinute > 59 ||
        date.wSecond > 59 || date.wMilliseconds > 999) {
        return false;
    }
    const LONGLONG days = DaysFromCivil(date.wYear, date.wMonth, date.wDay) + kDaysFrom1601To1970;
    *value = static_cast<FileTimeValue>(days) * 24 * kFileTimePerHour + date.wHour * kFileTimePerHour +
             date.wMinute * kFileTimePerMinute + date.wSecond * kFileTimePerSecond +
             static_cast<FileTimeValue>(date.wMilliseconds) * 10'000;
    return true;
}

}  // namespace winsim::um
