// kernel32's ReadFile, WriteFile and GetOverlappedResult over the I/O
// manager's file requests, or the file system's for its files.
#include <windows.h>

#include "um/um_disk_file.h"
#include "um/um_io.h"
#include "um/um_status.h"

extern "C" {

BOOL WINAPI ReadFile(HANDLE hFile, LPVOID lpBuffer, DWORD nNumberOfBytesToRead, LPDWORD lpNumberOfBytesRead,
                     LPOVERLAPPED lpOverlapped)
{
    if (lpNumberOfBytesRead != nullptr) *lpNumberOfBytesRead = 0;
    if (winsim::um::IsDiskFileHandle(hFile)) {
        return winsim::um::ReadDiskFile(hFile, lpBuffer, nNumberOfBytesToRead, lpNumberOfBytesRead, lpOverlapped);
    }
    winsim::io::FileRequest request;
    request.majorFunction = IRP_MJ_READ;
    request.outputBuffer = lpBuffer;
    request.outputLength = nNumberOfBytesToRead;
    return winsim::um::IssueHandleRequest(hFile, request, lpNumberOfBytesRead, lpOverlapped);
}

BOOL WINAPI WriteFile(HANDLE hFile, LPCVOID lpBuffer, DWORD nNumberOfBytesToWrite, LPDWORD lpNumberOfBytesWritten,
                      LPOVERLAPPED lpOverlapped)
{
    if (lpNumberOfBytesWritten != nullptr) *lpNumberOfBytesWritten = 0;
    if (winsim::um::IsDiskFileHandle(hFile)) {
        return winsim::um::WriteDiskFile(hFile, lpBuffer, nNumberOfBytesToWrite, lpNumberOfBytesWritten,
                                         lpOverlapped);
    }
    winsim::io::FileRequest request;
    request.majorFunction = IRP_MJ_WRITE;
    request.inputBuffer = const_cast<LPVOID>(lpBuffer);
    request.inputLength = nNumberOfBytesToWrite;
    return winsim::um::IssueHandleRequest(hFile, request, lpNumberOfBytesWritten, lpOverlapped);
}

BOOL WINAPI GetOverlappedResult(HANDLE hFile, LPOVERLAPPED lpOverlapped, LPDWORD lpNumberOfBytesTransferred,
                                BOOL bWait)
{
    if (lpOverlapped == nullptr || lpNumberOfBytesTransferred == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    // The completing thread publishes the status last (release): read it
    // first (acquire), the count after it.
    if (static_cast<NTSTATUS>(__atomic_load_n(&lpOverlapped->Internal, __ATOMIC_ACQUIRE)) == STATUS_PENDING) {
        if (!bWait) {
            SetLastError(ERROR_IO_INCOMPLETE);
            return FALSE;
        }
        // Without an event of its own the request signals the file.
        HANDLE waitOn = lpOverlapped->hEvent != nullptr ? lpOverlapped->hEvent : hFile;
        if (WaitForSingleObject(waitOn, INFINITE) != WAIT_OBJECT_0) return FALSE;
    }
    *lpNumberOfBytesTransferred = static_cast<DWORD>(lpOverlapped->InternalHigh);
    const auto status = static_cast<NTSTATUS>(lpOverlapped->Internal);
    if (!NT_SUCCESS(status)) {
        winsim::SetLastErrorFromNtStatus(status);
        return FALSE;
    }
    return TRUE;
}

}  // extern "C"
