// The simulated PC as a whole: clock and dispatcher, a fresh registry, the
// PnP manager with a USB bus (its hub driver loaded first), the adapters
// that can be plugged into it, loaded drivers, and the notion of the machine
// being quiet. The calling thread becomes the machine's user (a simulation
// thread) for the machine's lifetime.
#pragma once

#include <km_io.h>

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "hw/adapter_model.h"
#include "hw/usb_bus.h"
#include "pnp/pnp_manager.h"
#include "pnp/system_power.h"
#include "sched/scheduler.h"

namespace winsim {

struct MachineOptions {
    ClockMode clock = ClockMode::Virtual;
};

class Machine {
public:
    explicit Machine(MachineOptions options = {});
    // Unplugs every adapter and lets the PnP manager remove them, then
    // unloads every driver in reverse order (the pool reports what each left
    // allocated) and stops the clock.
    ~Machine();
    Machine(const Machine&) = delete;
    Machine& operator=(const Machine&) = delete;

    // Writes the driver's service key (Type 1, Start 3, ImagePath) and loads
    // it. Null when its entry fails.
    PDRIVER_OBJECT InstallAndLoadDriver(std::string_view serviceName, PDRIVER_INITIALIZE entry,
                                        NTSTATUS* status = nullptr);

    pnp::PnpManager& Pnp() { return *pnp_; }
    hw::UsbBus& Usb() { return *usb_; }
    // A new adapter, not yet plugged; it lives as long as the machine.
    hw::AdapterModel& AddAdapter(std::string serialNumber,
                                 hw::DescriptorLayout layout = hw::DescriptorLayout::Adapter());

    // System sleep (S1..S5) and wake, as the power manager drives them
    // (pnp/system_power.h).
    NTSTATUS Sleep(SYSTEM_POWER_STATE state) { return power_->Sleep(state); }
    NTSTATUS Wake() { return power_->Wake(); }
    SYSTEM_POWER_STATE SystemState() const { return power_->State(); }
    // The adapter signals resume on the bus: its armed wait-wake completes,
    // and a sleeping machine wakes. False when no wake was armed.
    bool RemoteWakeup(hw::AdapterModel& adapter);

    // Lets simulated time pass for the machine's user.
    void Advance(Ticks duration);

    // Runs until nothing is left to do (no DPC or work item queued or
    // running, and every added condition quiet), at most for `bound` of
    // simulated time. Periodic timers do not count as work.
    void RunUntilQuiet(Ticks bound = 30 * kTicksPerSecond);
    // The same, and until `settled` holds as well (a program's thread done
    // with its input); whether `settled` holds when it returns.
    bool RunUntilQuietAnd(const std::function<bool()>& settled, Ticks bound = 30 * kTicksPerSecond);
    // Components (PnP manager, USB bus) add what "busy" means for them.
    void AddBusyCondition(std::function<bool()> busy);

    Ticks Now() const;
    // How far the clock can still move (it ends over 14,000 years after boot).
    Ticks ClockLeft() const;

private:
    bool Busy() const;

    std::unique_ptr<Scheduler::Attachment> user_;
    std::vector<PDRIVER_OBJECT> drivers_;
    std::unique_ptr<pnp::PnpManager> pnp_;
    std::vector<std::unique_ptr<hw::AdapterModel>> adapters_;
    std::unique_ptr<hw::UsbBus> usb_;
    std::unique_ptr<pnp::SystemPower> power_;
    std::vector<std::function<bool()>> busy_;
};

}  // namespace winsim
