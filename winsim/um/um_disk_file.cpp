#include "um/um_disk_file.h"

#include <km_io.h>

#include <memory>
#include <string>

#include "km/ob_object.h"
#include "um/file_paths.h"
#include "um/file_system.h"
#include "um/local_clock.h"
#include "um/process_paths.h"
#include "um/um_handles.h"
#include "verifier/pool.h"

namespace winsim::um {

namespace {

constexpr ULONG kTagDiskFile = PoolTag("UmFi");
constexpr ACCESS_MASK kFileReadData = 0x0001;
constexpr ACCESS_MASK kFileWriteData = 0x0002;
constexpr ACCESS_MASK kFileAppendData = 0x0004;

// Signalled for good: a wait on the handle finds its I/O done, as it always is.
struct DiskFileBody {
    KEVENT done;
    OpenedFile* opened;
};

DWORD AccessOf(DWORD desired)
{
    DWORD access = 0;
    if ((desired & (GENERIC_READ | GENERIC_ALL | kFileReadData)) != 0) access |= kRead;
    if ((desired & (GENERIC_WRITE | GENERIC_ALL | kFileWriteData | kFileAppendData)) != 0) access |= kWrite;
    if ((desired & (DELETE | GENERIC_ALL)) != 0) access |= kDelete;
    return access;
}

void DeleteDiskFile(void* body) { delete static_cast<DiskFileBody*>(body)->opened; }

// The handle's open file, with a reference the holder drops.
class DiskFileReference {
public:
    explicit DiskFileReference(HANDLE handle)
    {
        held_ = ReferenceHandle(handle, &object_);
        if (held_ && object_.kind != HandleKind::kDiskFile) {
            ObDereferenceObject(object_.object);
            held_ = false;
        }
    }
    ~DiskFileReference()
    {
        if (held_) ObDereferenceObject(object_.object);
    }
    DiskFileReference(const DiskFileReference&) = delete;
    DiskFileReference& operator=(const DiskFileReference&) = delete;
    OpenedFile* Get() const { return held_ ? static_cast<DiskFileBody*>(object_.object)->opened : nullptr; }

private:
    HandleObject object_{};
    bool held_ = false;
};

BOOL Transfer(HANDLE handle, void* buffer, DWORD length, LPDWORD done, LPOVERLAPPED overlapped, bool reading)
{
    DiskFileReference file(handle);
    if (file.Get() == nullptr) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    ULONGLONG offset = 0;
    if (overlapped != nullptr) offset = (static_cast<ULONGLONG>(overlapped->OffsetHigh) << 32) | overlapped->Offset;
    DWORD count = 0;
    FileSystem& fs = FileSystem::Instance();
    const ULONGLONG* at = overlapped != nullptr ? &offset : nullptr;
    DWORD error = reading ? fs.Read(*file.Get(), buffer, length, at, &count)
                          : fs.Write(*file.Get(), buffer, length, at, &count);
    // A read at the end with an offset given reports the end of the file.
    if (error == ERROR_SUCCESS && reading && overlapped != nullptr && count == 0 && length != 0) {
        error = ERROR_HANDLE_EOF;
    }
    if (done != nullptr) *done = count;
    if (overlapped != nullptr) {
        overlapped->InternalHigh = count;
        overlapped->Internal = static_cast<ULONG_PTR>(error == ERROR_SUCCESS   ? STATUS_SUCCESS
                                                      : error == ERROR_HANDLE_EOF ? STATUS_END_OF_FILE
                                                                                  : STATUS_ACCESS_DENIED);
        if (overlapped->hEvent != nullptr) SetEvent(overlapped->hEvent);
    }
    if (error != ERROR_SUCCESS) {
        SetLastError(error);
        return FALSE;
    }
    return TRUE;
}

}  // namespace

HANDLE CreateDiskFile(LPCSTR path, DWORD desiredAccess, DWORD shareMode, DWORD disposition)
{
    const DWORD access = AccessOf(desiredAccess);
    if (disposition == TRUNCATE_EXISTING && (access & kWrite) == 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return INVALID_HANDLE_VALUE;
    }
    auto* body = static_cast<DiskFileBody*>(
        ob::CreateObject(ob::ObjectType::kDiskFile, sizeof(DiskFileBody), kTagDiskFile, DeleteDiskFile));
    if (body == nullptr) {
        SetLastError(ERROR_NO_SYSTEM_RESOURCES);
        return INVALID_HANDLE_VALUE;
    }
    KeInitializeEvent(&body->done, NotificationEvent, TRUE);
    std::unique_ptr<OpenedFile> opened;
    bool existed = false;
    DWORD error = FileSystem::Instance().Open(ProcessFilePath(path), access, shareMode & (FILE_SHARE_READ | FILE_SHARE_WRITE |
                                                                        FILE_SHARE_DELETE),
                                              disposition, &opened, &existed);
    if (error != ERROR_SUCCESS) {
        ObDereferenceObject(body);
        SetLastError(error);
        return INVALID_HANDLE_VALUE;
    }
    body->opened = opened.release();
    HANDLE handle = InsertHandle(HandleKind::kDiskFile, body);
    if (handle == nullptr) {
        CleanupDiskFile(body);
        ObDereferenceObject(body);
        SetLastError(ERROR_NO_SYSTEM_RESOURCES);
        return INVALID_HANDLE_VALUE;
    }
    const bool reportsExisting = existed && (disposition == CREATE_ALWAYS || disposition == OPEN_ALWAYS);
    SetLastError(reportsExisting ? ERROR_ALREADY_EXISTS : ERROR_SUCCESS);
    return handle;
}

void CleanupDiskFile(PVOID object) { FileSystem::Instance().Close(*static_cast<DiskFileBody*>(object)->opened); }

bool IsDiskFileHandle(HANDLE handle) { return DiskFileReference(handle).Get() != nullptr; }

BOOL ReadDiskFile(HANDLE file, LPVOID buffer, DWORD length, LPDWORD done, LPOVERLAPPED overlapped)
{
    return Transfer(file, buffer, length, done, overlapped, true);
}

BOOL WriteDiskFile(HANDLE file, LPCVOID data, DWORD length, LPDWORD done, LPOVERLAPPED overlapped)
{
    return Transfer(file, const_cast<LPVOID>(data), length, done, overlapped, false);
}

}  // namespace winsim::um

