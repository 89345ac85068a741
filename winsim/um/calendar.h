// FILETIME values and calendar dates, both ways (the proleptic Gregorian
// calendar Windows uses from 1601 on).
#pragma once

#include <windows.h>

namespace winsim::um {

// 100 ns units since 1601-01-01 00:00.
using FileTimeValue = ULONGLONG;

constexpr FileTimeValue kFileTimePerSecond = 10'000'000;
constexpr FileTimeValue kFileTimePerMinute = 60 * kFileTimePerSecond;
constexpr FileTimeValue kFileTimePerHour = 60 * kFileTimePerMinute;

inline FileTimeValue ValueOf(const FILETIME& time)
{
    return (static_cast<FileTimeValue>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
}
inline FILETIME FileTimeOf(FileTimeValue value)
{
    return FILETIME{static_cast<DWORD>(value), static_cast<DWORD>(value >> 32)};
}

// False for a value with its top bit set.
bool DateOf(FileTimeValue value, SYSTEMTIME* date);
// False for fields out of range (month 1-12, a day the month has, hour
// below 24, ...); wDayOfWeek is not looked at.
bool ValueOfDate(const SYSTEMTIME& date, FileTimeValue* value);

}  // namespace winsim::um
