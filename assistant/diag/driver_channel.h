// A diagnostics window's own way to the driver: its control handle, opened
// through the driver access layer, and the requests sent on it.
#pragma once

#include "common/win32_user.h"

namespace diag {

class DriverChannel {
public:
    virtual bool IsOpen() const = 0;
    // Opens the first control device that answers; true when one is open.
    virtual bool Open() = 0;
    virtual void Close() = 0;
    // True when the request succeeded; `returned` is then the bytes it
    // filled, `error` the system's code when it failed.
    virtual bool Request(DWORD code, const void* input, DWORD inputSize, void* output, DWORD outputSize,
                         DWORD& returned, DWORD& error) = 0;

protected:
    ~DriverChannel() = default;
};

// Over a handle slot that outlives the window (the handle is process-wide).
class HandleChannel final : public DriverChannel {
public:
    explicit HandleChannel(HANDLE& slot) : slot(slot) {}

    bool IsOpen() const override { return slot != nullptr; }
    bool Open() override;
    void Close() override;
    bool Request(DWORD code, const void* input, DWORD inputSize, void* output, DWORD outputSize, DWORD& returned,
                 DWORD& error) override;

private:
    HANDLE& slot;
};

}  // namespace diag
