// NTSTATUS and Win32 error codes as user mode sees and prints them: the
// translation kernel32 applies (RtlNtStatusToDosError) and the names the
// bench prints, e.g. STATUS_DELETE_PENDING(0xc0000056), ERROR_ACCESS_DENIED(5).
#pragma once

#include <ntdef.h>

#include <string>

namespace winsim {

// ERROR_MR_MID_NOT_FOUND for a status with no translation, as on Windows.
DWORD NtStatusToWin32Error(NTSTATUS status);

// Null for a code without a name.
const char* NtStatusName(NTSTATUS status);
const char* Win32ErrorName(DWORD error);

std::string FormatNtStatus(NTSTATUS status);
std::string FormatWin32Error(DWORD error);

// kernel32's way to fail a call: the thread's last error from the status.
void SetLastErrorFromNtStatus(NTSTATUS status);

}  // namespace winsim
