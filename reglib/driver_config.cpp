// The COM mapping mode: decimal text in "UseGeoUsbInstance" of the QTR84PR
// service key; 0 (dynamic) when absent.
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "cl84prreg64.h"

namespace {

constexpr const char* kModeKey = "System\\CurrentControlSet\\Services\\QTR84PR";
constexpr const char* kModeValue = "UseGeoUsbInstance";
constexpr DWORD kModeBytes = 10;

}  // namespace

CL84PRREG64_API void WINAPI fnGetDriverConfig(int* mode)
{
    if (mode == nullptr) return;
    *mode = 0;
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kModeKey, 0, KEY_READ, &key) != ERROR_SUCCESS) return;
    // A byte more than is read, so a value without its NUL still ends.
    char text[kModeBytes + 1];
    DWORD size = kModeBytes;
    if (RegQueryValueExA(key, kModeValue, nullptr, nullptr, reinterpret_cast<BYTE*>(text), &size) == ERROR_SUCCESS) {
        text[size < kModeBytes ? size : kModeBytes] = '\0';
        *mode = static_cast<int>(strtol(text, nullptr, 10));
    }
    RegCloseKey(key);
}

CL84PRREG64_API int WINAPI fnSetDriverConfig(unsigned mode)
{
    HKEY key = nullptr;
    char className[] = "";
    const LONG created = RegCreateKeyExA(HKEY_LOCAL_MACHINE, kModeKey, 0, className, REG_OPTION_NON_VOLATILE,
                                         KEY_SET_VALUE, nullptr, &key, nullptr);
    if (created != ERROR_SUCCESS) return created;
    char text[16];
    snprintf(text, sizeof(text), "%d", static_cast<int>(mode));
    if (RegSetValueExA(key, kModeValue, 0, REG_SZ, reinterpret_cast<const BYTE*>(text),
                       static_cast<DWORD>(strlen(text) + 1)) != ERROR_SUCCESS) {
        printf("Set Driver Config failed: %d\n", 1);
    }
    return RegCloseKey(key);
}
