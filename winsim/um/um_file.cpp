// CreateFileA, CloseHandle and DeviceIoControl over the I/O manager.
#include <windows.h>

#include <string_view>

#include "km/io_manager.h"
#include "km/io_strings.h"
#include "um/file_paths.h"
#include "um/um_disk_file.h"
#include "um/um_handles.h"
#include "um/um_io.h"
#include "um/um_status.h"

namespace {

using winsim::io::OpenParameters;

constexpr ACCESS_MASK kFileReadAttributes = 0x0080;
constexpr DWORD kFileAttributeValidFlags = 0x00007FA7;

// \\.\NAME and \\?\NAME name objects in \??; so does a DOS device name
// such as COM1. Other paths are files (um_disk_file.cpp).
std::u16string NtPathOf(std::string_view path)
{
    if (path.size() >= 4 && path[0] == '\\' && path[1] == '\\' && (path[2] == '.' || path[2] == '?') &&
        path[3] == '\\') {
        path.remove_prefix(4);
    }
    return u"\\??\\" + winsim::io::FromAscii(path);
}

bool DispositionOf(DWORD creationDisposition, ULONG* disposition)
{
    switch (creationDisposition) {
    case CREATE_NEW:
        *disposition = winsim::io::kFileCreate;
        return true;
    case CREATE_ALWAYS:
        *disposition = winsim::io::kFileOverwriteIf;
        return true;
    case OPEN_EXISTING:
        *disposition = winsim::io::kFileOpen;
        return true;
    case OPEN_ALWAYS:
        *disposition = winsim::io::kFileOpenIf;
        return true;
    case TRUNCATE_EXISTING:
        *disposition = winsim::io::kFileOverwrite;
        return true;
    default:
        return false;
    }
}

}  // namespace

extern "C" {

HANDLE WINAPI CreateFileA(LPCSTR lpFileName, DWORD dwDesiredAccess, DWORD dwShareMode,
                          LPSECURITY_ATTRIBUTES lpSecurityAttributes, DWORD dwCreationDisposition,
                          DWORD dwFlagsAndAttributes, HANDLE hTemplateFile)
{
    UNREFERENCED_PARAMETER(lpSecurityAttributes);
    UNREFERENCED_PARAMETER(hTemplateFile);
    OpenParameters parameters;
    if (lpFileName == nullptr || !DispositionOf(dwCreationDisposition, &parameters.disposition)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return INVALID_HANDLE_VALUE;
    }
    if (winsim::um::IsFileSystemPath(lpFileName)) {
        return winsim::um::CreateDiskFile(lpFileName, dwDesiredAccess, dwShareMode, dwCreationDisposition);
    }
    parameters.desiredAccess = dwDesiredAccess | SYNCHRONIZE | kFileReadAttributes;
    parameters.shareAccess = static_cast<USHORT>(dwShareMode);
    parameters.fileAttributes = static_cast<USHORT>(dwFlagsAndAttributes & kFileAttributeValidFlags);
    parameters.createOptions = winsim::io::kFileNonDirectoryFile;
    if ((dwFlagsAndAttributes & FILE_FLAG_OVERLAPPED) == 0) {
        parameters.createOptions |= winsim::io::kFileSynchronousIoNonAlert;
    }
    if ((dwFlagsAndAttributes & FILE_FLAG_WRITE_THROUGH) != 0) {
        parameters.createOptions |= winsim::io::kFileWriteThrough;
    }
    if ((dwFlagsAndAttributes & FILE_FLAG_NO_BUFFERING) != 0) {
        parameters.createOptions |= winsim::io::kFileNoIntermediateBuffering;
    }
    PFILE_OBJECT file;
    NTSTATUS status = winsim::io::OpenFile(NtPathOf(lpFileName), parameters, &file);
    if (!NT_SUCCESS(status)) {
        winsim::SetLastErrorFromNtStatus(status);
        return INVALID_HANDLE_VALUE;
    }
    HANDLE handle = winsim::um::InsertHandle(winsim::um::HandleKind::kFile, file);
    if (handle == nullptr) {
        winsim::io::CleanupFile(file);
        ObDereferenceObject(file);
        winsim::SetLastErrorFromNtStatus(STATUS_INSUFFICIENT_RESOURCES);
        return INVALID_HANDLE_VALUE;
    }
    SetLastError(ERROR_SUCCESS);
    return handle;
}

BOOL WINAPI CloseHandle(HANDLE hObject)
{
    winsim::um::HandleObject object;
    if (!winsim::um::RemoveHandle(hObject, &object)) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    winsim::um::ReleaseHandleObject(object);
    return TRUE;
}

BOOL WINAPI DeviceIoControl(HANDLE hDevice, DWORD dwIoControlCode, LPVOID lpInBuffer, DWORD nInBufferSize,
                            LPVOID lpOutBuffer, DWORD nOutBufferSize, LPDWORD lpBytesReturned,
                            LPOVERLAPPED lpOverlapped)
{
    winsim::io::FileRequest request;
    request.majorFunction = IRP_MJ_DEVICE_CONTROL;
    request.ioControlCode = dwIoControlCode;
    request.inputBuffer = lpInBuffer;
    request.inputLength = nInBufferSize;
    request.outputBuffer = lpOutBuffer;
    request.outputLength = nOutBufferSize;
    return winsim::um::IssueHandleRequest(hDevice, request, lpBytesReturned, lpOverlapped);
}

}  // extern "C"
