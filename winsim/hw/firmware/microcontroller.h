// The adapter's microcontroller: its flash, the resident boot loader and,
// when the flash holds a valid application, the application firmware with
// the build text found in its image. It is the adapter's endpoint handler
// and passes the host's messages to whichever of the two runs.
//
// Power-on (Plug) and every restart boot the boot loader when the header in
// flash does not validate or the application asked for it (0x5B with 1
// before 0x5A), else the application. A restart makes the adapter leave the
// bus and come back, with the same serial number, as a new device node.
#pragma once

#include <ntdef.h>

#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "hw/adapter_model.h"
#include "hw/endpoint_handler.h"
#include "hw/firmware/action_schedule.h"
#include "hw/firmware/application_firmware.h"
#include "hw/firmware/boot_loader.h"
#include "hw/firmware/flash_memory.h"
#include "hw/usb_bus.h"

namespace winsim::hw {

class Microcontroller : public EndpointHandler {
public:
    // From the restart command to leaving the bus, and the time off the bus
    // until the hub sees the device again.
    static constexpr Ticks kResetDelay = 1 * kTicksPerMillisecond;
    static constexpr Ticks kReconnectDelay = 150 * kTicksPerMillisecond;

    // Becomes adapter's endpoint handler; nothing runs until Plug. Create
    // and destroy on a simulation thread.
    Microcontroller(AdapterModel& adapter, UsbBus& bus, FlashMemory flash,
                    std::string bootLoaderText = BootLoader::kDefaultVersionText);
    // Pulls the adapter out if it is plugged.
    ~Microcontroller() override;
    Microcontroller(const Microcontroller&) = delete;
    Microcontroller& operator=(const Microcontroller&) = delete;

    // Power on: boots, then connects to the bus.
    pnp::DeviceNode* Plug();
    // Power off: leaves the bus; a restart on its way is dropped.
    void Unplug();

    void OnOut(UCHAR endpoint, const std::vector<UCHAR>& packet) override;

    FlashMemory& Flash() { return flash_; }
    BootLoader& Loader() { return bootLoader_; }
    // The application runs (else the boot loader does).
    bool RunsApplication() const;
    // The application's build text; empty while the boot loader runs.
    std::string ApplicationText() const;
    // Calls f with the running application, if any, under the lock that
    // keeps it from being replaced meanwhile.
    void WithApplication(const std::function<void(ApplicationFirmware&)>& f);

    // Re-enumerations after a restart so far; the observer hears each one
    // when the adapter is back on the bus (on the microcontroller's thread).
    ULONG Restarts() const;
    void SetRestartObserver(std::function<void()> observer);

    // Fault knob: the adapter is pulled out right after the boot loader
    // handles its nth write command from now (0: off).
    void UnplugAfterWrites(ULONG nth);

    // A restart, an answer or a reconnection is on its way.
    bool Busy() const { return schedule_.Busy(); }
    std::function<bool()> BusyCondition() const { return schedule_.BusyCondition(); }

private:
    // What runs after power-on or reset.
    void Boot();
    void Restart(bool bootLoaderRequested);
    void Reconnect();
    void SendIn(std::vector<UCHAR> message);

    AdapterModel& adapter_;
    UsbBus& bus_;
    FlashMemory flash_;
    BootLoader bootLoader_;
    ActionSchedule schedule_;

    // Guards the running firmware and the messages passed to it.
    mutable std::mutex runLock_;
    std::unique_ptr<ApplicationFirmware> application_;
    bool bootLoaderRequested_ = false;
    ULONG unplugAtWrite_ = 0;

    mutable std::mutex observerLock_;
    std::function<void()> observer_;
    ULONG restarts_ = 0;
};

}  // namespace winsim::hw
