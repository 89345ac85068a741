// winsim user-mode headers: FILETIME and SYSTEMTIME conversions.
#pragma once

#include "windef.h"

extern "C" {

// Fails with ERROR_INVALID_PARAMETER for a FILETIME with its top bit set.
WINBASEAPI BOOL WINAPI FileTimeToSystemTime(const FILETIME* lpFileTime, LPSYSTEMTIME lpSystemTime);
// Fails with ERROR_INVALID_PARAMETER for fields out of range.
WINBASEAPI BOOL WINAPI SystemTimeToFileTime(const SYSTEMTIME* lpSystemTime, LPFILETIME lpFileTime);

}  // extern "C"
