// Handles to files of the file system: kernel32's side of file_system.h.
#pragma once

#include <windows.h>

namespace winsim::um {

// CreateFileA for a path IsFileSystemPath accepts.
HANDLE CreateDiskFile(LPCSTR path, DWORD desiredAccess, DWORD shareMode, DWORD disposition);
// Ends the handle's sharing claims (its object may live on a while).
void CleanupDiskFile(PVOID object);

// ReadFile and WriteFile on such a handle; they complete at once, an
// OVERLAPPED's status block and event included.
BOOL ReadDiskFile(HANDLE file, LPVOID buffer, DWORD length, LPDWORD done, LPOVERLAPPED overlapped);
BOOL WriteDiskFile(HANDLE file, LPCVOID data, DWORD length, LPDWORD done, LPOVERLAPPED overlapped);
bool IsDiskFileHandle(HANDLE handle);

}  // namespace winsim::um
