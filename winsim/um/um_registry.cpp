// advapi32's registry functions over the machine-wide store, as user mode
// sees it: Win32 error codes, the access a key was opened with is enforced,
// intermediate keys are created, and the A functions convert names and
// string data through the ANSI code page.
#include <winreg.h>

#include <cstring>
#include <string>
#include <vector>

#include "nls/nls_tables.h"
#include "registry/key_handle_table.h"
#include "registry/registry_store.h"

using winsim::registry::KeyHandleTable;
using winsim::registry::KeyInfo;
using winsim::registry::KeyRef;
using winsim::registry::Store;
using winsim::registry::Value;

namespace {

// HKEYs count in a range of their own so that another kind of handle passed
// by mistake is not taken for a key.
KeyHandleTable& UserKeyHandles()
{
    static KeyHandleTable table(0x7A000);
    return table;
}

LSTATUS Win32Error(NTSTATUS status)
{
    switch (status) {
    case STATUS_SUCCESS:
        return ERROR_SUCCESS;
    case STATUS_OBJECT_NAME_NOT_FOUND:
        return ERROR_FILE_NOT_FOUND;
    case STATUS_OBJECT_PATH_NOT_FOUND:
        return ERROR_PATH_NOT_FOUND;
    case STATUS_ACCESS_DENIED:
    case STATUS_CANNOT_DELETE:
        return ERROR_ACCESS_DENIED;
    case STATUS_INVALID_HANDLE:
        return ERROR_INVALID_HANDLE;
    case STATUS_NO_MEMORY:
        return ERROR_NOT_ENOUGH_MEMORY;
    case STATUS_OBJECT_NAME_INVALID:
        return ERROR_INVALID_NAME;
    case STATUS_OBJECT_PATH_SYNTAX_BAD:
        return ERROR_BAD_PATHNAME;
    case STATUS_BUFFER_OVERFLOW:
        return ERROR_MORE_DATA;
    case STATUS_BUFFER_TOO_SMALL:
        return ERROR_INSUFFICIENT_BUFFER;
    case STATUS_NO_MORE_ENTRIES:
        return ERROR_NO_MORE_ITEMS;
    case STATUS_KEY_DELETED:
        return ERROR_KEY_DELETED;
    default:
        return ERROR_INVALID_PARAMETER;
    }
}

ACCESS_MASK SpecificAccess(REGSAM sam)
{
    ACCESS_MASK access = sam & ~(GENERIC_READ | GENERIC_WRITE | GENERIC_EXECUTE | GENERIC_ALL |
                                 MAXIMUM_ALLOWED | KEY_WOW64_64KEY | KEY_WOW64_32KEY);
    if (sam & (GENERIC_READ | GENERIC_EXECUTE))
        access |= KEY_READ;
    if (sam & GENERIC_WRITE)
        access |= KEY_WRITE;
    // The machine's one user is an administrator: asking for everything gets it.
    if (sam & (GENERIC_ALL | MAXIMUM_ALLOWED))
        access |= KEY_ALL_ACCESS;
    return access;
}

bool IsPredefined(HKEY hKey)
{
    return hKey == HKEY_LOCAL_MACHINE || hKey == HKEY_CURRENT_USER || hKey == HKEY_CLASSES_ROOT;
}

// The machine's classes; its one user registers none of their own, so the
// merged view Windows gives is the machine's alone.
constexpr std::u16string_view kClassesRootPath = u"\\Registry\\Machine\\Software\\Classes";

// The key behind an HKEY, if it was opened with the access a call needs.
LSTATUS KeyOf(HKEY hKey, ACCESS_MASK needed, KeyRef* key)
{
    if (IsPredefined(hKey)) {
        auto path = hKey == HKEY_LOCAL_MACHINE  ? winsim::registry::kMachinePath
                    : hKey == HKEY_CLASSES_ROOT ? kClassesRootPath
                                                : winsim::registry::kCurrentUserPath;
        return Win32Error(Store::Instance().OpenKey(nullptr, path, key));
    }
    ACCESS_MASK granted = 0;
    if (!UserKeyHandles().Lookup(hKey, key, &granted))
        return ERROR_INVALID_HANDLE;
    return (granted & needed) == needed ? ERROR_SUCCESS : ERROR_ACCESS_DENIED;
}

HKEY NewHandle(KeyRef key, REGSAM sam)
{
    return reinterpret_cast<HKEY>(UserKeyHandles().Insert(std::move(key), SpecificAccess(sam)));
}

std::u16string Widen(const char* text, size_t length)
{
    std::u16string wide(length, u'\0');
    for (size_t i = 0; i < length; ++i)
        wide[i] = winsim::nls::AnsiToUnicode(static_cast<UCHAR>(text[i]));
    return wide;
}

std::u16string Widen(LPCSTR text)
{
    return text == nullptr ? std::u16string() : Widen(text, std::strlen(text));
}

std::string Narrow(const std::u16string& text)
{
    std::string narrow(text.size(), '\0');
    for (size_t i = 0; i < text.size(); ++i)
        narrow[i] = winsim::nls::UnicodeToAnsi(text[i]);
    return narrow;
}

bool IsText(ULONG type)
{
    return type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ;
}

// Value data as the A functions hand it out: text in the ANSI code page.
std::vector<UCHAR> AnsiData(const Value& value)
{
    if (!IsText(value.type))
        return value.data;
    std::u16string text(value.data.size() / sizeof(WCHAR), u'\0');
    if (!text.empty())
        std::memcpy(text.data(), value.data.data(), text.size() * sizeof(WCHAR));
    std::string narrow = Narrow(text);
    return std::vector<UCHAR>(narrow.begin(), narrow.end());
}

// Hands out data the way every Reg query does: the size alone without a
// buffer, ERROR_MORE_DATA and the size needed with one that is too small.
LSTATUS DeliverData(const std::vector<UCHAR>& data, LPBYTE lpData, LPDWORD lpcbData)
{
    if (lpcbData == nullptr)
        return ERROR_SUCCESS;
    auto size = static_cast<DWORD>(data.size());
    if (lpData != nullptr && *lpcbData < size) {
        *lpcbData = size;
        return ERROR_MORE_DATA;
    }
    if (lpData != nullptr && size != 0)
        std::memcpy(lpData, data.data(), size);
    *lpcbData = size;
    return ERROR_SUCCESS;
}

// Copies a name into a buffer of *capacity characters with its NUL; the
// count that comes back leaves the NUL out.
LSTATUS DeliverName(const std::u16string& name, LPSTR buffer, LPDWORD capacity)
{
    std::string narrow = Narrow(name);
    if (narrow.size() + 1 > *capacity)
        return ERROR_MORE_DATA;
    std::memcpy(buffer, narrow.c_str(), narrow.size() + 1);
    *capacity = static_cast<DWORD>(narrow.size());
    return ERROR_SUCCESS;
}

void PutFileTime(LONGLONG time, PFILETIME fileTime)
{
    if (fileTime == nullptr)
        return;
    fileTime->dwLowDateTime = static_cast<DWORD>(time);
    fileTime->dwHighDateTime = static_cast<DWORD>(static_cast<ULONGLONG>(time) >> 32);
}

}  // namespace

