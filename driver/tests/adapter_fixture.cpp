#include "adapter_fixture.h"

#include "common/usb_ids.h"
#include "hw/firmware/application_firmware.h"
#include "km/io_manager.h"

extern "C" NTSTATUS DriverEntry(PDRIVER_OBJECT driverObject, PUNICODE_STRING registryPath);

namespace driver_test {

void AdapterTest::SetUp()
{
    machine_ = std::make_unique<winsim::Machine>(winsim::MachineOptions{clock_});
    mark_ = winsim::Pool::Mark();
    driver_ = machine_->InstallAndLoadDriver("84prusb", DriverEntry);
    ASSERT_NE(driver_, nullptr);
    pnp().RegisterDriver(u"" QTR_USB_DEVICE_ID QTR_USB_MI_CONTROL, "84prusb");
}

void AdapterTest::TearDown()
{
    // Unplugs every adapter, then unloads the driver, whose own leak report
    // would stop the test.
    machine_.reset();
    for (const winsim::PoolBlock& block : winsim::Pool::LeaksSince(mark_)) {
        ADD_FAILURE() << "left in pool: " << block.tag << ", " << block.bytes << " bytes";
    }
}

PluggedAdapter AdapterTest::Plug(const std::string& serial, winsim::hw::DescriptorLayout layout,
                                 const std::function<void(winsim::hw::AdapterModel&)>& firmware)
{
    PluggedAdapter adapter;
    adapter.model = &machine_->AddAdapter(serial, std::move(layout));
    if (firmware) {
        firmware(*adapter.model);
    } else {
        adapter.firmware = &winsim::hw::RunApplication(*adapter.model);
    }
    adapter.device = machine_->Usb().Plug(*adapter.model);
    pnp().WaitIdle();
    machine_->RunUntilQuiet();
    const std::u16string suffix = u"" QTR_USB_MI_CONTROL;
    for (winsim::pnp::DeviceNode* child : adapter.device->Children()) {
        const std::u16string& id = child->HardwareIds().front();
        if (id.size() >= suffix.size() && id.compare(id.size() - suffix.size(), suffix.size(), suffix) == 0) {
            adapter.control = child;
        }
    }
    return adapter;
}

void AdapterTest::Unplug(const PluggedAdapter& adapter)
{
    machine_->Usb().Unplug(*adapter.model);
    pnp().WaitIdle();
    machine_->RunUntilQuiet();
}

PDEVICE_OBJECT AdapterTest::Fdo(const PluggedAdapter& adapter)
{
    if (adapter.control == nullptr || adapter.control->Pdo() == nullptr) return nullptr;
    return adapter.control->Pdo()->AttachedDevice;
}

AdapterExtension* AdapterTest::Extension(const PluggedAdapter& adapter)
{
    PDEVICE_OBJECT fdo = Fdo(adapter);
    return fdo == nullptr ? nullptr : ExtensionOf(fdo);
}

NTSTATUS AdapterTest::Open(const std::u16string& path, PFILE_OBJECT* file)
{
    winsim::io::OpenParameters parameters;
    parameters.desiredAccess = GENERIC_READ | GENERIC_WRITE;
    parameters.createOptions = winsim::io::kFileSynchronousIoNonAlert;
    return winsim::io::OpenFile(path, parameters, file);
}

void AdapterTest::Close(PFILE_OBJECT file)
{
    winsim::io::CleanupFile(file);
    ObDereferenceObject(file);
}

std::u16string DosName(ULONG slot)
{
    std::u16string name = u"\\DosDevices\\QTR84PR";
    for (char c : std::to_string(slot)) name += static_cast<char16_t>(c);
    return name;
}

NTSTATUS PipeTransfer(PFILE_OBJECT file, UCHAR major, std::vector<UCHAR>& buffer, ULONG_PTR* moved)
{
    IO_STATUS_BLOCK status = {};
    winsim::io::FileRequest request;
    request.majorFunction = major;
    if (major == IRP_MJ_READ) {
        request.outputBuffer = buffer.data();
        request.outputLength = static_cast<ULONG>(buffer.size());
    } else {
        request.inputBuffer = buffer.data();
        request.inputLength = static_cast<ULONG>(buffer.size());
    }
    request.ioStatus = &status;
    const NTSTATUS result = winsim::io::IssueFileRequest(file, request);
    *moved = status.Information;
    return result;
}

}  // namespace driver_test
