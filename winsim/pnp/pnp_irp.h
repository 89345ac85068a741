// PnP and power IRPs the way the PnP and power managers send them: allocated for the top of the
// device's stack, IoStatus.Status = STATUS_NOT_SUPPORTED until a driver
// answers, sent to the top and waited for at PASSIVE_LEVEL.
#pragma once

#include <km_io.h>

#include <functional>

namespace winsim::pnp {

using StackSetup = std::function<void(IO_STACK_LOCATION&)>;

// Returns the final status; *information receives IoStatus.Information.
NTSTATUS SendPnpIrp(PDEVICE_OBJECT pdo, UCHAR minor, const StackSetup& setup = {},
                    ULONG_PTR* information = nullptr);
// The same for a power request (sent with PoCallDriver).
NTSTATUS SendPowerIrp(PDEVICE_OBJECT pdo, UCHAR minor, const StackSetup& setup);

// A capabilities record as the PnP manager hands it down: sized, version 1,
// address and UI number unknown.
void InitializeCapabilities(DEVICE_CAPABILITIES* capabilities);

}  // namespace winsim::pnp
