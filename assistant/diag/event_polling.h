// What the event log window does on its 100 ms timer: clear the driver's
// log when asked, fetch up to 100 records a request while fewer than 50
// have been handled in this tick, count overruns and decode every record.
#pragma once

#include "assistant/diag/driver_channel.h"
#include "assistant/diag/event_decoder.h"

namespace diag {

// Lives as long as the process: a reopened window keeps the event number,
// the time base and the line counter.
struct EventLogState {
    HANDLE device = nullptr;
    ULONG eventNumber = 0;
    EventDecoder decoder;
    ULONG nextLineNumber = 1;
    int inTick = 0;
};

// The window side of the polling.
class EventLogView {
public:
    virtual void AppendLine(const char* text) = 0;
    virtual void ShowOverruns(int count) = 0;
    // The driver could not be opened: polling stops until Resume.
    virtual void Halt() = 0;

protected:
    ~EventLogView() = default;
};

inline constexpr int kEventRecordsPerRequest = 100;
inline constexpr int kEventTickTarget = 50;

class EventPolling {
public:
    EventPolling(EventLogState& state, DriverChannel& driver, EventLogView& view)
        : state(state), driver(driver), view(view)
    {
    }

    void Tick();
    // Numbers, overruns and the time base start again; the next tick asks
    // the driver to discard what it holds. The caller empties its view.
    void Clear();

    int enabled = 0;
    int overruns = 0;
    int clearPending = 0;

private:
    bool OpenDevice();
    bool ClearDriver();
    void FetchEvents();

    EventLogState& state;
    DriverChannel& driver;
    EventLogView& view;
    EventRecord replies[kEventRecordsPerRequest];
};

}  // namespace diag
