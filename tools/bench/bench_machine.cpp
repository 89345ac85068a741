#include "bench_machine.h"

#include "common/usb_ids.h"
#include "script_values.h"
#include "um/um_status.h"

extern "C" NTSTATUS DriverEntry(PDRIVER_OBJECT driverObject, PUNICODE_STRING registryPath);

namespace bench {

BenchMachine::BenchMachine(bool realtime)
    : machine_(std::make_unique<winsim::Machine>(
          winsim::MachineOptions{realtime ? winsim::ClockMode::RealTime : winsim::ClockMode::Virtual}))
{
    NTSTATUS status = STATUS_SUCCESS;
    if (machine_->InstallAndLoadDriver("84prusb", DriverEntry, &status) == nullptr) {
        throw CommandError("the driver 84prusb did not load: " + winsim::FormatNtStatus(status));
    }
    machine_->Pnp().RegisterDriver(u"" QTR_USB_DEVICE_ID QTR_USB_MI_CONTROL, "84prusb");
}

BenchMachine::~BenchMachine() = default;

BenchMachine::Adapter& BenchMachine::AdapterNamed(const std::string& name)
{
    Adapter& adapter = adapters_[name];
    if (adapter.model == nullptr) adapter.model = &machine_->AddAdapter(name);
    return adapter;
}

BenchMachine::Adapter* BenchMachine::FindAdapter(const std::string& name)
{
    auto found = adapters_.find(name);
    return found == adapters_.end() ? nullptr : &found->second;
}

}  // namespace bench
