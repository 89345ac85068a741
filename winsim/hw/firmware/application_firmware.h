// The application firmware of the adapter's microcontroller: the adapter side
// of the message protocol on endpoints 0x01 (OUT) and 0x81 (IN), and the four
// UARTs behind it with their serial lines.
//
// Sizes (per port):
//  - transmit FIFO: kTransmitFifoBytes; the firmware grants kTransmitCredits
//    credits of one data message (at most 62 bytes) each, so the credits
//    outstanding never promise more than the FIFO holds. A credit comes back
//    once the bytes of its message have left on the line.
//  - receive FIFO: kReceiveFifoBytes. Received bytes wait there until the IN
//    endpoint has room (at most kInPacketsQueued packets queued), so a host
//    that keeps its message reads outstanding never loses one. Above
//    kReceiveHighWater the port holds the far end back (RTS low when CTS
//    handshake is configured); below kReceiveLowWater it lets go again.
#pragma once

#include <ntdef.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "hw/endpoint_handler.h"

namespace winsim::hw {

class AdapterModel;
class ApplicationPort;

namespace serial {
class SerialPort;
}

class ApplicationFirmware : public EndpointHandler {
public:
    static constexpr ULONG kPorts = 4;
    static constexpr ULONG kTransmitCredits = 8;
    static constexpr ULONG kTransmitFifoBytes = kTransmitCredits * 62;
    static constexpr ULONG kReceiveFifoBytes = 2048;
    static constexpr ULONG kReceiveHighWater = 1536;
    static constexpr ULONG kReceiveLowWater = 512;
    static constexpr size_t kInPacketsQueued = 8;

    // Runs on the adapter, answering on its IN endpoints; reports versionText
    // to the version request.
    ApplicationFirmware(AdapterModel& adapter, std::string versionText);
    // Leaves the firmware's service loop; call on a simulation thread.
    ~ApplicationFirmware() override;
    ApplicationFirmware(const ApplicationFirmware&) = delete;
    ApplicationFirmware& operator=(const ApplicationFirmware&) = delete;

    void OnOut(UCHAR endpoint, const std::vector<UCHAR>& packet) override;

    // The host asked for a restart (0x5A); bootLoaderRequested: 0x5B with 1
    // came before it. The microcontroller that hosts the application restarts
    // the adapter; standalone, the application ignores it.
    void SetRestartHandler(std::function<void(bool bootLoaderRequested)> handler);

    const std::string& VersionText() const { return versionText_; }

    // Port 0..3: where its serial line's far end plugs in (serial_port.h).
    serial::SerialPort& Port(ULONG index);
    // The firmware's own state of port 0..3 (its counters, for tests).
    ApplicationPort& PortState(ULONG index);

private:
    struct State;
    std::unique_ptr<State> state_;
    const std::string versionText_;
};

// The version text of the image the driver carries: an adapter reporting
// it passes the driver's firmware check.
std::string DefaultApplicationVersion();

// Makes a bare adapter run the application (no boot loader) for as long as
// the adapter lives; the adapter owns it.
ApplicationFirmware& RunApplication(AdapterModel& adapter, std::string versionText = DefaultApplicationVersion());

}  // namespace winsim::hw
