// What the line monitor's frame does with the driver: switch its monitor on
// and off, fetch its records every 10 ms (18 a request, more requests while
// replies come back full) and hand each to the channel windows of its COM
// number, counting overruns.
#pragma once

#include "assistant/diag/driver_channel.h"
#include "common/monitor_record.h"

namespace diag {

inline constexpr int kMonitorChannels = 8;
inline constexpr DWORD kMonitorReplySize = 10000;
inline constexpr DWORD kMonitorRecordsPerReply = kMonitorReplySize / sizeof(MonitorRecord);
// Enough full replies in one tick to empty the driver's ring of 1000.
inline constexpr int kMonitorFetchesPerTick = 56;

class MonitorChannelWindow {
public:
    virtual void AddRecord(const MonitorRecord& record) = 0;

protected:
    ~MonitorChannelWindow() = default;
};

struct MonitorChannelEntry {
    ULONG channelId = 0;  // the COM number
    MonitorChannelWindow* window = nullptr;  // null: free
};

// Lives as long as the process; the handle is the monitor's own.
struct MonitorState {
    HANDLE device = nullptr;
    MonitorChannelEntry channels[kMonitorChannels];
};

bool IsMonitored(const MonitorState& state, ULONG comNumber);

// The frame side of the polling.
class MonitorFrameView {
public:
    virtual void StartPollTimer() = 0;
    virtual void StopPollTimer() = 0;
    // Toolbar and state pane for polling on ("Enabled") or off ("Halted").
    virtual void ShowMonitoring(bool on) = 0;
    virtual void ShowOverruns(int count) = 0;

protected:
    ~MonitorFrameView() = default;
};

class MonitorPolling {
public:
    MonitorPolling(MonitorState& state, DriverChannel& driver, MonitorFrameView& view)
        : state(state), driver(driver), view(view)
    {
    }

    // Resume and Halt as the commands do them.
    void Resume();
    void Halt();
    void StopMonitoring();
    // Closes the handle, switching the driver's monitor off if this handle switched it on.
    void CloseDevice();
    void Poll();
    void ClearOverruns();

    // The free channel-table entry a new window for comNumber takes, or -1
    // when all eight are taken or comNumber has a window already.
    int ChannelSlotFor(ULONG comNumber) const;

    int channelCount = 0;
    int monitoring = 0;
    int driverStarted = 0;
    int overruns = 0;

private:
    bool OpenDevice();
    // One request and its records; true when the reply was full.
    bool FetchOnce();
    void CountOverrun();

    MonitorState& state;
    DriverChannel& driver;
    MonitorFrameView& view;
    BYTE replies[kMonitorReplySize];
};

}  // namespace diag
