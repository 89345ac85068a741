// SetupAPI's device information sets: a class's devices are the instance
// keys under Enum whose "ClassGUID" names it, so phantom devices (unplugged,
// their keys kept) belong to a set as present ones do; DIGCF_PRESENT keeps
// those the PnP manager has a present node for.
#include <setupapi.h>
#include <winbase.h>

#include <cstdio>
#include <cstring>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "km/io_strings.h"
#include "pnp/device_installer.h"
#include "pnp/device_uninstaller.h"
#include "pnp/pnp_manager.h"
#include "registry/registry_store.h"

using winsim::registry::Store;

namespace {

struct DeviceInfoSet {
    std::vector<std::u16string> instancePaths;  // members in enumeration order
};

std::mutex& SetLock()
{
    static std::mutex lock;
    return lock;
}

std::set<DeviceInfoSet*>& LiveSets()
{
    static std::set<DeviceInfoSet*> sets;
    return sets;
}

DeviceInfoSet* SetOf(HDEVINFO handle)
{
    std::lock_guard lk(SetLock());
    auto* set = static_cast<DeviceInfoSet*>(handle);
    return LiveSets().count(set) != 0 ? set : nullptr;
}

std::u16string GuidText(const GUID& guid)
{
    char text[40];
    std::snprintf(text, sizeof text, "{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}", guid.Data1, guid.Data2,
                  guid.Data3, guid.Data4[0], guid.Data4[1], guid.Data4[2], guid.Data4[3], guid.Data4[4],
                  guid.Data4[5], guid.Data4[6], guid.Data4[7]);
    return winsim::io::FromAscii(text);
}

bool ParseGuid(const std::u16string& text, GUID* guid)
{
    const std::string ascii = winsim::io::ToAscii(text);
    unsigned int d1 = 0, d2 = 0, d3 = 0, b[8] = {};
    if (std::sscanf(ascii.c_str(), "{%8x-%4x-%4x-%2x%2x-%2x%2x%2x%2x%2x%2x}", &d1, &d2, &d3, &b[0], &b[1], &b[2],
                    &b[3], &b[4], &b[5], &b[6], &b[7]) != 11) {
        return false;
    }
    guid->Data1 = d1;
    guid->Data2 = static_cast<USHORT>(d2);
    guid->Data3 = static_cast<USHORT>(d3);
    for (int i = 0; i < 8; ++i) guid->Data4[i] = static_cast<UCHAR>(b[i]);
    return true;
}

bool IsPresent(const std::u16string& instancePath)
{
    winsim::pnp::PnpManager* pnp = winsim::pnp::PnpManager::Current();
    winsim::pnp::DeviceNode* node = pnp != nullptr ? pnp->FindByInstancePath(instancePath) : nullptr;
    return node != nullptr && node->Present() && node->State() != winsim::pnp::NodeState::kDeleted;
}

// Every instance path under Enum: enumerator\device id\instance id.
std::vector<std::u16string> AllInstances()
{
    Store& store = Store::Instance();
    const std::u16string root(winsim::pnp::kEnumKeyPath);
    std::vector<std::u16string> paths;
    for (const std::u16string& enumerator : store.SubkeyNames(root)) {
        for (const std::u16string& device : store.SubkeyNames(root + u"\\" + enumerator)) {
            for (const std::u16string& instance : store.SubkeyNames(root + u"\\" + enumerator + u"\\" + device)) {
                paths.push_back(enumerator + u"\\" + device + u"\\" + instance);
            }
        }
    }
    return paths;
}

// The member a caller's SP_DEVINFO_DATA names; sets the last error when none.
const std::u16string* MemberOf(HDEVINFO handle, PSP_DEVINFO_DATA data)
{
    DeviceInfoSet* set = SetOf(handle);
    if (set == nullptr) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    if (data == nullptr || data->cbSize != sizeof(SP_DEVINFO_DATA) || data->DevInst == 0 ||
        data->DevInst > set->instancePaths.size()) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    return &set->instancePaths[data->DevInst - 1];
}

// The registry value behind a property, in the A functions' ANSI form.
bool ReadProperty(const std::u16string& key, DWORD property, DWORD* type, std::vector<BYTE>* bytes)
{
    const char16_t* name = nullptr;
    switch (property) {
    case SPDRP_DEVICEDESC: name = u"DeviceDesc"; break;
    case SPDRP_HARDWAREID: name = u"HardwareID"; break;
    case SPDRP_COMPATIBLEIDS: name = u"CompatibleIDs"; break;
    case SPDRP_SERVICE: name = u"Service"; break;
    case SPDRP_CLASS: name = u"Class"; break;
    case SPDRP_CLASSGUID: name = u"ClassGUID"; break;
    case SPDRP_DRIVER: name = u"Driver"; break;
    case SPDRP_FRIENDLYNAME: name = u"FriendlyName"; break;
    case SPDRP_LOCATION_INFORMATION: name = u"LocationInformation"; break;
    case SPDRP_UPPERFILTERS: name = u"UpperFilters"; break;
    default: return false;
    }
    std::optional<winsim::registry::Value> value = Store::Instance().GetValue(key, name);
    if (!value) return false;
    *type = value->type;
    bytes->clear();
    const bool text = value->type == REG_SZ || value->type == REG_EXPAND_SZ || value->type == REG_MULTI_SZ;
    if (!text) {
        bytes->assign(value->data.begin(), value->data.end());
        return true;
    }
    for (size_t i = 0; i + 1 < value->data.size(); i += 2) {
        const char16_t c = static_cast<char16_t>(value->data[i] | (value->data[i + 1] << 8));
        bytes->push_back(c < 0x80 ? static_cast<BYTE>(c) : '?');
    }
    return true;
}

}  // namespace

