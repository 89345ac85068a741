#include "assistant/app/driver_access.h"

#include "assistant/app/product_strings.h"
#include "assistant/app/text_format.h"
#include "common/control_codes.h"

namespace assistant {

namespace {

constexpr int kControlDeviceNames = 8;

// One buffered request on an open handle; true when it succeeded and returned bytes.
bool Request(HANDLE device, DWORD code, const void* input, DWORD inputSize, void* output, DWORD outputSize)
{
    DWORD returned = 0;
    const BOOL ok = DeviceIoControl(device, code, const_cast<void*>(input), inputSize, output, outputSize,
                                    &returned, nullptr);
    return ok != FALSE && returned != 0;
}

}  // namespace

bool OpenDriverHandle(HANDLE& slot)
{
    if (slot != nullptr) {
        return true;
    }
    for (int n = 0; n < kControlDeviceNames; ++n) {
        const std::string name = Format("%s%d", QTR_CONTROL_DEVICE_PATH_PREFIX, n);
        HANDLE device = CreateFileA(name.c_str(), GENERIC_WRITE, FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                                    nullptr);
        if (device != INVALID_HANDLE_VALUE) {
            slot = device;
            return true;
        }
    }
    return false;
}

void CloseDriverHandle(HANDLE& slot)
{
    if (slot != nullptr) {
        CloseHandle(slot);
        slot = nullptr;
    }
}

bool DriverAccess::Send(DWORD code, const void* input, DWORD inputSize, void* output, DWORD outputSize)
{
    const bool ok = Request(deviceHandle_, code, input, inputSize, output, outputSize);
    CloseDriverHandle(deviceHandle_);
    return ok;
}

int DriverAccess::GetDeviceInfoTable(DeviceInfoTable& table)
{
    if (!OpenDriverHandle(deviceHandle_)) {
        if (debugLogging_ != 0) {
            log_.AppendStatusLine("DBG: *** GetDeviceInfoTable: Invalid Device Handle Specified");
        }
        noDevices_ = 1;
        return kNoDriver;
    }
    if (Send(IOCTL_TMAN_APP_GET_DEVICE_INFO_TABLE, nullptr, 0, &table, sizeof(table))) {
        noDevices_ = table.count <= 0 ? 1 : 0;
        return kRequestDone;
    }
    if (debugLogging_ != 0) {
        log_.AppendStatusLine("*** GetDeviceInfoTable: Request Failed");
    }
    noDevices_ = 1;
    return kRequestFailed;
}

int DriverAccess::RefreshDeviceConfigTableGUI(DeviceConfigTable& snapshot)
{
    if (!OpenDriverHandle(deviceHandle_)) {
        log_.AppendStatusLine(Format("*** RefreshDeviceConfigTableGUI: Cannot Open %s Device Driver", kModelId));
        return kNoDriver;
    }
    // Read into a copy: a failed request must not leave half a table behind.
    DeviceConfigTable table{};
    if (Send(IOCTL_TMAN_APP_GET_DEVICE_CONFIG_TABLE, nullptr, 0, &table, sizeof(table))) {
        snapshot = table;
        return kRequestDone;
    }
    log_.AppendStatusLine("*** RefreshDeviceConfigTableGUI: Get Device Config Request Failed");
    return kRequestFailed;
}

int DriverAccess::UpdateDeviceConfigTable(const DeviceConfigTable& table)
{
    if (!OpenDriverHandle(deviceHandle_)) {
        log_.AppendStatusLine(Format("*** SetDeviceConfigTable: Cannot Open %s Device Driver", kModelId));
        return kNoDriver;
    }
    if (Send(IOCTL_TMAN_APP_SET_DEVICE_CONFIG_TABLE, &table, sizeof(table), nullptr, 0)) {
        return kRequestDone;
    }
    log_.AppendStatusLine("*** UpdateDeviceConfigTable: Update Device Config Request Failed");
    return kRequestFailed;
}

int DriverAccess::SetInternalLoopbackMode(int adapter, int port, int enable)
{
    const LoopbackRequest request{adapter, port, enable};
    if (!OpenDriverHandle(deviceHandle_)) {
        log_.AppendStatusLine("*** SetInternalLoopbackMode: Invalid Device Handle Specified");
        return kNoDriver;
    }
    if (!Send(IOCTL_TMAN_APP_SET_INTERNAL_LOOPBACK, &request, sizeof(request), nullptr, 0)) {
        log_.AppendStatusLine("*** SetInternalLoopbackMode: Request Failed");
    }
    return kRequestDone;
}

std::string GetFirmwareVersionString()
{
    char text[kFirmwareVersionTextSize] = "?";
    HANDLE device = nullptr;
    if (!OpenDriverHandle(device)) {
        return text;
    }
    if (!Request(device, IOCTL_TMAN_APP_GET_FIRMWARE_VERSION, nullptr, 0, text, sizeof(text))) {
        text[0] = '?';
        text[1] = '\0';
    }
    CloseDriverHandle(device);
    text[sizeof(text) - 1] = '\0';
    return text;
}

}  // namespace assistant
