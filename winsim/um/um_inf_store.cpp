// SetupAPI's INF store: SetupCopyOEMInfA copies a driver INF into the
// Windows INF folder as oemN.inf, the lowest free N; a file whose bytes are
// there already under such a name gets that name again.
#include <setupapi.h>
#include <winbase.h>

#include <cctype>
#include <cstring>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "pnp/inf_file.h"
#include "pnp/inf_package.h"
#include "um/file_system.h"

using winsim::um::FileSystem;

namespace {

// Longest N an oemN.inf name may carry here; the lowest free N stays far
// below it.
constexpr size_t kMostOemDigits = 9;

std::string InfFolder()
{
    char windows[MAX_PATH] = {};
    GetWindowsDirectoryA(windows, MAX_PATH);
    return std::string(windows) + "\\INF\\";
}

// N of a name the store would give (oemN.inf, any case, no leading zero),
// else -1.
int OemNumber(const std::string& name)
{
    std::string lower = name;
    for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    constexpr std::string_view kPrefix = "oem";
    constexpr std::string_view kSuffix = ".inf";
    if (lower.size() <= kPrefix.size() + kSuffix.size() ||
        lower.size() > kPrefix.size() + kMostOemDigits + kSuffix.size() || !lower.starts_with(kPrefix) ||
        !lower.ends_with(kSuffix)) {
        return -1;
    }
    const std::string digits = lower.substr(kPrefix.size(), lower.size() - kPrefix.size() - kSuffix.size());
    if (digits.find_first_not_of("0123456789") != std::string::npos || (digits[0] == '0' && digits.size() > 1)) {
        return -1;
    }
    return std::stoi(digits);
}

// The store's name for these bytes: the oemN.inf of lowest N that holds
// them, else the one of lowest free N: one look at the folder, not a try
// per name.
std::string StoreName(const std::vector<BYTE>& bytes, bool* present)
{
    FileSystem& files = FileSystem::Instance();
    const std::string folder = InfFolder();
    std::map<int, std::string> stored;
    for (const std::string& name : files.FileNames(folder)) {
        if (const int n = OemNumber(name); n >= 0) stored.emplace(n, name);
    }
    for (const auto& [n, name] : stored) {
        std::vector<BYTE> held;
        if (files.GetFile(folder + name, &held) == ERROR_SUCCESS && held == bytes) {
            *present = true;
            return folder + name;
        }
    }
    int free = 0;
    while (stored.count(free) != 0) ++free;
    *present = false;
    return folder + "oem" + std::to_string(free) + ".inf";
}

// Gives the caller the store's name for the INF: its size always, the name
// and its file part only when the buffer holds them. False when it does not.
bool ReportStoreName(const std::string& path, PSTR name, DWORD nameSize, PDWORD requiredSize, PSTR* component)
{
    if (requiredSize != nullptr) *requiredSize = static_cast<DWORD>(path.size() + 1);
    if (name == nullptr) return true;
    if (nameSize < path.size() + 1) return false;
    std::memcpy(name, path.c_str(), path.size() + 1);
    if (component != nullptr) *component = name + path.rfind('\\') + 1;
    return true;
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
    bool present = false;
    const std::string path = StoreName(bytes, &present);
    if (present && (CopyStyle & SP_COPY_NOOVERWRITE) != 0) {
        // Refused, yet the caller learns which stored INF holds these bytes.
        ReportStoreName(path, DestinationInfFileName, DestinationInfFileNameSize, RequiredSize,
                        DestinationInfFileNameComponent);
        SetLastError(ERROR_FILE_EXISTS);
        return FALSE;
    }
    if (!present && (CopyStyle & SP_COPY_REPLACEONLY) != 0) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return FALSE;
    }
    if (!ReportStoreName(path, DestinationInfFileName, DestinationInfFileNameSize, RequiredSize,
                         DestinationInfFileNameComponent)) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return FALSE;
    }
    if (!present) {
        if (DWORD error = FileSystem::Instance().PutFile(path, bytes); error != ERROR_SUCCESS) {
            SetLastError(error);
            return FALSE;
        }
    }
    SetLastError(ERROR_SUCCESS);
    return TRUE;
}
