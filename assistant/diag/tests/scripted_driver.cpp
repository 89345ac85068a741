#include "scripted_driver.h"

#include <algorithm>
#include <cstring>

#include "common/control_codes.h"

namespace diag_test {

bool ScriptedDriver::Open()
{
    if (!opens) {
        return false;
    }
    open = true;
    ++openCount;
    return true;
}

int ScriptedDriver::Count(DWORD code) const
{
    return static_cast<int>(std::count(requests.begin(), requests.end(), code));
}

bool ScriptedDriver::Request(DWORD code, const void*, DWORD, void* output, DWORD outputSize, DWORD& returned,
                             DWORD& error)
{
    requests.push_back(code);
    returned = 0;
    error = ERROR_SUCCESS;
    if (code == failCode) {
        error = failError;
        return false;
    }
    if (code != IOCTL_TMAN_APP_GET_NEXT_EVENT && code != IOCTL_TMAN_APP_GET_NEXT_MONITOR) {
        return true;
    }
    std::vector<BYTE> reply = standingReply;
    DWORD claimed = 0;
    if (!replies.empty()) {
        reply = replies.front();
        replies.pop_front();
        claimed = claimedBytes;
    }
    const DWORD copied = std::min<DWORD>(static_cast<DWORD>(reply.size()), outputSize);
    if (copied != 0) {
        std::memcpy(output, reply.data(), copied);
    }
    returned = claimed != 0 ? claimed : copied;
    return true;
}

}  // namespace diag_test
