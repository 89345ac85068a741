#include "assistant/diag/driver_channel.h"

#include "assistant/app/driver_access.h"

namespace diag {

bool HandleChannel::Open()
{
    return assistant::OpenDriverHandle(slot);
}

void HandleChannel::Close()
{
    assistant::CloseDriverHandle(slot);
}

bool HandleChannel::Request(DWORD code, const void* input, DWORD inputSize, void* output, DWORD outputSize,
                            DWORD& returned, DWORD& error)
{
    returned = 0;
    error = ERROR_SUCCESS;
    if (DeviceIoControl(slot, code, const_cast<void*>(input), inputSize, output, outputSize, &returned, nullptr) ==
        FALSE) {
        error = GetLastError();
        returned = 0;
        return false;
    }
    return true;
}

}  // namespace diag
