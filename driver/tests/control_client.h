// The control device as user mode reaches it: CreateFileA on \\.\QTR84PRn
// and DeviceIoControl, kept apart from the kernel headers of the tests.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace driver_test {

struct IoctlResult {
    bool ok = false;
    uint32_t error = 0;  // GetLastError when not ok
    uint32_t bytes = 0;  // bytes returned
};

// An open control handle; closed when it goes.
class ControlHandle {
public:
    explicit ControlHandle(int slot);
    ~ControlHandle();
    ControlHandle(const ControlHandle&) = delete;
    ControlHandle& operator=(const ControlHandle&) = delete;

    bool IsOpen() const;
    uint32_t OpenError() const { return openError_; }
    IoctlResult Ioctl(uint32_t code, const void* input, uint32_t inputLength, void* output, uint32_t outputLength);

private:
    void* handle_;
    uint32_t openError_ = 0;
};

// Opens slot's control device, sends one request and closes, as the
// Assistant's table requests do.
IoctlResult ControlIoctl(int slot, uint32_t code, const void* input, uint32_t inputLength, void* output,
                         uint32_t outputLength);

}  // namespace driver_test
