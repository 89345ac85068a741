#include "device_removal.h"

#include <ctype.h>
#include <stdio.h>
#include <string.h>

#include "adapter_ids.h"
#include "common/win32_user.h"

namespace {

const GUID kPortsClass = {0x4D36E978, 0xE325, 0x11CE, {0xBF, 0xC1, 0x08, 0x00, 0x2B, 0xE1, 0x03, 0x18}};
const GUID kUsbClass = {0x36FC9E60, 0xC465, 0x11CF, {0x80, 0x56, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};
constexpr DWORD kHardwareIdBytes = 261;

void UpperCase(char* text)
{
    for (; *text != '\0'; ++text) *text = static_cast<char>(toupper(static_cast<unsigned char>(*text)));
}

void RemovePort(HDEVINFO set, SP_DEVINFO_DATA* device, char* firstId)
{
    UpperCase(firstId);
    for (const char* id : kPortIds) {
        printf("%s %s\n", id, firstId);
        if (strcmp(id, firstId) != 0) continue;
        printf("found it - call DIF_REMOTE\n");
        if (!SetupDiCallClassInstaller(DIF_REMOVE, set, device)) {
            printf("SetupDiCallClassInstaller failed - %x\n", static_cast<unsigned>(GetLastError()));
        }
    }
}

void RemoveUsbDevice(HDEVINFO set, SP_DEVINFO_DATA* device, char* ids, DWORD size)
{
    // Strings follow each other up to the empty one or the data's end.
    for (char* id = ids; id < ids + size && *id != '\0'; id += strlen(id) + 1) {
        for (const char* wanted : kDeviceIds) {
            printf("%s %s\n", wanted, id);
            UpperCase(id);
            if (strcmp(wanted, id) != 0) continue;
            printf("found it - Call DIF_REMOVE\n");
            SetupDiCallClassInstaller(DIF_REMOVE, set, device);
        }
    }
}

}  // namespace

void RemoveAdapterDevices(DeviceClass deviceClass)
{
    const bool ports = deviceClass == DeviceClass::kPorts;
    HDEVINFO set = SetupDiGetClassDevsA(ports ? &kPortsClass : &kUsbClass, nullptr, nullptr, 0);
    SP_DEVINFO_DATA device;
    memset(&device, 0, sizeof(device));
    device.cbSize = sizeof(device);
    for (DWORD index = 0; set != INVALID_HANDLE_VALUE && SetupDiEnumDeviceInfo(set, index, &device); ++index) {
        // Two bytes beyond what is read keep a full buffer a terminated multi-string.
        char ids[kHardwareIdBytes + 2];
        memset(ids, 0, sizeof(ids));
        DWORD type = 0;
        DWORD size = 0;
        if (!SetupDiGetDeviceRegistryPropertyA(set, &device, SPDRP_HARDWAREID, &type, reinterpret_cast<BYTE*>(ids),
                                               kHardwareIdBytes, &size)) {
            printf("Get Hardware ID failed: %d\n", static_cast<int>(GetLastError()));
            continue;
        }
        printf(ports ? "QTR_PORTS_ID index:%d type:%d size:%d %s\n" : "QTR_HARDWARE_ID index:%d type:%d size:%d %s\n",
               static_cast<int>(index), static_cast<int>(type), static_cast<int>(size), ids);
        if (ports) {
            RemovePort(set, &device, ids);
        } else {
            RemoveUsbDevice(set, &device, ids, size);
        }
    }
    printf("setupDiEnum failed: %d\n", static_cast<int>(GetLastError()));
    if (set != INVALID_HANDLE_VALUE) SetupDiDestroyDeviceInfoList(set);
}
