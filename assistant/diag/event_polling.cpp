#include "assistant/diag/event_polling.h"

#include "assistant/app/text_format.h"
#include "common/control_codes.h"

namespace diag {

namespace {

// Clears the guard on every way out of a tick.
class TickGuard {
public:
    explicit TickGuard(int& flag) : flag(flag) { flag = 1; }
    ~TickGuard() { flag = 0; }
    TickGuard(const TickGuard&) = delete;
    TickGuard& operator=(const TickGuard&) = delete;

private:
    int& flag;
};

std::string RequestFailed(const char* request, DWORD error)
{
    return assistant::Format("DBG: *** DeviceIoControl(%s) call failed: errorcode=%d(0x%x) ***", request,
                             static_cast<int>(error), static_cast<unsigned>(error));
}

}  // namespace

void EventPolling::Clear()
{
    state.eventNumber = 0;
    overruns = 0;
    view.ShowOverruns(0);
    state.decoder.ResetTimeBase();
    clearPending = 1;
}

void EventPolling::Tick()
{
    if (state.inTick != 0) {
        return;
    }
    const TickGuard guard(state.inTick);
    if (clearPending != 0) {
        clearPending = 0;
        if (!OpenDevice() || !ClearDriver()) {
            return;
        }
    }
    if (enabled == 0 || !OpenDevice()) {
        return;
    }
    FetchEvents();
}

bool EventPolling::OpenDevice()
{
    if (driver.IsOpen()) {
        return true;
    }
    if (!driver.Open()) {
        view.AppendLine("******** Failed To Load Driver ********");
        view.Halt();
        return false;
    }
    view.AppendLine("+++++++ Driver Loaded Successfully +++++++");
    return true;
}

bool EventPolling::ClearDriver()
{
    DWORD returned = 0;
    DWORD error = 0;
    if (!driver.Request(IOCTL_TMAN_APP_CLEAR_EVENTS, nullptr, 0, nullptr, 0, returned, error)) {
        view.AppendLine(RequestFailed("IOCTL_TMAN_APP_CLEAR_EVENTS", error).c_str());
        driver.Close();
        return false;
    }
    return true;
}

void EventPolling::FetchEvents()
{
    int handled = 0;
    while (handled < kEventTickTarget) {
        DWORD unused = 0;
        DWORD bytes = 0;
        DWORD error = 0;
        if (!driver.Request(IOCTL_TMAN_APP_GET_NEXT_EVENT, &unused, sizeof(unused), replies, sizeof(replies), bytes,
                            error)) {
            view.AppendLine(RequestFailed("IOCTL_TMAN_APP_GET_NEXT_EVENT", error).c_str());
            driver.Close();
            return;
        }
        if (bytes == 0) {
            return;
        }
        DWORD batch = bytes / sizeof(EventRecord);
        view.AppendLine(assistant::Format("Events Request returned %u bytes (%u Records)", static_cast<unsigned>(bytes),
                                          static_cast<unsigned>(batch))
                            .c_str());
        handled += static_cast<int>(batch);
        if (batch > kEventRecordsPerRequest) {
            view.AppendLine("*** Driver returned more events than requested (nRet) ***");
            batch = kEventRecordsPerRequest;
        }
        for (DWORD i = 0; i < batch; ++i) {
            if (replies[i].gap != 0) {
                view.AppendLine("*** Buffer Overrun ***");
                view.ShowOverruns(++overruns);
            }
            view.AppendLine(state.decoder.Decode(state.eventNumber++, replies[i]));
        }
    }
}

}  // namespace diag
