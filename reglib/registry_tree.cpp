#include "registry_tree.h"

namespace {

constexpr DWORD kNameChars = 256;

}  // namespace

LONG DeleteKeyTree(HKEY parent, const char* name)
{
    if (name == nullptr || name[0] == '\0') return ERROR_BADKEY;
    HKEY key = nullptr;
    LONG result = RegOpenKeyExA(parent, name, 0, DELETE | KEY_ENUMERATE_SUB_KEYS, &key);
    if (result != ERROR_SUCCESS) return result;
    do {
        char child[kNameChars];
        DWORD length = kNameChars;
        result = RegEnumKeyExA(key, 0, child, &length, nullptr, nullptr, nullptr, nullptr);
        if (result == ERROR_NO_MORE_ITEMS) {
            result = RegDeleteKeyA(parent, name);
            break;
        }
        if (result != ERROR_SUCCESS) break;
        result = DeleteKeyTree(key, child);
    } while (result == ERROR_SUCCESS);
    RegCloseKey(key);
    return result;
}
