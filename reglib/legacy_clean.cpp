#include "legacy_clean.h"

#include <stdio.h>

#include <string>

#include "common/win32_user.h"
#include "common/usb_ids.h"
#include "registry_tree.h"

namespace {

constexpr const char* kMapKey = "Enum\\TESSARY\\*QTR84PXMAP";
// Two earlier products of the vendor that shared the map.
constexpr const char* kUsbEnumKeys[] = {"Enum\\USB\\" QTR_USB_VID_TEXT "&PID_0811",
                                        "Enum\\USB\\" QTR_USB_VID_TEXT "&PID_0821"};
constexpr const char* kClassKey = "System\\CurrentControlSet\\Services\\Class";
constexpr const char* kServiceKey = "System\\CurrentControlSet\\Services\\Tessary\\QTR84PX";
constexpr DWORD kNameChars = 256;
constexpr DWORD kDriverBytes = 256;

// The "Driver" value of an open key: the name of its software key under
// the class key.
bool DriverOf(HKEY key, std::string* driver)
{
    char text[kDriverBytes + 1];
    DWORD size = kDriverBytes;
    DWORD type = 0;
    if (RegQueryValueExA(key, "Driver", nullptr, &type, reinterpret_cast<BYTE*>(text), &size) != ERROR_SUCCESS ||
        type != REG_SZ) {
        return false;
    }
    text[size < kDriverBytes ? size : kDriverBytes] = '\0';
    *driver = text;
    return !driver->empty();
}

void DeleteSoftwareKey(const std::string& driver)
{
    DeleteKeyTree(HKEY_LOCAL_MACHINE, (std::string(kClassKey) + "\\" + driver).c_str());
}

// Calls visit(name, key) for each subkey of the open key, in index order.
template <typename Visit>
void ForEachSubkey(HKEY key, Visit visit)
{
    for (DWORD index = 0;; ++index) {
        char name[kNameChars];
        DWORD length = kNameChars;
        if (RegEnumKeyExA(key, index, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) return;
        HKEY subkey = nullptr;
        if (RegOpenKeyExA(key, name, 0, KEY_READ, &subkey) != ERROR_SUCCESS) continue;
        visit(index, name, subkey);
        RegCloseKey(subkey);
    }
}

bool CleanMapKey()
{
    HKEY map = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kMapKey, 0, KEY_READ, &map) != ERROR_SUCCESS) return false;
    ForEachSubkey(map, [](DWORD index, const char* name, HKEY subkey) {
        printf("RegEnumKeyEx returning:%03d for %d %s\n", 0, static_cast<int>(index), name);
        std::string driver;
        if (!DriverOf(subkey, &driver)) return;
        DeleteSoftwareKey(driver);
        printf("Deleting: %s\n", driver.c_str());
    });
    RegCloseKey(map);
    return true;
}

bool CleanUsbEnumKey(const char* path)
{
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path, 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
    ForEachSubkey(key, [](DWORD, const char*, HKEY instance) {
        std::string driver;
        if (DriverOf(instance, &driver)) DeleteSoftwareKey(driver);
    });
    RegCloseKey(key);
    return true;
}

}  // namespace

int LegacyClean()
{
    int failed = 0;
    if (!CleanMapKey()) ++failed;
    CleanUsbEnumKey(kUsbEnumKeys[0]);
    if (!CleanUsbEnumKey(kUsbEnumKeys[1])) ++failed;
    const LONG map = DeleteKeyTree(HKEY_LOCAL_MACHINE, kMapKey);
    const LONG service = DeleteKeyTree(HKEY_LOCAL_MACHINE, kServiceKey);
    if (map != ERROR_SUCCESS || service != ERROR_SUCCESS) ++failed;
    for (const char* path : kUsbEnumKeys) DeleteKeyTree(HKEY_LOCAL_MACHINE, path);
    return failed;
}
