// SetupAPI's INF store: SetupCopyOEMInfA copies a driver INF into the
// Windows INF folder as oemN.inf, the lowest free N; a file whose bytes are
// there already under such a name gets that name again.
#include <setupapi.h>
#include <winbase.h>

#include <cstring>
#include <string>
#include <vector>

#include "pnp/inf_file.h"
#include "pnp/inf_package.h"
#include "um/file_system.h"

using winsim::um::FileSystem;

namespace {

constexpr int kMostOemInfs = 10000;

std::string InfFolder()
{
    char windows[MAX_PATH] = {};
    GetWindowsDirectoryA(windows, MAX_PATH);
    return std::string(windows) + "\\INF\\";
}

// The store's name for these bytes: the oemN.inf that holds them, else the
// first free one. False when the store is full.
bool StoreName(const std::vector<BYTE>& bytes, std::string* path, bool* present)
{
    FileSystem& files = FileSystem::Instance();
    const std::string folder = InfFolder();
    std::string firstFree;
    for (int n = 0; n < kMostOemInfs; ++n) {
        const std::string candidate = folder + "oem" + std::to_string(n) + ".inf";
        std::vector<BYTE> stored;
        if (files.GetFile(candidate, &stored) != ERROR_SUCCESS) {
            if (firstFree.empty()) firstFree = candidate;
            continue;
        }
        if (stored == bytes) {
            *path = candidate;
            *present = true;
            return true;
        }
    }
    *path = firstFree;
    *present = false;
    return !firstFree.empty();
}

}  // namespace

extern "C" BOOL WINAPI SetupCopyOEMInfA(PCSTR SourceInfFileName, PCSTR OEMSourceMediaLocation,
                                        DWORD OEMSourceMediaType, DWORD CopyStyle, PSTR DestinationInfFileName,
                                        DWORD DestinationInfFileNameSize, PDWORD RequiredSize,
                                        PSTR* DestinationInfFileNameComponent)
{
    if (SourceInfFileName == nullptr || OEMSourceMediaType > SPOST_URL) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    std::vector<BYTE> bytes;
    if (DWORD error = FileSystem::Instance().GetFile(SourceInfFileName, &bytes); error != ERROR_SUCCESS) {
        SetLastError(error);
        return FALSE;
    }
    const std::string text(bytes.begin(), bytes.end());
    if (!winsim::pnp::ReadInfPackage(winsim::pnp::InfFile::Parse(text))) {
        SetLastError(ERROR_INVALID_CLASS);  // not a driver INF: no class to install it in
        return FALSE;
    }
    std::string path;
    bool present = false;
    if (!StoreName(bytes, &path, &present)) {
        SetLastError(ERROR_FILE_EXISTS);
        return FALSE;
    }
    if (present && (CopyStyle & SP_COPY_NOOVERWRITE) != 0) {
        SetLastError(ERROR_FILE_EXISTS);
        return FALSE;
    }
    if (!present && (CopyStyle & SP_COPY_REPLACEONLY) != 0) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return FALSE;
    }
    if (RequiredSize != nullptr) *RequiredSize = static_cast<DWORD>(path.size() + 1);
    if (DestinationInfFileName != nullptr && DestinationInfFileNameSize < path.size() + 1) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return FALSE;
    }
    if (!present) {
        if (DWORD error = FileSystem::Instance().PutFile(path, bytes); error != ERROR_SUCCESS) {
            SetLastError(error);
            return FALSE;
        }
    }
    if (DestinationInfFileName != nullptr) {
        std::memcpy(DestinationInfFileName, path.c_str(), path.size() + 1);
        if (DestinationInfFileNameComponent != nullptr) {
            *DestinationInfFileNameComponent = DestinationInfFileName + path.rfind('\\') + 1;
        }
    }
    SetLastError(ERROR_SUCCESS);
    return TRUE;
}
