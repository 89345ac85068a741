#include "commands/control_commands.h"

#include <windows.h>

#include <cstring>
#include <ostream>
#include <string>
#include <vector>

#include "common/control_codes.h"
#include "script_values.h"
#include "um/um_status.h"

namespace bench {

namespace {

constexpr uint32_t kMonitorFetchBytes = 10000;  // what the Assistant's line monitor uses
constexpr uint32_t kEventFetchBytes = 5600;     // and its event window
constexpr uint64_t kIoctlBufferMax = 1 << 20;

// A handle on one adapter's control device, closed when it goes.
class ControlDevice {
public:
    explicit ControlDevice(uint32_t slot) : slot_(slot)
    {
        handle_ = CreateFileA(Path().c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        if (handle_ == INVALID_HANDLE_VALUE) {
            throw CommandError("open " + Path() + " " + winsim::FormatWin32Error(GetLastError()));
        }
    }
    ~ControlDevice() { CloseHandle(handle_); }
    ControlDevice(const ControlDevice&) = delete;
    ControlDevice& operator=(const ControlDevice&) = delete;

    // The tables describe every adapter, so any adapter's device serves.
    static uint32_t FirstSlot()
    {
        for (uint32_t slot = 0; slot < kAdapterSlotCount; ++slot) {
            const std::string path = QTR_CONTROL_DEVICE_PATH_PREFIX + std::to_string(slot);
            HANDLE handle =
                CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
            if (handle != INVALID_HANDLE_VALUE) {
                CloseHandle(handle);
                return slot;
            }
        }
        throw CommandError("no control device opens");
    }

    // Bytes returned; a failed request is the command's error.
    DWORD Send(const char* what, uint32_t code, const void* input, uint32_t inputLength, void* output,
               uint32_t outputLength)
    {
        DWORD bytes = 0;
        if (!DeviceIoControl(handle_, code, const_cast<void*>(input), inputLength, output, outputLength, &bytes,
                             nullptr)) {
            throw CommandError(std::string(what) + " " + winsim::FormatWin32Error(GetLastError()));
        }
        return bytes;
    }

private:
    std::string Path() const { return QTR_CONTROL_DEVICE_PATH_PREFIX + std::to_string(slot_); }

    uint32_t slot_;
    HANDLE handle_;
};

void ExpectArgs(const Args& args, size_t count, const char* usage)
{
    if (args.size() != count) throw CommandError(usage);
}

// Whole records only, however many the table claims.
int32_t RecordCount(int32_t count) { return count < 0 ? 0 : count > 10 ? 10 : count; }

int32_t ParseSigned(const std::string& text)
{
    if (!text.empty() && text[0] == '-') {
        return -static_cast<int32_t>(ParseNumber(std::string_view(text).substr(1), 0x80000000ULL));
    }
    return static_cast<int32_t>(ParseNumber(text, 0xFFFFFFFFULL));
}

DeviceInfoTable InfoTable(uint32_t slot)
{
    ControlDevice device(slot);
    DeviceInfoTable table;
    std::memset(&table, 0, sizeof(table));
    device.Send("info", IOCTL_TMAN_APP_GET_DEVICE_INFO_TABLE, nullptr, 0, &table, sizeof(table));
    return table;
}

DeviceConfigTable ReadConfig(ControlDevice& device)
{
    DeviceConfigTable table;
    std::memset(&table, 0, sizeof(table));
    device.Send("config", IOCTL_TMAN_APP_GET_DEVICE_CONFIG_TABLE, nullptr, 0, &table, sizeof(table));
    return table;
}

}  // namespace

DeviceInfoTable ReadDeviceInfoTable()
{
    try {
        return InfoTable(ControlDevice::FirstSlot());
    } catch (const CommandError&) {
        DeviceInfoTable none;
        std::memset(&none, 0, sizeof(none));
        return none;
    }
}

void RunInfo(Session& session, const Args& args)
{
    ExpectArgs(args, 0, "usage: info");
    DeviceInfoTable table = InfoTable(ControlDevice::FirstSlot());
    session.Out() << "info count=" << table.count << '\n';
    for (int32_t k = 0; k < RecordCount(table.count); ++k) {
        const AdapterInfo& info = table.adapters[k];
        session.Out() << "info slot=" << info.slot;
        for (const PortInfo& port : info.ports) {
            session.Out() << " COM" << port.comNumber << (port.busy != 0 ? ":busy" : ":idle");
        }
        session.Out() << '\n';
    }
}

void RunConfig(Session& session, const Args& args)
{
    ExpectArgs(args, 0, "usage: config");
    ControlDevice device(ControlDevice::FirstSlot());
    const DeviceConfigTable table = ReadConfig(device);
    session.Out() << "config count=" << table.count << " model=" << static_cast<int>(table.adapters[0].modelIndex)
                  << '\n';
    for (int32_t k = 0; k < RecordCount(table.count); ++k) {
        const AdapterConfig& config = table.adapters[k];
        session.Out() << "config adapter=" << k << " highPower=" << config.highPower
                      << " bulk=" << config.bulkEndpoints << '\n';
        for (int port = 0; port < static_cast<int>(kPortsPerAdapter); ++port) {
            const PortConfig& p = config.ports[port];
            session.Out() << "config adapter=" << k << " port=" << port << " com=" << p.comNumber
                          << " txTiming=" << p.txTiming << " rxFifo=" << p.rxFifo << " wake=" << p.remoteWakeup
                          << '\n';
        }
    }
}

void RunSetConfig(Session& session, const Args& args)
{
    const char* usage = "usage: setconfig K J FIELD=VALUE... (J 0..3, or - for the adapter)";
    if (args.size() < 3) throw CommandError(usage);
    const auto record = static_cast<int32_t>(ParseNumber(args[0], kTableAdapterRecords - 1));
    const bool adapterFields = args[1] == "-";
    const int port = adapterFields ? -1 : static_cast<int>(ParseNumber(args[1], kPortsPerAdapter - 1));

    ControlDevice device(ControlDevice::FirstSlot());
    DeviceConfigTable table = ReadConfig(device);
    if (record >= table.count) throw CommandError("no record " + args[0] + " in a table of " +
                                                  std::to_string(table.count));
    AdapterConfig& config = table.adapters[record];
    for (size_t i = 2; i < args.size(); ++i) {
        const KeyValue field = SplitKeyValue(args[i]);
        const int32_t value = ParseSigned(field.value);
        if (adapterFields && field.key == "highPower") {
            config.highPower = value;
        } else if (adapterFields && field.key == "bulk") {
            config.bulkEndpoints = value;
        } else if (!adapterFields && field.key == "com") {
            config.ports[port].comNumber = value;
        } else if (!adapterFields && field.key == "txTiming") {
            config.ports[port].txTiming = value;
        } else if (!adapterFields && field.key == "rxFifo") {
            config.ports[port].rxFifo = value;
        } else if (!adapterFields && field.key == "wake") {
            config.ports[port].remoteWakeup = value;
        } else {
            throw CommandError("no field " + field.key + (adapterFields ? " of an adapter" : " of a port"));
        }
    }
    config.updateFlag = kConfigUpdateFlag;
    const DWORD bytes =
        device.Send("setconfig", IOCTL_TMAN_APP_SET_DEVICE_CONFIG_TABLE, &table, sizeof(table), nullptr, 0);
    session.Out() << "setconfig ok " << bytes << '\n';
}

void RunFirmwareVersion(Session& session, const Args& args)
{
    if (args.size() > 1) throw CommandError("usage: fwversion [N]");
    const auto slot = args.empty() ? 0u : static_cast<uint32_t>(ParseNumber(args[0], 0xFFFFFFFFULL));
    ControlDevice device(slot);
    char text[kFirmwareVersionTextSize] = {};
    const DWORD bytes = device.Send("fwversion", IOCTL_TMAN_APP_GET_FIRMWARE_VERSION, nullptr, 0, text, sizeof(text));
    text[sizeof(text) - 1] = '\0';
    session.Out() << "fwversion " << slot << ' ' << QuoteText(text) << ' ' << bytes << '\n';
}

void RunLoopback(Session& session, const Args& args)
{
    const char* usage = "usage: loopback SLOT on|off";
    ExpectArgs(args, 2, usage);
    if (args[1] != "on" && args[1] != "off") throw CommandError(usage);
    LoopbackRequest request;
    request.slot = ParseSigned(args[0]);
    request.portIndex = 0;
    request.enable = args[1] == "on" ? 1 : 0;
    ControlDevice device(ControlDevice::FirstSlot());
    device.Send("loopback", IOCTL_TMAN_APP_SET_INTERNAL_LOOPBACK, &request, sizeof(request), nullptr, 0);
    session.Out() << "loopback ok\n";
}

void RunMonitor(Session& session, const Args& args)
{
    const char* usage = "usage: monitor start|stop|fetch";
    ExpectArgs(args, 1, usage);
    ControlDevice device(ControlDevice::FirstSlot());
    if (args[0] == "start") {
        device.Send("monitor start", IOCTL_TMAN_APP_START_MONITOR, nullptr, 0, nullptr, 0);
        return;
    }
    if (args[0] == "stop") {
        device.Send("monitor stop", IOCTL_TMAN_APP_STOP_MONITOR, nullptr, 0, nullptr, 0);
        return;
    }
    if (args[0] != "fetch") throw CommandError(usage);
    std::vector<uint8_t> buffer(kMonitorFetchBytes);
    const DWORD bytes = device.Send("monitor fetch", IOCTL_TMAN_APP_GET_NEXT_MONITOR, nullptr, 0, buffer.data(),
                                    static_cast<uint32_t>(buffer.size()));
    for (DWORD offset = 0; offset + sizeof(MonitorRecord) <= bytes; offset += sizeof(MonitorRecord)) {
        MonitorRecord record;
        std::memcpy(&record, buffer.data() + offset, sizeof(record));
        const uint32_t payload = record.length == 0 ? 0 : std::min(record.length, kMonitorDataSize) - 1;
        session.Out() << "monitor slot=" << record.slot << " com=" << record.comNumber
                      << (record.kind == kMonitorKindReceived ? " rx" : " tx") << " overrun=" << record.overrun
                      << ' ' << FormatBytes(record.data + 1, payload) << '\n';
    }
}

void RunEvents(Session& session, const Args& args)
{
    ExpectArgs(args, 0, "usage: events");
    ControlDevice device(ControlDevice::FirstSlot());
    std::vector<uint8_t> buffer(kEventFetchBytes);
    const DWORD bytes = device.Send("events", IOCTL_TMAN_APP_GET_NEXT_EVENT, nullptr, 0, buffer.data(),
                                    static_cast<uint32_t>(buffer.size()));
    for (DWORD offset = 0; offset + sizeof(EventRecord) <= bytes; offset += sizeof(EventRecord)) {
        EventRecord record;
        std::memcpy(&record, buffer.data() + offset, sizeof(record));
        session.Out() << "event seq=" << record.entry.seq << " gap=" << record.gap << " code=" << record.entry.code
                      << '\n';
    }
}

void RunIoctl(Session& session, const Args& args)
{
    ExpectArgs(args, 4, "usage: ioctl N CODE INLEN OUTLEN");
    const auto slot = static_cast<uint32_t>(ParseNumber(args[0], 0xFFFFFFFFULL));
    const auto code = static_cast<uint32_t>(ParseNumber(args[1], 0xFFFFFFFFULL));
    std::vector<uint8_t> input(ParseNumber(args[2], kIoctlBufferMax));
    std::vector<uint8_t> output(ParseNumber(args[3], kIoctlBufferMax));
    ControlDevice device(slot);
    const DWORD bytes = device.Send("ioctl", code, input.empty() ? nullptr : input.data(),
                                    static_cast<uint32_t>(input.size()), output.empty() ? nullptr : output.data(),
                                    static_cast<uint32_t>(output.size()));
    session.Out() << "ioctl ok " << bytes << '\n';
    // What came back, where the request returned data.
    const size_t shown = std::min<size_t>(bytes, output.size());
    if (shown != 0) session.Out() << "ioctl data " << FormatBytes(output.data(), shown) << '\n';
}

}  // namespace bench