namespace {

// TRUE, or FALSE with the error as the thread's last error.
BOOL Succeeded(DWORD error)
{
    if (error == ERROR_SUCCESS) return TRUE;
    SetLastError(error);
    return FALSE;
}

UINT CopyFolderName(const char* name, LPSTR buffer, UINT size)
{
    const UINT length = static_cast<UINT>(std::char_traits<char>::length(name));
    if (buffer == nullptr || size <= length) return length + 1;
    std::char_traits<char>::copy(buffer, name, length + 1);
    return length;
}

}  // namespace

using winsim::um::FileSystem;
using winsim::um::FileTimeOf;
using winsim::um::FileTimeValue;
using winsim::um::ProcessFilePath;
using winsim::um::ValueOf;

extern "C" {

BOOL WINAPI CreateDirectoryA(LPCSTR lpPathName, LPSECURITY_ATTRIBUTES lpSecurityAttributes)
{
    UNREFERENCED_PARAMETER(lpSecurityAttributes);
    if (lpPathName == nullptr) return Succeeded(ERROR_PATH_NOT_FOUND);
    return Succeeded(FileSystem::Instance().CreateFolder(ProcessFilePath(lpPathName)));
}

BOOL WINAPI DeleteFileA(LPCSTR lpFileName)
{
    if (lpFileName == nullptr) return Succeeded(ERROR_PATH_NOT_FOUND);
    return Succeeded(FileSystem::Instance().DeleteFile(ProcessFilePath(lpFileName)));
}

BOOL WINAPI CopyFileA(LPCSTR lpExistingFileName, LPCSTR lpNewFileName, BOOL bFailIfExists)
{
    if (lpExistingFileName == nullptr || lpNewFileName == nullptr) return Succeeded(ERROR_INVALID_PARAMETER);
    return Succeeded(FileSystem::Instance().CopyFile(ProcessFilePath(lpExistingFileName), ProcessFilePath(lpNewFileName),
                                                     bFailIfExists != FALSE));
}

DWORD WINAPI GetFileAttributesA(LPCSTR lpFileName)
{
    bool folder = false;
    if (lpFileName == nullptr || !FileSystem::Instance().Exists(ProcessFilePath(lpFileName), &folder)) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return INVALID_FILE_ATTRIBUTES;
    }
    return folder ? FILE_ATTRIBUTE_DIRECTORY : FILE_ATTRIBUTE_ARCHIVE;
}

BOOL WINAPI GetFileTime(HANDLE hFile, LPFILETIME lpCreationTime, LPFILETIME lpLastAccessTime,
                        LPFILETIME lpLastWriteTime)
{
    winsim::um::DiskFileReference file(hFile);
    if (file.Get() == nullptr) return Succeeded(ERROR_INVALID_HANDLE);
    FileTimeValue creation;
    FileTimeValue lastAccess;
    FileTimeValue lastWrite;
    FileSystem::Instance().Times(*file.Get(), &creation, &lastAccess, &lastWrite);
    if (lpCreationTime != nullptr) *lpCreationTime = FileTimeOf(creation);
    if (lpLastAccessTime != nullptr) *lpLastAccessTime = FileTimeOf(lastAccess);
    if (lpLastWriteTime != nullptr) *lpLastWriteTime = FileTimeOf(lastWrite);
    return TRUE;
}

DWORD WINAPI GetFileSize(HANDLE hFile, LPDWORD lpFileSizeHigh)
{
    winsim::um::DiskFileReference file(hFile);
    if (file.Get() == nullptr) {
        SetLastError(ERROR_INVALID_HANDLE);
        return INVALID_FILE_SIZE;
    }
    const ULONGLONG size = FileSystem::Instance().Size(*file.Get());
    if (lpFileSizeHigh != nullptr) *lpFileSizeHigh = static_cast<DWORD>(size >> 32);
    SetLastError(ERROR_SUCCESS);
    return static_cast<DWORD>(size);
}

UINT WINAPI GetWindowsDirectoryA(LPSTR lpBuffer, UINT uSize) { return CopyFolderName("C:\\Windows", lpBuffer, uSize); }

UINT WINAPI GetSystemDirectoryA(LPSTR lpBuffer, UINT uSize)
{
    return CopyFolderName("C:\\Windows\\system32", lpBuffer, uSize);
}

}  // extern "C"
