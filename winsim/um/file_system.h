// The simulated PC's file system: drive C: in memory, folders and files
// with their bytes, times and, for modules, the version resource the
// resource compiler made for them. Names compare without regard to case and
// keep the case they were created with.
//
// Two kinds of callers: kernel32's functions, which open files with access
// and sharing as Windows checks them, and the machine itself (its set-up, the
// bench), which puts and takes whole files, making folders as needed.
#pragma once

#include <windows.h>

#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "um/calendar.h"

namespace winsim::um {

struct FileNode;

// One open of a file: what a handle to it holds.
struct OpenedFile {
    std::shared_ptr<FileNode> node;
    DWORD access = 0;  // kRead | kWrite | kDelete
    DWORD share = 0;   // FILE_SHARE_*
    ULONGLONG position = 0;
};

// What an open may do with the file, from its desired access.
constexpr DWORD kRead = 1;
constexpr DWORD kWrite = 2;
constexpr DWORD kDelete = 4;

class FileSystem {
public:
    static FileSystem& Instance();

    // An empty C: drive with C:\Windows\system32\drivers, C:\Windows\inf
    // and C:\Program Files.
    void Reset();
    // A copy of the whole drive as it stands, and the drive put back to such
    // a copy (a machine reused for many runs). No file may be open then.
    std::shared_ptr<const FileNode> Snapshot();
    void Restore(const std::shared_ptr<const FileNode>& drive);

    // --- for the machine: folders made as needed, no sharing checks ---
    // The last-write time is now.
    DWORD PutFile(std::string_view path, std::vector<BYTE> bytes);
    DWORD GetFile(std::string_view path, std::vector<BYTE>* bytes);
    DWORD SetLastWriteTime(std::string_view path, FileTimeValue utc);
    DWORD SetVersionResource(std::string_view path, std::vector<BYTE> resource);
    DWORD MakeFolders(std::string_view path);

    // --- for kernel32, with Windows' error codes ---
    // disposition: CREATE_NEW .. TRUNCATE_EXISTING. *existed tells
    // CREATE_ALWAYS and OPEN_ALWAYS callers to report ERROR_ALREADY_EXISTS.
    DWORD Open(std::string_view path, DWORD access, DWORD share, DWORD disposition,
               std::unique_ptr<OpenedFile>* opened, bool* existed);
    // Ends an open's sharing claims.
    void Close(OpenedFile& opened);
    // At `offset`, or at the open's position (which moves on) when null.
    DWORD Read(OpenedFile& opened, void* buffer, DWORD length, const ULONGLONG* offset, DWORD* done);
    DWORD Write(OpenedFile& opened, const void* data, DWORD length, const ULONGLONG* offset, DWORD* done);
    void Times(const OpenedFile& opened, FileTimeValue* creation, FileTimeValue* lastAccess,
               FileTimeValue* lastWrite);
    ULONGLONG Size(const OpenedFile& opened);

    DWORD DeleteFile(std::string_view path);
    DWORD CreateFolder(std::string_view path);
    // Bytes, times and version resource; the copy's folder must exist.
    DWORD CopyFile(std::string_view from, std::string_view to, bool failIfExists);
    // ERROR_RESOURCE_TYPE_NOT_FOUND for a file without one.
    DWORD VersionResource(std::string_view path, std::vector<BYTE>* resource);
    // INVALID_FILE_ATTRIBUTES-style answer: false when nothing is there.
    bool Exists(std::string_view path, bool* isFolder);
    // The names of the files (not folders) in a folder, as they were
    // created; none when there is no such folder.
    std::vector<std::string> FileNames(std::string_view folder);

private:
    FileSystem();
    struct Tree;
    std::mutex lock_;
    std::unique_ptr<Tree> tree_;
};

}  // namespace winsim::um
