#include "core/power_dispatch.h"

#include "core/io_count.h"
#include "core/lifecycle.h"
#include "core/wait_wake.h"

namespace {

NTSTATUS PassDown(AdapterExtension* extension, PIRP irp)
{
    PoStartNextPowerIrp(irp);
    IoSkipCurrentIrpStackLocation(irp);
    return PoCallDriver(extension->lowerDevice, irp);
}

}  // namespace

NTSTATUS DispatchPower(PDEVICE_OBJECT device, PIRP irp)
{
    AdapterExtension* extension = ExtensionOf(device);
    DeviceState state = CurrentState(extension);
    if (state == Removed) {
        PoStartNextPowerIrp(irp);
        return CompleteRequest(irp, STATUS_NO_SUCH_DEVICE, 0);
    }
    if (state == NotStarted) return PassDown(extension, irp);

    IoCountIncrement(extension);
    NTSTATUS status;
    if (IoGetCurrentIrpStackLocation(irp)->MinorFunction == IRP_MN_WAIT_WAKE) {
        status = WaitWakeDispatch(extension, irp);
    } else {
        // Set and query requests pass to the bus unchanged.
        status = PassDown(extension, irp);
    }
    IoCountDecrement(extension);
    return status;
}
