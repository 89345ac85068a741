#include "install_folder.h"

#include <stdio.h>

#include "common/win32_user.h"

namespace {

constexpr const char* kAppPathsKey = "Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\T84PRAsst.exe";
constexpr DWORD kPathBytes = 261;

bool InstallationFolder(std::string* folder)
{
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kAppPathsKey, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) return false;
    char path[kPathBytes + 1];
    DWORD size = kPathBytes;
    const LONG result = RegQueryValueExA(key, "Path", nullptr, nullptr, reinterpret_cast<BYTE*>(path), &size);
    RegCloseKey(key);
    if (result != ERROR_SUCCESS) {
        printf("RegQueryValueEx failed: %d\n", static_cast<int>(result));
        return false;
    }
    path[size < kPathBytes ? size : kPathBytes] = '\0';
    *folder = std::string(path) + "\\";
    return true;
}

}  // namespace

bool DriverFolder(std::string* folder)
{
    if (!InstallationFolder(folder)) {
        printf("GetQTRappPath failed.\n");
        return false;
    }
    *folder += "driver\\";
    return true;
}
