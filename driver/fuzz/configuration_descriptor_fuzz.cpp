// A hostile device's configuration descriptor: the input is the whole
// descriptor the adapter returns. The driver must start or refuse the
// adapter without reading past the descriptor, and leave nothing behind
// once the adapter is unplugged.
//
// One machine serves every input: booted once with the driver loaded, it
// gets the adapter plugged with the input's descriptor and unplugged again,
// and is then put back as it was before the first plug (registry, device
// tree), so each input meets a machine that never saw the adapter.
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "common/usb_ids.h"
#include "machine/machine.h"
#include "registry/registry_store.h"
#include "tools/fuzz/shared_machine_flags.h"
#include "verifier/pool.h"

extern "C" NTSTATUS DriverEntry(PDRIVER_OBJECT driverObject, PUNICODE_STRING registryPath);

namespace {

class PluggingMachine {
public:
    PluggingMachine()
    {
        if (machine_.InstallAndLoadDriver("84prusb", DriverEntry) == nullptr) std::abort();
        machine_.Pnp().RegisterDriver(u"" QTR_USB_DEVICE_ID QTR_USB_MI_CONTROL, "84prusb");
        registry_ = winsim::registry::Store::Instance().Snapshot();
        // A first adapter makes what the driver keeps for its whole life,
        // which the leak check of an input must not count.
        PlugAndUnplug(winsim::hw::DescriptorLayout::Adapter());
    }

    // The adapter with that layout, plugged until it settles, then unplugged.
    // Aborts when anything it made is still allocated afterwards.
    void PlugAndUnplug(winsim::hw::DescriptorLayout layout)
    {
        const winsim::PoolMark mark = winsim::Pool::Mark();
        adapter_.ReplaceDescriptors(std::move(layout));
        machine_.Usb().Plug(adapter_);
        machine_.RunUntilQuiet();
        machine_.Usb().Unplug(adapter_);
        machine_.RunUntilQuiet();
        if (!winsim::Pool::LeaksSince(mark).empty()) std::abort();
        machine_.Pnp().ForgetDeletedNodes();
        winsim::registry::Store::Instance().Restore(registry_);
    }

private:
    winsim::Machine machine_;
    winsim::hw::AdapterModel& adapter_ = machine_.AddAdapter("FUZZ");
    winsim::registry::KeyRef registry_;
};

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    qtr_fuzz::UseSharedMachineFlags(argc, argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size > 4096) return 0;
    static PluggingMachine machine;
    winsim::hw::DescriptorLayout layout = winsim::hw::DescriptorLayout::Adapter();
    layout.rawConfiguration = std::vector<UCHAR>(data, data + size);
    machine.PlugAndUnplug(std::move(layout));
    return 0;
}
