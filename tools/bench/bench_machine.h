// The bench's PC: winsim's machine with the product's driver package
// installed and the driver loaded, and the adapters a script named.
#pragma once

#include <windows.h>

#include <array>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "gui/gui_programs.h"
#include "hw/firmware/microcontroller.h"
#include "machine/machine.h"

namespace bench {

class PtyBridge;

class BenchMachine {
public:
    // Without the driver package: neither 84prusb nor the port driver, no
    // driver file; the Assistant's folder is there all the same.
    BenchMachine(bool realtime, bool driverInstalled);
    ~BenchMachine();

    void Advance(int64_t ticks) { machine_->Advance(ticks); }
    // After every command: until quiet, at most 30 s of simulated time.
    void RunUntilQuiet() { machine_->RunUntilQuiet(); }
    winsim::Machine& Sim() { return *machine_; }

    // Where a named adapter is: out of the machine, in a USB port, or in a
    // port but ejected (removed by PnP, still on the bus).
    enum class Plugging { kOut, kIn, kEjected };
    // What is plugged into a port's connector. It stays there while the
    // adapter restarts or is off the USB bus; a fed peer is gone once fed.
    struct Connector {
        enum class Kind { kNothing, kLoopback, kNullModem };
        Kind kind = Kind::kNothing;
        std::string otherAdapter;  // a null-modem cable's other end
        ULONG otherPort = 0;       // 0 to 3
    };
    struct Adapter {
        winsim::hw::AdapterModel* model = nullptr;
        winsim::pnp::DeviceNode* node = nullptr;  // while in a port
        Plugging plugging = Plugging::kOut;
        // From the first plug on; its flash outlives unplugging.
        std::unique_ptr<winsim::hw::Microcontroller> microcontroller;
        ULONG restartsReported = 0;
        std::array<Connector, 4> connectors;
    };
    // The adapter of that name, made the first time it is named; its serial
    // number is its name.
    Adapter& AdapterNamed(const std::string& name);
    // Null for a name no script used.
    Adapter* FindAdapter(const std::string& name);
    // Every adapter named so far, by name.
    const std::map<std::string, Adapter>& Adapters() const { return adapters_; }
    std::map<std::string, Adapter>& Adapters() { return adapters_; }

    // COM ports and adapter pipes the script opened, by name ("COM3",
    // "QTR84PR0\\PIPE03"); closed with the machine.
    std::map<std::string, HANDLE>& ComHandles() { return comHandles_; }

    // A read or write the bench stopped waiting for while it was still
    // pending, as a program may: its buffer and OVERLAPPED stay until the
    // request ends, at the latest when its handle is closed.
    struct HeldRequest {
        std::vector<uint8_t> buffer;
        OVERLAPPED overlapped = {};
    };
    std::multimap<std::string, std::unique_ptr<HeldRequest>>& HeldRequests() { return heldRequests_; }
    // Closes the handle and lets go of its held requests once they ended.
    void CloseHandleNamed(const std::string& name);

    // The window programs started on the machine; they end before it does.
    GuiPrograms& Programs() { return *programs_; }

    // COM ports bridged to Linux pseudo-terminals (`pty`); they end first.
    std::vector<std::unique_ptr<PtyBridge>>& PtyBridges() { return ptyBridges_; }

private:
    void InstallDriverPackage();

    // Outlives the machine: a request still held at the end may be completed
    // while the machine shuts down.
    std::multimap<std::string, std::unique_ptr<HeldRequest>> heldRequests_;
    std::unique_ptr<winsim::Machine> machine_;
    std::map<std::string, Adapter> adapters_;
    std::map<std::string, HANDLE> comHandles_;
    std::unique_ptr<GuiPrograms> programs_ = std::make_unique<GuiPrograms>();
    std::vector<std::unique_ptr<PtyBridge>> ptyBridges_;
};

}  // namespace bench
