// The time of day and kernel32's time conversions, in the PC's fixed zone.
#include <windows.h>

#include "um/local_clock.h"

using winsim::um::FileTimeOf;
using winsim::um::FileTimeValue;
using winsim::um::ValueOf;

extern "C" {

void WINAPI GetSystemTimeAsFileTime(LPFILETIME lpSystemTimeAsFileTime)
{
    *lpSystemTimeAsFileTime = FileTimeOf(winsim::um::UtcNow());
}

void WINAPI GetSystemTime(LPSYSTEMTIME lpSystemTime) { winsim::um::DateOf(winsim::um::UtcNow(), lpSystemTime); }

void WINAPI GetLocalTime(LPSYSTEMTIME lpSystemTime) { winsim::um::DateOf(winsim::um::LocalNow(), lpSystemTime); }

BOOL WINAPI FileTimeToLocalFileTime(const FILETIME* lpFileTime, LPFILETIME lpLocalFileTime)
{
    *lpLocalFileTime = FileTimeOf(winsim::um::LocalFromUtc(ValueOf(*lpFileTime)));
    return TRUE;
}

BOOL WINAPI LocalFileTimeToFileTime(const FILETIME* lpLocalFileTime, LPFILETIME lpFileTime)
{
    *lpFileTime = FileTimeOf(winsim::um::UtcFromLocal(ValueOf(*lpLocalFileTime)));
    return TRUE;
}

BOOL WINAPI FileTimeToSystemTime(const FILETIME* lpFileTime, LPSYSTEMTIME lpSystemTime)
{
    if (!winsim::um::DateOf(ValueOf(*lpFileTime), lpSystemTime)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    return TRUE;
}

BOOL WINAPI SystemTimeToFileTime(const SYSTEMTIME* lpSystemTime, LPFILETIME lpFileTime)
{
    FileTimeValue value;
    if (!winsim::um::ValueOfDate(*lpSystemTime, &value)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    *lpFileTime = FileTimeOf(value);
    return TRUE;
}

}  // extern "C"
