// The Assistant's way to the USB driver: open the first control device,
// send one control request, close it again. Results: 1 answered, -2 no
// control device opens, -3 the request failed or returned no bytes.
#pragma once

#include <string>

#include "common/win32_user.h"
#include "common/device_tables.h"

namespace assistant {

inline constexpr int kRequestDone = 1;
inline constexpr int kNoDriver = -2;
inline constexpr int kRequestFailed = -3;

// Where the wrappers write their failure lines.
class StatusLog {
public:
    virtual void AppendStatusLine(const std::string& text) = 0;

protected:
    ~StatusLog() = default;
};

// Opens the first of \\.\QTR84PR0 ... 7 into an empty slot; a slot that
// holds a handle already stays as it is.
bool OpenDriverHandle(HANDLE& slot);
void CloseDriverHandle(HANDLE& slot);

// The main dialog's requests, with its handle slot and the flags they set.
class DriverAccess {
public:
    explicit DriverAccess(StatusLog& log) : log_(log) {}

    int GetDeviceInfoTable(DeviceInfoTable& table);
    int RefreshDeviceConfigTableGUI(DeviceConfigTable& snapshot);
    int UpdateDeviceConfigTable(const DeviceConfigTable& table);
    int SetInternalLoopbackMode(int adapter, int port, int enable);
    void CloseDeviceHandle() { CloseDriverHandle(deviceHandle_); }

    // Set when the last info request failed or saw no adapter.
    bool NoDevices() const { return noDevices_ != 0; }
    bool DebugLogging() const { return debugLogging_ != 0; }
    void SetDebugLogging(bool on) { debugLogging_ = on ? 1 : 0; }

private:
    bool Send(DWORD code, const void* input, DWORD inputSize, void* output, DWORD outputSize);

    StatusLog& log_;
    HANDLE deviceHandle_ = nullptr;
    int debugLogging_ = 0;
    int noDevices_ = 1;
};

// The first adapter's firmware text, "?" when no driver answers.
std::string GetFirmwareVersionString();

}  // namespace assistant
