#include "bench_machine.h"

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
}

BenchMachine::~BenchMachine() = default;

}  // namespace bench
