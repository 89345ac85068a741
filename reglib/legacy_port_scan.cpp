#include "legacy_port_scan.h"

#include <string.h>

namespace {

constexpr DWORD kValueBytes = 256;
constexpr DWORD kNameChars = 256;

// "COMn" or "COMnn" (any case); the digits are taken as they come, so the
// number may be anything a character gives.
void MarkPortName(const char* text, BYTE map[kLegacyPortMapSize])
{
    const size_t length = strlen(text);
    int number = 0;
    if (length == 4) number = text[3] - '0';
    if (length == 5) number = (text[3] - '0') * 10 + (text[4] - '0');
    if (number >= 1 && number <= 99) map[number - 1] = 1;
}

bool IsComName(const char* text)
{
    return strlen(text) <= 5 && (text[0] == 'c' || text[0] == 'C') && (text[1] == 'o' || text[1] == 'O') &&
           (text[2] == 'm' || text[2] == 'M');
}

}  // namespace

bool ScanPortNames(HKEY key, BYTE map[kLegacyPortMapSize])
{
    // One byte more than the value may fill, so binary data ends as text.
    char value[kValueBytes + 1];
    DWORD size = kValueBytes;
    DWORD type = 0;
    if (RegQueryValueExA(key, "portname", nullptr, &type, reinterpret_cast<BYTE*>(value), &size) == ERROR_SUCCESS) {
        value[size < kValueBytes ? size : kValueBytes] = '\0';
        if (IsComName(value)) {
            MarkPortName(value, map);
            RegCloseKey(key);
            return true;
        }
    }
    DWORD subkeys = 0;
    bool success = RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, nullptr, nullptr,
                                    nullptr, nullptr, nullptr) == ERROR_SUCCESS;
    for (DWORD index = 0; success && index < subkeys; ++index) {
        char name[kNameChars];
        DWORD length = kNameChars;
        HKEY subkey = nullptr;
        success = RegEnumKeyExA(key, index, name, &length, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS &&
                  RegOpenKeyExA(key, name, 0, KEY_READ, &subkey) == ERROR_SUCCESS && ScanPortNames(subkey, map);
    }
    RegCloseKey(key);
    return success;
}