extern "C" {

HDEVINFO WINAPI SetupDiGetClassDevsA(const GUID* ClassGuid, PCSTR Enumerator, HWND hwndParent, DWORD Flags)
{
    if ((Flags & DIGCF_DEVICEINTERFACE) != 0 || (ClassGuid == nullptr && (Flags & DIGCF_ALLCLASSES) == 0)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return INVALID_HANDLE_VALUE;
    }
    const std::u16string wanted = ClassGuid != nullptr ? GuidText(*ClassGuid) : u"";
    const std::u16string prefix = Enumerator != nullptr ? winsim::io::FromAscii(Enumerator) + u"\\" : u"";
    auto* set = new DeviceInfoSet;
    for (const std::u16string& path : AllInstances()) {
        if (!prefix.empty() && !winsim::io::StartsWithNoCase(path, prefix)) continue;
        if ((Flags & DIGCF_ALLCLASSES) == 0) {
            std::optional<std::u16string> classGuid =
                Store::Instance().GetString(winsim::pnp::InstanceKeyPath(path), u"ClassGUID");
            if (!classGuid || winsim::io::UpperCase(*classGuid) != wanted) continue;
        }
        if ((Flags & DIGCF_PRESENT) != 0 && !IsPresent(path)) continue;
        set->instancePaths.push_back(path);
    }
    std::lock_guard lk(SetLock());
    LiveSets().insert(set);
    return set;
}

BOOL WINAPI SetupDiEnumDeviceInfo(HDEVINFO DeviceInfoSet, DWORD MemberIndex, PSP_DEVINFO_DATA DeviceInfoData)
{
    struct DeviceInfoSet* set = SetOf(DeviceInfoSet);
    if (set == nullptr) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (DeviceInfoData == nullptr || DeviceInfoData->cbSize != sizeof(SP_DEVINFO_DATA)) {
        SetLastError(ERROR_INVALID_USER_BUFFER);
        return FALSE;
    }
    if (MemberIndex >= set->instancePaths.size()) {
        SetLastError(ERROR_NO_MORE_ITEMS);
        return FALSE;
    }
    const std::u16string key = winsim::pnp::InstanceKeyPath(set->instancePaths[MemberIndex]);
    std::memset(&DeviceInfoData->ClassGuid, 0, sizeof(GUID));
    if (std::optional<std::u16string> classGuid = Store::Instance().GetString(key, u"ClassGUID")) {
        ParseGuid(*classGuid, &DeviceInfoData->ClassGuid);
    }
    DeviceInfoData->DevInst = MemberIndex + 1;
    DeviceInfoData->Reserved = 0;
    return TRUE;
}

BOOL WINAPI SetupDiGetDeviceRegistryPropertyA(HDEVINFO DeviceInfoSet, PSP_DEVINFO_DATA DeviceInfoData,
                                              DWORD Property, PDWORD PropertyRegDataType, PBYTE PropertyBuffer,
                                              DWORD PropertyBufferSize, PDWORD RequiredSize)
{
    const std::u16string* member = MemberOf(DeviceInfoSet, DeviceInfoData);
    if (member == nullptr) return FALSE;
    const std::u16string key = winsim::pnp::InstanceKeyPath(*member);
    if (!Store::Instance().Exists(key)) {
        SetLastError(ERROR_NO_SUCH_DEVINST);
        return FALSE;
    }
    DWORD type = REG_NONE;
    std::vector<BYTE> bytes;
    if (!ReadProperty(key, Property, &type, &bytes)) {
        SetLastError(ERROR_INVALID_DATA);
        return FALSE;
    }
    if (PropertyRegDataType != nullptr) *PropertyRegDataType = type;
    if (RequiredSize != nullptr) *RequiredSize = static_cast<DWORD>(bytes.size());
    if (PropertyBuffer == nullptr || PropertyBufferSize < bytes.size()) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return FALSE;
    }
    if (!bytes.empty()) std::memcpy(PropertyBuffer, bytes.data(), bytes.size());
    return TRUE;
}

