#include "control_client.h"

#include <windows.h>

#include <string>

#include "common/control_codes.h"

namespace driver_test {

ControlHandle::ControlHandle(int slot)
{
    const std::string path = QTR_CONTROL_DEVICE_PATH_PREFIX + std::to_string(slot);
    handle_ = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (handle_ == INVALID_HANDLE_VALUE) openError_ = GetLastError();
}

ControlHandle::~ControlHandle()
{
    if (IsOpen()) CloseHandle(handle_);
}

bool ControlHandle::IsOpen() const { return handle_ != INVALID_HANDLE_VALUE; }

IoctlResult ControlHandle::Ioctl(uint32_t code, const void* input, uint32_t inputLength, void* output,
                                 uint32_t outputLength)
{
    IoctlResult result;
    DWORD bytes = 0;
    result.ok = DeviceIoControl(handle_, code, const_cast<void*>(input), inputLength, output, outputLength, &bytes,
                                nullptr) != FALSE;
    if (!result.ok) result.error = GetLastError();
    result.bytes = bytes;
    return result;
}

IoctlResult ControlIoctl(int slot, uint32_t code, const void* input, uint32_t inputLength, void* output,
                         uint32_t outputLength)
{
    ControlHandle handle(slot);
    if (!handle.IsOpen()) {
        IoctlResult result;
        result.error = handle.OpenError();
        return result;
    }
    return handle.Ioctl(code, input, inputLength, output, outputLength);
}

}  // namespace driver_test
