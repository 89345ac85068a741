// A driver that answers as a test tells it: whether the control device
// opens, which requests fail, and what each fetch returns.
#pragma once

#include <deque>
#include <vector>

#include "assistant/diag/driver_channel.h"

namespace diag_test {

class ScriptedDriver final : public diag::DriverChannel {
public:
    bool IsOpen() const override { return open; }
    bool Open() override;
    void Close() override { open = false; }
    bool Request(DWORD code, const void* input, DWORD inputSize, void* output, DWORD outputSize, DWORD& returned,
                 DWORD& error) override;

    // Requests seen, by code.
    int Count(DWORD code) const;

    bool opens = true;
    int openCount = 0;
    DWORD failCode = 0;  // requests with this code fail with failError
    DWORD failError = ERROR_GEN_FAILURE;
    // Replies to fetches, oldest first; an empty queue answers 0 bytes, or
    // `standingReply` again and again when that is set.
    std::deque<std::vector<BYTE>> replies;
    std::vector<BYTE> standingReply;
    // A fetch of a queued reply reports this many bytes, whatever fits the
    // buffer (0: what fits).
    DWORD claimedBytes = 0;
    std::vector<DWORD> requests;

private:
    bool open = false;
};

}  // namespace diag_test
