#include "hw/firmware/application_firmware.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "common/firmware_protocol.h"
#include "common/message_wire.h"
#include "hw/adapter_model.h"
#include "hw/firmware/application_port.h"
#include "hw/firmware/service_loop.h"
#include "hw/serial/serial_lock.h"

namespace winsim::hw {

namespace {

constexpr UCHAR kOutEndpoint = 0x01;
constexpr UCHAR kInEndpoint = 0x81;

}  // namespace

struct ApplicationFirmware::State : PortHost, ServiceLoop::Client {
    explicit State(AdapterModel& model) : adapter(model)
    {
        for (UCHAR i = 0; i < kPorts; ++i) ports[i] = std::make_unique<ApplicationPort>(i, *this);
    }

    void SendToHost(std::vector<UCHAR> message) override { adapter.QueueIn(kInEndpoint, std::move(message)); }
    bool HostHasRoom() const override { return adapter.QueuedInPackets(kInEndpoint) < kInPacketsQueued; }
    void WakeService() override { loop->WakeLocked(*this); }
    void ServiceSoon() override { loop->SoonLocked(*this); }

    // Moves every character due by now on each port; the earliest time a
    // port needs a pass again, or -1.
    double ServiceLocked(Ticks now) override
    {
        double next = -1;
        for (auto& port : ports) {
            const double portDue = port->ServiceLocked(now);
            if (portDue >= 0 && (next < 0 || portDue < next)) next = portDue;
        }
        return next;
    }

    // Sets restart when the host asked for one.
    void Handle(const std::vector<UCHAR>& message, bool& restart);

    AdapterModel& adapter;
    std::array<std::unique_ptr<ApplicationPort>, kPorts> ports;
    std::string versionText;
    std::function<void(bool)> restartHandler;
    bool bootLoaderRequested = false;
};

void ApplicationFirmware::State::Handle(const std::vector<UCHAR>& message, bool& restart)
{
    const UCHAR code = message[0];
    const UCHAR base = MessageBaseCode(code);
    const bool hasPayload = message.size() > kMessageHeaderLength;
    const UCHAR* payload = hasPayload ? message.data() + kMessageHeaderLength : nullptr;
    const ULONG length = hasPayload ? static_cast<ULONG>(message.size() - kMessageHeaderLength) : 0;
    ApplicationPort& port = *ports[MessagePort(code)];
    switch (base) {
    case kMsgTransmitData: port.DataLocked(payload, length, false); break;
    case kMsgLoopbackData: {
        // The code has no room for the port: the driver names it in byte 1.
        const UCHAR target = message.size() >= kMessageHeaderLength ? message[1] : 0;
        ports[target < kPorts ? target : 0]->DataLocked(payload, length, true);
        break;
    }
    case kMsgConfigure:
        if (length >= sizeof(ConfigurationPayload)) {
            ConfigurationPayload configuration;
            std::memcpy(&configuration, payload, sizeof(configuration));
            port.ConfigureLocked(configuration);
        }
        break;
    case kMsgPortInit: port.InitializeLocked(); break;
    case kMsgModemControl:
        if (length >= sizeof(ModemControlPayload)) port.ModemControlLocked(payload[0], payload[1]);
        break;
    case kMsgGetVersion: {
        const size_t n = std::min<size_t>(versionText.size(), kMessagePayloadMax);
        std::vector<UCHAR> reply(kMessageHeaderLength + n);
        reply[0] = kMsgVersionText;
        std::copy_n(versionText.begin(), n, reply.begin() + kMessageHeaderLength);
        SendToHost(reply);
        break;
    }
    case kMsgEnterBootLoader: bootLoaderRequested = length >= 1 && payload[0] == kEnterBootLoaderValue; break;
    case kMsgRestart: restart = true; break;
    default: break;  // the boot loader's commands mean nothing to the application
    }
}

ApplicationFirmware::ApplicationFirmware(AdapterModel& adapter, std::string versionText)
    : state_(std::make_unique<State>(adapter)), versionText_(std::move(versionText))
{
    state_->versionText = versionText_;
    ServiceLoop::Enter(*state_);
}

ApplicationFirmware::~ApplicationFirmware() { state_->loop->Leave(*state_); }

void ApplicationFirmware::OnOut(UCHAR endpoint, const std::vector<UCHAR>& packet)
{
    if (endpoint != kOutEndpoint || packet.empty()) return;
    bool restart = false;
    std::function<void(bool)> handler;
    bool bootLoader = false;
    {
        std::lock_guard lk(serial::SerialLock());
        state_->Handle(packet, restart);
        if (restart) {
            handler = state_->restartHandler;
            bootLoader = state_->bootLoaderRequested;
            state_->bootLoaderRequested = false;
        }
    }
    // Last: the handler may restart the adapter and with it end this object.
    if (restart && handler) handler(bootLoader);
}

void ApplicationFirmware::SetRestartHandler(std::function<void(bool bootLoaderRequested)> handler)
{
    std::lock_guard lk(serial::SerialLock());
    state_->restartHandler = std::move(handler);
}

serial::SerialPort& ApplicationFirmware::Port(ULONG index) { return state_->ports[index % kPorts]->Line(); }

ApplicationPort& ApplicationFirmware::PortState(ULONG index) { return *state_->ports[index % kPorts]; }

std::string DefaultApplicationVersion() { return kFirmwareImageVersionText; }

ApplicationFirmware& RunApplication(AdapterModel& adapter, std::string versionText)
{
    auto firmware = std::make_unique<ApplicationFirmware>(adapter, std::move(versionText));
    ApplicationFirmware& result = *firmware;
    adapter.InstallFirmware(std::move(firmware));
    return result;
}

}  // namespace winsim::hw