HKEY WINAPI SetupDiOpenDevRegKey(HDEVINFO DeviceInfoSet, PSP_DEVINFO_DATA DeviceInfoData, DWORD Scope,
                                 DWORD HwProfile, DWORD KeyType, REGSAM samDesired)
{
    const HKEY failed = reinterpret_cast<HKEY>(INVALID_HANDLE_VALUE);
    const std::u16string* member = MemberOf(DeviceInfoSet, DeviceInfoData);
    if (member == nullptr) return failed;
    if (Scope != DICS_FLAG_GLOBAL || (KeyType != DIREG_DEV && KeyType != DIREG_DRV)) {
        SetLastError(ERROR_INVALID_FLAGS);
        return failed;
    }
    const std::u16string instanceKey = winsim::pnp::InstanceKeyPath(*member);
    std::u16string path = instanceKey + u"\\Device Parameters";
    if (KeyType == DIREG_DRV) {
        std::optional<std::u16string> software = Store::Instance().GetString(instanceKey, u"Driver");
        path = software ? std::u16string(winsim::pnp::kClassKeyPath) + u"\\" + *software : u"";
    }
    const std::u16string machine = u"\\Registry\\Machine\\";
    HKEY key = nullptr;
    if (path.empty() || !Store::Instance().Exists(path) ||
        RegOpenKeyExA(HKEY_LOCAL_MACHINE, winsim::io::ToAscii(path.substr(machine.size())).c_str(), 0, samDesired,
                      &key) != ERROR_SUCCESS) {
        SetLastError(ERROR_KEY_DOES_NOT_EXIST);
        return failed;
    }
    return key;
}

BOOL WINAPI SetupDiCallClassInstaller(DI_FUNCTION InstallFunction, HDEVINFO DeviceInfoSet,
                                      PSP_DEVINFO_DATA DeviceInfoData)
{
    const std::u16string* member = MemberOf(DeviceInfoSet, DeviceInfoData);
    if (member == nullptr) return FALSE;
    if (InstallFunction != DIF_REMOVE) {
        SetLastError(ERROR_DI_DO_DEFAULT);
        return FALSE;
    }
    if (!winsim::pnp::UninstallDevice(winsim::pnp::PnpManager::Current(), *member)) {
        SetLastError(ERROR_NO_SUCH_DEVINST);
        return FALSE;
    }
    return TRUE;
}

BOOL WINAPI SetupDiDestroyDeviceInfoList(HDEVINFO DeviceInfoSet)
{
    std::lock_guard lk(SetLock());
    auto* set = static_cast<struct DeviceInfoSet*>(DeviceInfoSet);
    if (LiveSets().erase(set) == 0) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    delete set;
    return TRUE;
}

}  // extern "C"
