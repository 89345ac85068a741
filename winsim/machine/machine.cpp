#include "machine/machine.h"

#include <algorithm>
#include <string>

#include "km/io_manager.h"
#include "registry/registry_store.h"
#include "um/um_process.h"

namespace winsim {

namespace {

constexpr Ticks kQuietPollInterval = kTicksPerMillisecond;

std::u16string Widen(std::string_view text) { return std::u16string(text.begin(), text.end()); }

}  // namespace

Machine::Machine(MachineOptions options)
{
    Scheduler::Instance().Boot(options.clock);
    registry::Store::Instance().Reset();
    um::BootUserMode();
    user_ = std::make_unique<Scheduler::Attachment>("machine");
    PDRIVER_OBJECT hub = InstallAndLoadDriver("usbhub", hw::UsbBus::HubDriverEntry);
    pnp_ = std::make_unique<pnp::PnpManager>();
    usb_ = std::make_unique<hw::UsbBus>(*pnp_, hub);
    power_ = std::make_unique<pnp::SystemPower>(*pnp_);
    AddBusyCondition([this] { return pnp_->Busy() || usb_->Busy(); });
}

Machine::~Machine()
{
    um::ShutdownUserMode();
    RunUntilQuiet();
    power_.reset();
    usb_.reset();
    pnp_.reset();
    adapters_.clear();
    for (auto it = drivers_.rbegin(); it != drivers_.rend(); ++it) io::UnloadDriver(*it);
    drivers_.clear();
    user_.reset();
    Scheduler::Instance().Shutdown();
}

PDRIVER_OBJECT Machine::InstallAndLoadDriver(std::string_view serviceName, PDRIVER_INITIALIZE entry, NTSTATUS* status)
{
    auto& store = registry::Store::Instance();
    const std::u16string key = u"\\Registry\\Machine\\System\\CurrentControlSet\\Services\\" + Widen(serviceName);
    store.SetDword(key, u"Type", 1);   // kernel driver
    store.SetDword(key, u"Start", 3);  // demand start, loaded by Plug and Play
    store.SetDword(key, u"ErrorControl", 1);
    store.SetString(key, u"ImagePath", u"\\SystemRoot\\System32\\drivers\\" + Widen(serviceName) + u".sys");
    PDRIVER_OBJECT driver = io::LoadDriver(serviceName, entry, status);
    if (driver != nullptr) drivers_.push_back(driver);
    return driver;
}

hw::AdapterModel& Machine::AddAdapter(std::string serialNumber, hw::DescriptorLayout layout)
{
    adapters_.push_back(std::make_unique<hw::AdapterModel>(std::move(serialNumber), std::move(layout)));
    return *adapters_.back();
}

bool Machine::RemoteWakeup(hw::AdapterModel& adapter)
{
    if (!usb_->RemoteWakeup(adapter)) return false;
    if (power_->State() != PowerSystemWorking) power_->Wake();
    return true;
}

void Machine::Advance(Ticks duration) { Scheduler::Instance().Sleep(duration); }

void Machine::AddBusyCondition(std::function<bool()> busy) { busy_.push_back(std::move(busy)); }

bool Machine::Busy() const
{
    if (Scheduler::Instance().DeferredWorkPending()) return true;
    for (const auto& busy : busy_) {
        if (busy()) return true;
    }
    return false;
}

void Machine::RunUntilQuiet(Ticks bound)
{
    RunUntilQuietAnd([] { return true; }, bound);
}

bool Machine::RunUntilQuietAnd(const std::function<bool()>& settled, Ticks bound)
{
    Scheduler& scheduler = Scheduler::Instance();
    const Ticks deadline = Now() + bound;
    scheduler.Settle();
    while ((Busy() || !settled()) && Now() < deadline) {
        // Settled, nothing changes before the next deadline: a virtual clock
        // goes straight there instead of polling through the time between.
        Ticks step = kQuietPollInterval;
        const Ticks next = scheduler.Mode() == ClockMode::Virtual ? scheduler.EarliestDeadline() : -1;
        if (next > Now()) step = std::min(next, deadline) - Now();
        Advance(step);
        scheduler.Settle();
    }
    return settled();
}

Ticks Machine::Now() const { return Scheduler::Instance().Now(); }

Ticks Machine::ClockLeft() const { return Scheduler::Instance().ClockLeft(); }

}  // namespace winsim
