// A hostile device's configuration descriptor: the input is the whole
// descriptor the adapter returns. The driver must start or refuse the
// adapter without reading past the descriptor, and leave nothing behind
// once the adapter is unplugged and the driver unloaded.
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "common/usb_ids.h"
#include "machine/machine.h"
#include "verifier/pool.h"

extern "C" NTSTATUS DriverEntry(PDRIVER_OBJECT driverObject, PUNICODE_STRING registryPath);

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size > 4096) return 0;
    winsim::PoolMark mark;
    {
        winsim::Machine machine;
        mark = winsim::Pool::Mark();
        if (machine.InstallAndLoadDriver("84prusb", DriverEntry) == nullptr) std::abort();
        machine.Pnp().RegisterDriver(u"" QTR_USB_DEVICE_ID QTR_USB_MI_CONTROL, "84prusb");
        winsim::hw::DescriptorLayout layout = winsim::hw::DescriptorLayout::Adapter();
        layout.rawConfiguration = std::vector<UCHAR>(data, data + size);
        winsim::hw::AdapterModel& adapter = machine.AddAdapter("FUZZ", layout);
        machine.Usb().Plug(adapter);
        machine.RunUntilQuiet();
        machine.Usb().Unplug(adapter);
        machine.RunUntilQuiet();
    }
    // The machine unloaded the driver, whose own leak report stops the run.
    if (!winsim::Pool::LeaksSince(mark).empty()) std::abort();
    return 0;
}
