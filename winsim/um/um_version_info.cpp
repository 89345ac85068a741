// version.dll's GetFileVersionInfoSizeA, GetFileVersionInfoA and
// VerQueryValueA. As on Windows, the buffer holds the resource as compiled
// (UTF-16 strings), a signature, and as much room again, where the ANSI
// function puts the strings it converts.
#include <windows.h>

#include <algorithm>
#include <cstring>
#include <string>

#include "um/file_paths.h"
#include "um/file_system.h"
#include "um/process_paths.h"
#include "um/um_process.h"
#include "um/version_resource.h"

namespace winsim::um {

namespace {

constexpr char kSignature[4] = {'F', 'E', '2', 'X'};

// A bare file name is a module's, looked for as LoadLibrary looks: the
// program's folder, the system folder, the Windows folder, then the current
// directory.
DWORD FindVersionResource(std::string_view name, std::vector<BYTE>* resource)
{
    FileSystem& fs = FileSystem::Instance();
    if (name.find_first_of("\\/:") != std::string_view::npos) return fs.VersionResource(ProcessFilePath(name), resource);
    std::vector<std::string> folders;
    if (const std::string program = ProgramFolder(); !program.empty()) folders.push_back(program);
    folders.push_back("C:\\Windows\\system32");
    folders.push_back("C:\\Windows");
    folders.push_back(CurrentProcess().CurrentDirectory());
    DWORD error = ERROR_FILE_NOT_FOUND;
    for (const std::string& folder : folders) {
        error = fs.VersionResource(FullFilePath(name, folder), resource);
        if (error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND) return error;
    }
    return error;
}

// The resource, cut to its root block's length; 0 and the error otherwise.
size_t LoadVersionResource(LPCSTR name, std::vector<BYTE>* resource)
{
    if (name == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    DWORD error = FindVersionResource(name, resource);
    const size_t length = error == ERROR_SUCCESS ? VersionResourceLength(resource->data(), resource->size()) : 0;
    if (error == ERROR_SUCCESS && length == 0) error = ERROR_RESOURCE_DATA_NOT_FOUND;
    if (error != ERROR_SUCCESS) {
        SetLastError(error);
        return 0;
    }
    resource->resize(length);
    return length;
}

// The characters of a UTF-16 value up to its NUL.
size_t CharactersOf(const BYTE* text, size_t bytes)
{
    size_t chars = 0;
    while (2 * chars + 1 < bytes && (text[2 * chars] | text[2 * chars + 1]) != 0) ++chars;
    return chars;
}

// UTF-16 to the ANSI code page (Latin-1 as far as it goes, "?" beyond).
void ToAnsi(const BYTE* text, size_t chars, char* out)
{
    for (size_t i = 0; i < chars; ++i) {
        const unsigned c = text[2 * i] | (text[2 * i + 1] << 8);
        out[i] = c < 0x100 ? static_cast<char>(c) : '?';
    }
    out[chars] = '\0';
}

}  // namespace

}  // namespace winsim::um

extern "C" {

DWORD WINAPI GetFileVersionInfoSizeA(LPCSTR lptstrFilename, LPDWORD lpdwHandle)
{
    if (lpdwHandle != nullptr) *lpdwHandle = 0;
    std::vector<BYTE> resource;
    const size_t length = winsim::um::LoadVersionResource(lptstrFilename, &resource);
    return length == 0 ? 0 : static_cast<DWORD>(length * 2 + sizeof winsim::um::kSignature);
}

BOOL WINAPI GetFileVersionInfoA(LPCSTR lptstrFilename, DWORD dwHandle, DWORD dwLen, LPVOID lpData)
{
    UNREFERENCED_PARAMETER(dwHandle);
    if (lpData == nullptr) {
        SetLastError(ERROR_INVALID_DATA);
        return FALSE;
    }
    std::vector<BYTE> resource;
    const size_t length = winsim::um::LoadVersionResource(lptstrFilename, &resource);
    if (length == 0) return FALSE;
    auto* out = static_cast<BYTE*>(lpData);
    std::memcpy(out, resource.data(), std::min<size_t>(dwLen, length));
    if (dwLen >= length + sizeof winsim::um::kSignature) {
        std::memcpy(out + length, winsim::um::kSignature, sizeof winsim::um::kSignature);
    }
    return TRUE;
}

BOOL WINAPI VerQueryValueA(LPCVOID pBlock, LPCSTR lpSubBlock, LPVOID* lplpBuffer, PUINT puLen)
{
    if (pBlock == nullptr || lplpBuffer == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    const auto* block = static_cast<const BYTE*>(pBlock);
    // The root's own length says how far the block goes.
    const size_t length = block[0] | (block[1] << 8);
    winsim::um::VersionValue value;
    if (!winsim::um::FindVersionValue(block, length, lpSubBlock != nullptr ? lpSubBlock : "\\", &value)) {
        *lplpBuffer = nullptr;
        if (puLen != nullptr) *puLen = 0;
        SetLastError(ERROR_RESOURCE_TYPE_NOT_FOUND);
        return FALSE;
    }
    UINT size = static_cast<UINT>(value.bytes);
    if (value.text) {
        // Into the room after the signature, at the string's own offset: the
        // room is as long as the resource and an ANSI string half as long as
        // its UTF-16 form. Only an empty value at the very end needs moving
        // back for its NUL.
        const size_t chars = winsim::um::CharactersOf(value.data, value.bytes);
        const size_t offset = std::min<size_t>(value.data - block, length - chars - 1);
        char* ansi = const_cast<char*>(reinterpret_cast<const char*>(block)) + length +
                     sizeof winsim::um::kSignature + offset;
        winsim::um::ToAnsi(value.data, chars, ansi);
        size = value.bytes == 0 ? 0 : static_cast<UINT>(chars + 1);
        *lplpBuffer = ansi;
    } else {
        *lplpBuffer = const_cast<BYTE*>(value.data);
    }
    if (puLen != nullptr) *puLen = size;
    return TRUE;
}

}  // extern "C"
