#include "assistant/diag/monitor_polling.h"

#include <string.h>

#include <algorithm>

#include "common/control_codes.h"

namespace diag {

bool MonitorPolling::OpenDevice()
{
    if (driver.IsOpen()) {
        return true;
    }
    if (!driver.Open()) {
        return false;
    }
    // Starting empties the driver's ring for every reader.
    driverStarted = 1;
    DWORD returned = 0;
    DWORD error = 0;
    driver.Request(IOCTL_TMAN_APP_START_MONITOR, nullptr, 0, nullptr, 0, returned, error);
    return true;
}

void MonitorPolling::CloseDevice()
{
    if (!driver.IsOpen()) {
        return;
    }
    if (driverStarted != 0) {
        DWORD returned = 0;
        DWORD error = 0;
        driver.Request(IOCTL_TMAN_APP_STOP_MONITOR, nullptr, 0, nullptr, 0, returned, error);
    }
    driver.Close();
    driverStarted = 0;
}

void MonitorPolling::Resume()
{
    if (monitoring == 0) {
        OpenDevice();
        monitoring = 1;
        view.StartPollTimer();
        view.ShowMonitoring(true);
        Poll();
        return;
    }
    view.ShowMonitoring(true);
}

void MonitorPolling::Halt()
{
    StopMonitoring();
    view.ShowMonitoring(false);
}

void MonitorPolling::StopMonitoring()
{
    if (monitoring != 0) {
        view.StopPollTimer();
        CloseDevice();
        monitoring = 0;
    }
}

void MonitorPolling::ClearOverruns()
{
    overruns = 0;
    view.ShowOverruns(0);
}

void MonitorPolling::CountOverrun()
{
    view.ShowOverruns(++overruns);
}

bool IsMonitored(const MonitorState& state, ULONG comNumber)
{
    return std::ranges::any_of(state.channels, [comNumber](const MonitorChannelEntry& entry) {
        return entry.window != nullptr && entry.channelId == comNumber;
    });
}

int MonitorPolling::ChannelSlotFor(ULONG comNumber) const
{
    // A COM number already monitored anywhere in the table gets no second window.
    if (IsMonitored(state, comNumber)) {
        return -1;
    }
    for (int i = 0; i < kMonitorChannels; ++i) {
        if (state.channels[i].window == nullptr) {
            return i;
        }
    }
    return -1;
}

void MonitorPolling::Poll()
{
    channelCount = 0;
    for (const MonitorChannelEntry& entry : state.channels) {
        channelCount += entry.window != nullptr ? 1 : 0;
    }
    if (channelCount == 0) {
        StopMonitoring();
        return;
    }
    Resume();

    // One reply holds 18 records, a tenth of what busy ports produce in a
    // tick; while replies come back full the driver holds more, so fetch
    // again, up to what its ring can hold.
    for (int fetch = 0; fetch < kMonitorFetchesPerTick; ++fetch) {
        if (!FetchOnce()) {
            return;
        }
    }
}

bool MonitorPolling::FetchOnce()
{
    DWORD unused = 0;
    DWORD bytes = 0;
    DWORD error = 0;
    if (!OpenDevice() ||
        !driver.Request(IOCTL_TMAN_APP_GET_NEXT_MONITOR, &unused, sizeof(unused), replies, sizeof(replies), bytes,
                        error)) {
        // Monitoring stays on: the next tick opens the handle and starts the driver afresh.
        CloseDevice();
        return false;
    }
    if (bytes > kMonitorReplySize) {
        CountOverrun();
        bytes = kMonitorReplySize;
    }
    MonitorRecord record;
    DWORD at = 0;
    for (; at + sizeof(record) <= bytes; at += sizeof(record)) {
        memcpy(&record, replies + at, sizeof(record));
        for (const MonitorChannelEntry& entry : state.channels) {
            if (monitoring != 0 && entry.window != nullptr && entry.channelId == record.comNumber) {
                entry.window->AddRecord(record);
            }
        }
        if (record.overrun != 0) {
            CountOverrun();
        }
    }
    return at / sizeof(record) == kMonitorRecordsPerReply;
}

}  // namespace diag
