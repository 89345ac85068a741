// kernel32's GetCurrentDirectoryA/W and SetCurrentDirectoryA/W over the
// calling process's current directory, and the paths completed from it.
#include <windows.h>

#include <string>

#include "um/file_paths.h"
#include "um/file_system.h"
#include "um/process_paths.h"
#include "um/um_process.h"

namespace winsim::um {

std::string ProcessFilePath(std::string_view text) { return FullFilePath(text, CurrentProcess().CurrentDirectory()); }

std::string ProgramFolder()
{
    const std::string& image = CurrentProcess().ImagePath();
    const size_t folderEnd = image.find_last_of('\\');
    return folderEnd == std::string::npos ? "" : image.substr(0, folderEnd);
}

namespace {

// The characters written without the NUL, or the size needed with it.
template <typename Char>
DWORD CopyCurrentDirectory(DWORD size, Char* buffer)
{
    const std::string folder = CurrentProcess().CurrentDirectory();
    const auto length = static_cast<DWORD>(folder.size());
    if (buffer == nullptr || size <= length) return length + 1;
    for (DWORD i = 0; i <= length; ++i) buffer[i] = static_cast<Char>(static_cast<unsigned char>(folder.c_str()[i]));
    return length;
}

BOOL ChangeCurrentDirectory(const std::string& text)
{
    FilePath path;
    DWORD error = text.empty() ? ERROR_INVALID_NAME : ParseFilePath(ProcessFilePath(text), &path);
    const std::string folder = FormatFilePath(path);
    bool isFolder = false;
    if (error == ERROR_SUCCESS && !FileSystem::Instance().Exists(folder, &isFolder)) error = ERROR_FILE_NOT_FOUND;
    if (error == ERROR_SUCCESS && !isFolder) error = ERROR_DIRECTORY;
    if (error != ERROR_SUCCESS) {
        SetLastError(error);
        return FALSE;
    }
    CurrentProcess().ChangeCurrentDirectory(folder);
    return TRUE;
}

}  // namespace

}  // namespace winsim::um

extern "C" {

DWORD WINAPI GetCurrentDirectoryA(DWORD nBufferLength, LPSTR lpBuffer)
{
    return winsim::um::CopyCurrentDirectory(nBufferLength, lpBuffer);
}

DWORD WINAPI GetCurrentDirectoryW(DWORD nBufferLength, LPWSTR lpBuffer)
{
    return winsim::um::CopyCurrentDirectory(nBufferLength, lpBuffer);
}

BOOL WINAPI SetCurrentDirectoryA(LPCSTR lpPathName)
{
    if (lpPathName == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    return winsim::um::ChangeCurrentDirectory(lpPathName);
}

// Names beyond Latin-1 have no file of the simulated PC.
BOOL WINAPI SetCurrentDirectoryW(LPCWSTR lpPathName)
{
    if (lpPathName == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    std::string text;
    for (const WCHAR* c = lpPathName; *c != 0; ++c) text += *c < 0x100 ? static_cast<char>(*c) : '?';
    return winsim::um::ChangeCurrentDirectory(text);
}

}  // extern "C"
