// The bus's life, plugging and unplugging, and what it tells about itself.
#include "hw/usb_bus.h"

#include "hw/usb_bus_internals.h"
#include "hw/usb_device_ids.h"
#include "hw/usb_status.h"

namespace winsim::hw {

UsbBus::UsbBus(pnp::PnpManager& pnp, PDRIVER_OBJECT hubDriver) : pnp_(pnp), hubDriver_(hubDriver)
{
    KeInitializeEvent(&wake_, SynchronizationEvent, FALSE);
    // Waits forever while no transfer can move: a daemon.
    thread_ = Scheduler::Instance().Spawn("usb bus", [this] { Run(); }, true);
}

UsbBus::~UsbBus()
{
    std::vector<AdapterModel*> adapters;
    {
        std::lock_guard lk(lock_);
        for (auto& [model, device] : current_) {
            if (device->connected) adapters.push_back(device->model);
        }
    }
    for (AdapterModel* adapter : adapters) Unplug(*adapter);
    pnp_.WaitIdle();
    {
        std::lock_guard lk(lock_);
        stopping_ = true;
    }
    Wake();
    thread_.Join();
}

NTSTATUS UsbBus::HubDriverEntry(PDRIVER_OBJECT driver, PUNICODE_STRING registryPath)
{
    UNREFERENCED_PARAMETER(registryPath);
    driver->MajorFunction[IRP_MJ_PNP] = DispatchPnp;
    driver->MajorFunction[IRP_MJ_POWER] = DispatchPower;
    driver->MajorFunction[IRP_MJ_INTERNAL_DEVICE_CONTROL] = DispatchInternalControl;
    driver->MajorFunction[IRP_MJ_SYSTEM_CONTROL] = DispatchSystemControl;
    driver->DriverUnload = [](PDRIVER_OBJECT) {};
    return STATUS_SUCCESS;
}

pnp::DeviceNode* UsbBus::Plug(AdapterModel& adapter)
{
    if (hubDriver_ == nullptr) return nullptr;
    const DescriptorLayout& layout = adapter.Descriptors();
    Plugged* device;
    {
        std::lock_guard lk(lock_);
        auto owned = std::make_unique<Plugged>();
        device = owned.get();
        device->model = &adapter;
        device->id = nextDeviceId_++;
        // The lowest free port of the root hub.
        device->port = 1;
        for (bool taken = true; taken; ) {
            taken = false;
            for (auto& [model, other] : current_) taken |= other->connected && other->port == device->port;
            if (taken) device->port++;
        }
        device->instanceId = DeviceInstanceId(adapter.SerialNumber(), device->port);
        plugged_.push_back(std::move(owned));
        current_[&adapter] = device;
    }
    adapter.Attach(*this);

    // The composite parent's function (usbccgp on Windows) is the bus's own:
    // the interfaces are reported with the device.
    PDEVICE_OBJECT parentPdo = CreatePdo(device, true, 0);
    if (parentPdo == nullptr) return nullptr;
    pnp::DeviceNode* node =
        pnp_.ReportChild(nullptr, parentPdo, DeviceHardwareIds(layout), device->instanceId);
    for (const InterfaceLayout& interface : layout.interfaces) {
        PDEVICE_OBJECT pdo = CreatePdo(device, false, interface.number);
        if (pdo == nullptr) continue;
        pnp_.ReportChild(node, pdo, InterfaceHardwareIds(layout, interface.number),
                         InterfaceInstanceId(device->instanceId, interface.number));
    }
    return node;
}

void UsbBus::Unplug(AdapterModel& adapter)
{
    std::vector<Finished> transfers;
    std::deque<PIRP> parked;
    std::vector<PdoContext*> pdos;
    PDEVICE_OBJECT parentPdo = nullptr;
    {
        std::lock_guard lk(lock_);
        auto it = current_.find(&adapter);
        if (it == current_.end() || !it->second->connected) return;
        Plugged* device = it->second;
        device->connected = false;
        for (auto& [address, pipe] : device->pipes) TakeTransfersLocked(pipe, USBD_STATUS_DEVICE_GONE, transfers);
        // Those whose cancel routine is running are left for it to find.
        std::deque<PIRP> left;
        for (PIRP irp : device->parked) (IoSetCancelRoutine(irp, nullptr) != nullptr ? parked : left).push_back(irp);
        device->parked.swap(left);
        for (PDEVICE_OBJECT pdo : device->pdos) pdos.push_back(static_cast<PdoContext*>(pdo->DeviceExtension));
        parentPdo = device->pdos.empty() ? nullptr : device->pdos.front();
    }
    adapter.Detach();
    CompleteTransfers(transfers);
    for (PIRP irp : parked) {
        CompleteUrb(irp, static_cast<PURB>(URB_FROM_IRP(irp)), USBD_STATUS_DEVICE_GONE, STATUS_DEVICE_NOT_CONNECTED);
    }
    for (PdoContext* context : pdos) FinishPendingWaitWake(context, STATUS_NO_SUCH_DEVICE);
    if (parentPdo != nullptr) pnp_.ReportGone(parentPdo);
}

PDEVICE_OBJECT UsbBus::FunctionPdo(const AdapterModel& adapter, UCHAR interfaceNumber) const
{
    std::lock_guard lk(lock_);
    auto it = current_.find(&adapter);
    if (it == current_.end()) return nullptr;
    for (PDEVICE_OBJECT pdo : it->second->pdos) {
        auto* context = static_cast<PdoContext*>(pdo->DeviceExtension);
        if (!context->parent && context->interfaceNumber == interfaceNumber) return pdo;
    }
    return nullptr;
}

size_t UsbBus::PendingTransfers(const AdapterModel& adapter, UCHAR endpoint) const
{
    std::lock_guard lk(lock_);
    auto it = current_.find(&adapter);
    if (it == current_.end()) return 0;
    auto pipe = it->second->pipes.find(endpoint);
    return pipe == it->second->pipes.end() ? 0 : pipe->second.queue.size();
}

size_t UsbBus::InFlight(const AdapterModel& adapter) const
{
    std::lock_guard lk(lock_);
    auto it = current_.find(&adapter);
    if (it == current_.end()) return 0;
    size_t count = it->second->parked.size();
    for (auto& [address, pipe] : it->second->pipes) count += pipe.queue.size();
    return count;
}

bool UsbBus::Busy() const
{
    std::lock_guard lk(lock_);
    // A frame under way still has transfers to complete at its later reports.
    return frameRunning_ || NextFrameLocked(Scheduler::Instance().Now()) >= 0;
}

void UsbBus::Wake()
{
    if (!wakeRequested_.exchange(true)) KeSetEvent(&wake_, IO_NO_INCREMENT, FALSE);
}

void UsbBus::SetTransferObserver(TransferObserver observer)
{
    std::lock_guard lk(lock_);
    observer_ = std::move(observer);
}

}  // namespace winsim::hw