extern "C" {

LSTATUS APIENTRY RegOpenKeyExA(HKEY hKey, LPCSTR lpSubKey, DWORD ulOptions, REGSAM samDesired,
                               PHKEY phkResult)
{
    if (phkResult == nullptr)
        return ERROR_INVALID_PARAMETER;
    KeyRef base, key;
    LSTATUS error = KeyOf(hKey, 0, &base);
    if (error != ERROR_SUCCESS)
        return error;
    if (IsPredefined(hKey) && (lpSubKey == nullptr || *lpSubKey == 0)) {
        *phkResult = hKey;
        return ERROR_SUCCESS;
    }
    error = Win32Error(Store::Instance().OpenKey(base, Widen(lpSubKey), &key));
    if (error == ERROR_SUCCESS)
        *phkResult = NewHandle(key, samDesired);
    return error;
}

LSTATUS APIENTRY RegCreateKeyExA(HKEY hKey, LPCSTR lpSubKey, DWORD Reserved, LPSTR lpClass, DWORD dwOptions,
                                 REGSAM samDesired, LPSECURITY_ATTRIBUTES lpSecurityAttributes,
                                 PHKEY phkResult, LPDWORD lpdwDisposition)
{
    // The machine keeps no security descriptors and never writes the
    // registry to disk, so the security attributes and volatility do nothing.
    if (phkResult == nullptr)
        return ERROR_INVALID_PARAMETER;
    KeyRef base, key;
    LSTATUS error = KeyOf(hKey, 0, &base);
    if (error != ERROR_SUCCESS)
        return error;
    bool created = false;
    error =
        Win32Error(Store::Instance().CreateKeyPath(base, Widen(lpSubKey), Widen(lpClass), &key, &created));
    if (error != ERROR_SUCCESS)
        return error;
    *phkResult = NewHandle(key, samDesired);
    if (lpdwDisposition != nullptr)
        *lpdwDisposition = created ? REG_CREATED_NEW_KEY : REG_OPENED_EXISTING_KEY;
    return ERROR_SUCCESS;
}

LSTATUS APIENTRY RegQueryValueExA(HKEY hKey, LPCSTR lpValueName, LPDWORD lpReserved, LPDWORD lpType,
                                  LPBYTE lpData, LPDWORD lpcbData)
{
    if (lpReserved != nullptr || (lpData != nullptr && lpcbData == nullptr))
        return ERROR_INVALID_PARAMETER;
    KeyRef key;
    LSTATUS error = KeyOf(hKey, KEY_QUERY_VALUE, &key);
    if (error != ERROR_SUCCESS)
        return error;
    Value value;
    error = Win32Error(Store::Instance().QueryValue(key, Widen(lpValueName), &value));
    if (error != ERROR_SUCCESS)
        return error;
    if (lpType != nullptr)
        *lpType = value.type;
    return DeliverData(AnsiData(value), lpData, lpcbData);
}

// The 16-bit form: a subkey's unnamed value as text. A key without one reads
// as the empty string, as every key had a value in the 16-bit registry.
LSTATUS APIENTRY RegQueryValueA(HKEY hKey, LPCSTR lpSubKey, LPSTR lpData, PLONG lpcbData)
{
    if (lpData != nullptr && lpcbData == nullptr)
        return ERROR_INVALID_PARAMETER;
    KeyRef key;
    LSTATUS error = KeyOf(hKey, KEY_QUERY_VALUE, &key);
    if (error == ERROR_SUCCESS && lpSubKey != nullptr && *lpSubKey != 0)
        error = Win32Error(Store::Instance().OpenKey(key, Widen(lpSubKey), &key));
    if (error != ERROR_SUCCESS)
        return error;
    Value value;
    error = Win32Error(Store::Instance().QueryValue(key, u"", &value));
    std::vector<UCHAR> text;
    if (error == ERROR_SUCCESS) {
        if (!IsText(value.type))
            return ERROR_INVALID_DATA;
        text = AnsiData(value);
    } else if (error != ERROR_FILE_NOT_FOUND) {
        return error;
    }
    if (text.empty() || text.back() != 0)
        text.push_back(0);
    DWORD size = lpcbData != nullptr ? static_cast<DWORD>(*lpcbData) : 0;
    error = DeliverData(text, reinterpret_cast<LPBYTE>(lpData), lpcbData != nullptr ? &size : nullptr);
    if (lpcbData != nullptr)
        *lpcbData = static_cast<LONG>(size);
    return error;
}

LSTATUS APIENTRY RegSetValueExA(HKEY hKey, LPCSTR lpValueName, DWORD Reserved, DWORD dwType,
                                const BYTE* lpData, DWORD cbData)
{
    if (lpData == nullptr && cbData != 0)
        return ERROR_INVALID_PARAMETER;
    KeyRef key;
    LSTATUS error = KeyOf(hKey, KEY_SET_VALUE, &key);
    if (error != ERROR_SUCCESS)
        return error;
    std::u16string name = Widen(lpValueName);
    if (!IsText(dwType))
        return Win32Error(Store::Instance().SetValue(key, name, dwType, lpData, cbData));
    std::u16string text = Widen(reinterpret_cast<const char*>(lpData), cbData);
    return Win32Error(
        Store::Instance().SetValue(key, name, dwType, text.data(), text.size() * sizeof(WCHAR)));
}

LSTATUS APIENTRY RegEnumKeyExA(HKEY hKey, DWORD dwIndex, LPSTR lpName, LPDWORD lpcchName, LPDWORD lpReserved,
                               LPSTR lpClass, LPDWORD lpcchClass, PFILETIME lpftLastWriteTime)
{
    if (lpName == nullptr || lpcchName == nullptr || lpReserved != nullptr ||
        (lpClass != nullptr && lpcchClass == nullptr)) {
        return ERROR_INVALID_PARAMETER;
    }
    KeyRef key;
    LSTATUS error = KeyOf(hKey, KEY_ENUMERATE_SUB_KEYS, &key);
    if (error != ERROR_SUCCESS)
        return error;
    KeyInfo subkey;
    error = Win32Error(Store::Instance().EnumerateKey(key, dwIndex, &subkey));
    if (error != ERROR_SUCCESS)
        return error;
    if (subkey.name.size() + 1 > *lpcchName)
        return ERROR_MORE_DATA;
    if (lpClass != nullptr && subkey.className.size() + 1 > *lpcchClass)
        return ERROR_MORE_DATA;
    DeliverName(subkey.name, lpName, lpcchName);
    if (lpClass != nullptr)
        DeliverName(subkey.className, lpClass, lpcchClass);
    PutFileTime(subkey.lastWriteTime, lpftLastWriteTime);
    return ERROR_SUCCESS;
}

LSTATUS APIENTRY RegEnumValueA(HKEY hKey, DWORD dwIndex, LPSTR lpValueName, LPDWORD lpcchValueName,
                               LPDWORD lpReserved, LPDWORD lpType, LPBYTE lpData, LPDWORD lpcbData)
{
    if (lpValueName == nullptr || lpcchValueName == nullptr || lpReserved != nullptr ||
        (lpData != nullptr && lpcbData == nullptr)) {
        return ERROR_INVALID_PARAMETER;
    }
    KeyRef key;
    LSTATUS error = KeyOf(hKey, KEY_QUERY_VALUE, &key);
    if (error != ERROR_SUCCESS)
        return error;
    Value value;
    error = Win32Error(Store::Instance().EnumerateValue(key, dwIndex, &value));
    if (error != ERROR_SUCCESS)
        return error;
    error = DeliverName(value.name, lpValueName, lpcchValueName);
    if (error != ERROR_SUCCESS)
        return error;
    if (lpType != nullptr)
        *lpType = value.type;
    return DeliverData(AnsiData(value), lpData, lpcbData);
}

LSTATUS APIENTRY RegDeleteKeyA(HKEY hKey, LPCSTR lpSubKey)
{
    // A key with subkeys is refused (ERROR_ACCESS_DENIED): callers delete trees
    // from the leaves up.
    if (lpSubKey == nullptr)
        return ERROR_INVALID_PARAMETER;
    KeyRef base, key;
    LSTATUS error = KeyOf(hKey, 0, &base);
    if (error == ERROR_SUCCESS)
        error = Win32Error(Store::Instance().OpenKey(base, Widen(lpSubKey), &key));
    if (error == ERROR_SUCCESS)
        error = Win32Error(Store::Instance().DeleteKey(key));
    return error;
}

LSTATUS APIENTRY RegDeleteValueA(HKEY hKey, LPCSTR lpValueName)
{
    KeyRef key;
    LSTATUS error = KeyOf(hKey, KEY_SET_VALUE, &key);
    if (error != ERROR_SUCCESS)
        return error;
    return Win32Error(Store::Instance().DeleteValue(key, Widen(lpValueName)));
}

LSTATUS APIENTRY RegCloseKey(HKEY hKey)
{
    if (IsPredefined(hKey))
        return ERROR_SUCCESS;
    return UserKeyHandles().Remove(hKey) ? ERROR_SUCCESS : ERROR_INVALID_HANDLE;
}

LSTATUS APIENTRY RegQueryInfoKeyA(HKEY hKey, LPSTR lpClass, LPDWORD lpcchClass, LPDWORD lpReserved,
                                  LPDWORD lpcSubKeys, LPDWORD lpcbMaxSubKeyLen, LPDWORD lpcbMaxClassLen,
                                  LPDWORD lpcValues, LPDWORD lpcbMaxValueNameLen, LPDWORD lpcbMaxValueLen,
                                  LPDWORD lpcbSecurityDescriptor, PFILETIME lpftLastWriteTime)
{
    // Name and class lengths come back in characters without the NUL, data
    // lengths in bytes.
    if (lpReserved != nullptr || (lpClass != nullptr && lpcchClass == nullptr))
        return ERROR_INVALID_PARAMETER;
    KeyRef key;
    LSTATUS error = KeyOf(hKey, KEY_QUERY_VALUE, &key);
    if (error != ERROR_SUCCESS)
        return error;
    KeyInfo info;
    error = Win32Error(Store::Instance().QueryKey(key, &info));
    if (error != ERROR_SUCCESS)
        return error;
    if (lpClass != nullptr) {
        error = DeliverName(info.className, lpClass, lpcchClass);
        if (error != ERROR_SUCCESS)
            *lpcchClass = static_cast<DWORD>(info.className.size());
    }
    if (lpcSubKeys != nullptr)
        *lpcSubKeys = info.subkeys;
    if (lpcbMaxSubKeyLen != nullptr)
        *lpcbMaxSubKeyLen = info.maxSubkeyNameBytes / sizeof(WCHAR);
    if (lpcbMaxClassLen != nullptr)
        *lpcbMaxClassLen = info.maxSubkeyClassBytes / sizeof(WCHAR);
    if (lpcValues != nullptr)
        *lpcValues = info.values;
    if (lpcbMaxValueNameLen != nullptr)
        *lpcbMaxValueNameLen = info.maxValueNameBytes / sizeof(WCHAR);
    if (lpcbMaxValueLen != nullptr)
        *lpcbMaxValueLen = info.maxValueDataBytes;
    // No security descriptors on this machine.
    if (lpcbSecurityDescriptor != nullptr)
        *lpcbSecurityDescriptor = 0;
    PutFileTime(info.lastWriteTime, lpftLastWriteTime);
    return error;
}

}  // extern "C"
