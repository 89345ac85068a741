#include "port_name_list.h"

#include <string.h>

namespace {

const GUID kPortsClass = {0x4D36E978, 0xE325, 0x11CE, {0xBF, 0xC1, 0x08, 0x00, 0x2B, 0xE1, 0x03, 0x18}};
constexpr SIZE_T kBlockStep = 4096;
constexpr DWORD kTextBytes = 256;

// Room for one more entry: a block 4096 bytes larger when the current one
// is full. False when it cannot be had.
bool MakeRoom(PortNameList* list, SIZE_T* blockSize)
{
    const SIZE_T used = static_cast<SIZE_T>(list->count) * sizeof(PortNameEntry);
    if (used < *blockSize) return true;
    auto* larger = static_cast<PortNameEntry*>(LocalAlloc(LPTR, *blockSize + kBlockStep));
    if (larger == nullptr) return false;
    memcpy(larger, list->entries, used);
    LocalFree(list->entries);
    list->entries = larger;
    *blockSize += kBlockStep;
    return true;
}

// The port's "PortName" from its device-parameters key; "COMxx" when the key
// opens but the value cannot be read.
void ReadPortName(HDEVINFO set, SP_DEVINFO_DATA* device, PortNameEntry* entry)
{
    HKEY key = SetupDiOpenDevRegKey(set, device, DICS_FLAG_GLOBAL, 0, DIREG_DEV, KEY_READ);
    if (key == reinterpret_cast<HKEY>(INVALID_HANDLE_VALUE)) return;
    DWORD size = kTextBytes;
    if (RegQueryValueExA(key, "PortName", nullptr, nullptr, reinterpret_cast<BYTE*>(entry->portName), &size) !=
        ERROR_SUCCESS) {
        memset(entry->portName, 0, sizeof(entry->portName));
        strcpy(entry->portName, "COMxx");
    }
    // A value that filled the buffer without its NUL still ends.
    entry->portName[kTextBytes - 1] = '\0';
    RegCloseKey(key);
}

void ScanPortsClass(PortNameList* list, SIZE_T blockSize)
{
    HDEVINFO set = SetupDiGetClassDevsA(&kPortsClass, nullptr, nullptr, 0);
    if (set == INVALID_HANDLE_VALUE) return;
    SP_DEVINFO_DATA device;
    memset(&device, 0, sizeof(device));
    device.cbSize = sizeof(device);
    for (DWORD index = 0; SetupDiEnumDeviceInfo(set, index, &device); ++index) {
        if (!MakeRoom(list, &blockSize)) break;
        PortNameEntry* entry = &list->entries[list->count++];
        char name[kTextBytes] = {};
        if (!SetupDiGetDeviceRegistryPropertyA(set, &device, SPDRP_FRIENDLYNAME, nullptr,
                                               reinterpret_cast<BYTE*>(name), kTextBytes, nullptr)) {
            continue;
        }
        memcpy(entry->description, name, kTextBytes);
        entry->description[kTextBytes - 1] = '\0';
        ReadPortName(set, &device, entry);
    }
    SetupDiDestroyDeviceInfoList(set);
}

}  // namespace

PortNameList* BuildPortNameList()
{
    auto* list = static_cast<PortNameList*>(LocalAlloc(LPTR, sizeof(PortNameList)));
    if (list == nullptr) return nullptr;
    list->entries = static_cast<PortNameEntry*>(LocalAlloc(LPTR, kBlockStep));
    if (list->entries == nullptr) {
        LocalFree(list);
        return nullptr;
    }
    ScanPortsClass(list, kBlockStep);
    return list;
}

void FreePortNameList(PortNameList* list)
{
    if (list == nullptr) return;
    LocalFree(list->entries);
    LocalFree(list);
}
