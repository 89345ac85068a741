// Adapters on the simulated PC with their ports registered the way the
// serial port driver registers them (port interface PDOs as the port
// devices, each with an instance key naming its driver key), and what each
// adapter receives on its message pipe.
#pragma once

#include <mutex>
#include <string>
#include <vector>

#include "adapter_fixture.h"
#include "common/port_service_table.h"
#include "control_client.h"
#include "hw/endpoint_handler.h"

namespace driver_test {

// What the host sent to the adapter, message by message, on its way to the
// adapter's firmware.
class MessageRecorder : public winsim::hw::EndpointHandler {
public:
    explicit MessageRecorder(winsim::hw::EndpointHandler* firmware) : firmware_(firmware) {}
    void OnOut(UCHAR endpoint, const std::vector<UCHAR>& packet) override;
    size_t CountWithCode(UCHAR code) const;

private:
    winsim::hw::EndpointHandler* firmware_;
    mutable std::mutex lock_;
    std::vector<std::vector<UCHAR>> packets_;
};

struct BoundAdapter {
    PluggedAdapter plugged;
    PortServicesInterface table = {};
    PDEVICE_OBJECT portDevices[kPortsPerAdapter] = {};
    MessageRecorder* recorder = nullptr;
    bool bound = false;
};

class ControlDeviceTest : public AdapterTest {
protected:
    void TearDown() override;

    // Plugs an adapter, binds to its port services and registers the first
    // `registered` ports with the given COM numbers.
    BoundAdapter& PlugAndRegister(const std::string& serial, std::vector<ULONG> comNumbers, ULONG registered = 4);
    // Does what the port driver does on an adapter already on the bus: finds
    // the port interfaces (giving each instance key a driver key), binds, and
    // registers the first `registered` ports.
    BoundAdapter& BindAndRegister(PluggedAdapter plugged, std::vector<ULONG> comNumbers, ULONG registered = 4);
    // Marks the port open or closed through the register image, as the port
    // driver does.
    void SetPortOpen(BoundAdapter& adapter, ULONG port, bool open);

    std::u16string PortParameters(const BoundAdapter& adapter, ULONG port) const;
    std::u16string PortInstanceKey(const BoundAdapter& adapter, ULONG port) const;
    std::u16string AdapterParameters(const BoundAdapter& adapter) const;
    std::u16string Text(const std::u16string& key, const char16_t* name) const;

private:
    std::vector<std::unique_ptr<BoundAdapter>> adapters_;
    std::vector<std::unique_ptr<MessageRecorder>> recorders_;
};

// Win32 errors the requests fail with.
constexpr uint32_t kErrorInvalidFunction = 1;    // STATUS_INVALID_DEVICE_REQUEST
constexpr uint32_t kErrorAccessDenied = 5;       // STATUS_DELETE_PENDING
constexpr uint32_t kErrorGenFailure = 31;        // STATUS_UNSUCCESSFUL
constexpr uint32_t kErrorInvalidParameter = 87;  // STATUS_INVALID_PARAMETER

}  // namespace driver_test
