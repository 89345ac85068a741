#include "usb_test_harness.h"

namespace winsim::test {

void UsbMachineTest::SetUp()
{
    machine_ = std::make_unique<Machine>();
    mark_ = Pool::Mark();
}

void UsbMachineTest::TearDown()
{
    // The machine unplugs its adapters and unloads its drivers (each checked
    // for leaks), last loaded first.
    machine_.reset();
    for (const PoolBlock& block : Pool::LeaksSince(mark_)) {
        ADD_FAILURE() << "left in pool: " << block.tag << ", " << block.bytes << " bytes";
    }
}

hw::AdapterModel& UsbMachineTest::AddAdapter(std::string serial, hw::DescriptorLayout layout)
{
    return machine_->AddAdapter(std::move(serial), std::move(layout));
}

pnp::DeviceNode* UsbMachineTest::PlugAndSettle(hw::AdapterModel& adapter)
{
    pnp::DeviceNode* node = bus().Plug(adapter);
    pnp().WaitIdle();
    return node;
}

pnp::DeviceNode* UsbMachineTest::InterfaceNode(pnp::DeviceNode* device, UCHAR interfaceNumber)
{
    char suffix[8];
    std::snprintf(suffix, sizeof suffix, "&MI_%02X", interfaceNumber);
    for (pnp::DeviceNode* child : device->Children()) {
        const std::u16string& id = child->HardwareIds().back();
        if (id.size() >= 6 && id.compare(id.size() - 6, 6, std::u16string(suffix, suffix + 6)) == 0) return child;
    }
    return nullptr;
}

UrbRequest::UrbRequest(PDEVICE_OBJECT pdo, ULONG ioControlCode)
    : pdo_(pdo), ioControlCode_(ioControlCode), irp_(IoAllocateIrp(pdo->StackSize, FALSE))
{
    KeInitializeEvent(&event_, NotificationEvent, FALSE);
}

UrbRequest::~UrbRequest()
{
    if (sent_ && !done_) {
        IoCancelIrp(irp_);
        Wait();
    }
    IoFreeIrp(irp_);
}

NTSTATUS UrbRequest::Send()
{
    PIO_STACK_LOCATION next = IoGetNextIrpStackLocation(irp_);
    next->MajorFunction = IRP_MJ_INTERNAL_DEVICE_CONTROL;
    next->Parameters.DeviceIoControl.IoControlCode = ioControlCode_;
    next->Parameters.Others.Argument1 = ioControlCode_ == IOCTL_INTERNAL_USB_SUBMIT_URB ? urb_ : argument_;
    IoSetCompletionRoutine(irp_, Completed, this, TRUE, TRUE, TRUE);
    sent_ = true;
    return IoCallDriver(pdo_, irp_);
}

NTSTATUS UrbRequest::Wait()
{
    KeWaitForSingleObject(&event_, Executive, KernelMode, FALSE, nullptr);
    return status_;
}

bool UrbRequest::Cancel() { return IoCancelIrp(irp_) != FALSE; }

NTSTATUS UrbRequest::Completed(PDEVICE_OBJECT device, PIRP irp, PVOID context)
{
    UNREFERENCED_PARAMETER(device);
    auto* request = static_cast<UrbRequest*>(context);
    request->irql_ = KeGetCurrentIrql();
    request->completedAt_ = Scheduler::Instance().Now();
    request->status_ = irp->IoStatus.Status;
    request->done_ = true;
    KeSetEvent(&request->event_, IO_NO_INCREMENT, FALSE);
    return STATUS_MORE_PROCESSING_REQUIRED;
}

void UrbRequest::BuildTransfer(USBD_PIPE_HANDLE pipe, std::vector<UCHAR>& buffer, ULONG flags)
{
    UsbBuildInterruptOrBulkTransferRequest(urb_, sizeof(struct _URB_BULK_OR_INTERRUPT_TRANSFER), pipe, buffer.data(),
                                           nullptr, static_cast<ULONG>(buffer.size()), flags, nullptr);
}

NTSTATUS SubmitUrb(PDEVICE_OBJECT pdo, PURB urb)
{
    UrbRequest request(pdo);
    request.UseUrb(urb);
    request.Send();
    return request.Wait();
}

NTSTATUS SubmitUrb(PDEVICE_OBJECT pdo, URB& urb) { return SubmitUrb(pdo, &urb); }

std::vector<UCHAR> ReadConfiguration(PDEVICE_OBJECT pdo)
{
    USB_CONFIGURATION_DESCRIPTOR header = {};
    URB urb = {};
    UsbBuildGetDescriptorRequest(&urb, sizeof(struct _URB_CONTROL_DESCRIPTOR_REQUEST), USB_CONFIGURATION_DESCRIPTOR_TYPE,
                                 0, 0, &header, nullptr, sizeof header, nullptr);
    if (!NT_SUCCESS(SubmitUrb(pdo, urb))) return {};
    std::vector<UCHAR> bytes(header.wTotalLength);
    UsbBuildGetDescriptorRequest(&urb, sizeof(struct _URB_CONTROL_DESCRIPTOR_REQUEST), USB_CONFIGURATION_DESCRIPTOR_TYPE,
                                 0, 0, bytes.data(), nullptr, header.wTotalLength, nullptr);
    if (!NT_SUCCESS(SubmitUrb(pdo, urb))) return {};
    bytes.resize(urb.UrbControlDescriptorRequest.TransferBufferLength);
    return bytes;
}

Configuration::Configuration(std::vector<UCHAR> descriptor) : descriptor_(std::move(descriptor))
{
    auto* configuration = reinterpret_cast<PUSB_CONFIGURATION_DESCRIPTOR>(descriptor_.data());
    PVOID position = configuration;
    while (PUSB_INTERFACE_DESCRIPTOR found =
               USBD_ParseConfigurationDescriptorEx(configuration, position, -1, -1, -1, -1, -1)) {
        list_.push_back({found, nullptr});
        position = reinterpret_cast<PUCHAR>(found) + found->bLength;
    }
    list_.push_back({nullptr, nullptr});
    urb_ = USBD_CreateConfigurationRequestEx(configuration, list_.data());
}

Configuration::~Configuration()
{
    if (urb_ != nullptr) ExFreePool(urb_);
}

USBD_PIPE_HANDLE Configuration::Pipe(UCHAR endpointAddress)
{
    for (const USBD_INTERFACE_LIST_ENTRY& entry : list_) {
        if (entry.Interface == nullptr) continue;
        for (ULONG p = 0; p < entry.Interface->NumberOfPipes; ++p) {
            if (entry.Interface->Pipes[p].EndpointAddress == endpointAddress) return entry.Interface->Pipes[p].PipeHandle;
        }
    }
    return nullptr;
}

}  // namespace winsim::test

namespace winsim::test {

namespace {

FunctionDriverLog g_log;

PDEVICE_OBJECT LowerOf(PDEVICE_OBJECT fdo) { return *static_cast<PDEVICE_OBJECT*>(fdo->DeviceExtension); }

NTSTATUS SignalEvent(PDEVICE_OBJECT, PIRP, PVOID context)
{
    KeSetEvent(static_cast<PKEVENT>(context), IO_NO_INCREMENT, FALSE);
    return STATUS_MORE_PROCESSING_REQUIRED;
}

NTSTATUS PassDown(PDEVICE_OBJECT fdo, PIRP irp)
{
    IoSkipCurrentIrpStackLocation(irp);
    return IoCallDriver(LowerOf(fdo), irp);
}

NTSTATUS Complete(PIRP irp, NTSTATUS status)
{
    irp->IoStatus.Status = status;
    IoCompleteRequest(irp, IO_NO_INCREMENT);
    return status;
}

NTSTATUS ForwardAndComplete(PDEVICE_OBJECT fdo, PIRP irp)
{
    KEVENT done;
    KeInitializeEvent(&done, NotificationEvent, FALSE);
    IoCopyCurrentIrpStackLocationToNext(irp);
    IoSetCompletionRoutine(irp, SignalEvent, &done, TRUE, TRUE, TRUE);
    if (IoCallDriver(LowerOf(fdo), irp) == STATUS_PENDING) {
        KeWaitForSingleObject(&done, Executive, KernelMode, FALSE, nullptr);
    }
    if (IoGetCurrentIrpStackLocation(irp)->MinorFunction == IRP_MN_QUERY_CAPABILITIES && NT_SUCCESS(irp->IoStatus.Status)) {
        g_log.capabilities = *IoGetCurrentIrpStackLocation(irp)->Parameters.DeviceCapabilities.Capabilities;
    }
    const NTSTATUS status = irp->IoStatus.Status;
    IoCompleteRequest(irp, IO_NO_INCREMENT);
    return status;
}

NTSTATUS FunctionAddDevice(PDRIVER_OBJECT driver, PDEVICE_OBJECT pdo)
{
    g_log.events.push_back("AddDevice");
    PDEVICE_OBJECT fdo;
    NTSTATUS status = IoCreateDevice(driver, sizeof(PDEVICE_OBJECT), nullptr, FILE_DEVICE_UNKNOWN, 0, FALSE, &fdo);
    if (!NT_SUCCESS(status)) return status;
    *static_cast<PDEVICE_OBJECT*>(fdo->DeviceExtension) = IoAttachDeviceToDeviceStack(fdo, pdo);
    fdo->Flags &= ~DO_DEVICE_INITIALIZING;
    return STATUS_SUCCESS;
}

NTSTATUS FunctionPnp(PDEVICE_OBJECT fdo, PIRP irp)
{
    const UCHAR minor = IoGetCurrentIrpStackLocation(irp)->MinorFunction;
    g_log.events.push_back(PnpEvent(minor));
    g_log.arrivedWith.push_back(irp->IoStatus.Status);
    if (g_log.onPnp) g_log.onPnp(minor);
    switch (minor) {
    case IRP_MN_START_DEVICE:
        if (!NT_SUCCESS(g_log.startStatus)) return Complete(irp, g_log.startStatus);
        return ForwardAndComplete(fdo, irp);
    case IRP_MN_QUERY_CAPABILITIES: return ForwardAndComplete(fdo, irp);
    case IRP_MN_QUERY_REMOVE_DEVICE:
        if (!NT_SUCCESS(g_log.queryRemoveStatus)) return Complete(irp, g_log.queryRemoveStatus);
        irp->IoStatus.Status = STATUS_SUCCESS;
        return PassDown(fdo, irp);
    case IRP_MN_QUERY_STOP_DEVICE:
        if (!NT_SUCCESS(g_log.queryStopStatus)) return Complete(irp, g_log.queryStopStatus);
        irp->IoStatus.Status = STATUS_SUCCESS;
        return PassDown(fdo, irp);
    case IRP_MN_REMOVE_DEVICE: {
        PDEVICE_OBJECT lower = LowerOf(fdo);
        irp->IoStatus.Status = STATUS_SUCCESS;
        const NTSTATUS status = PassDown(fdo, irp);
        IoDetachDevice(lower);
        IoDeleteDevice(fdo);
        return status;
    }
    case IRP_MN_STOP_DEVICE:
    case IRP_MN_CANCEL_STOP_DEVICE:
    case IRP_MN_CANCEL_REMOVE_DEVICE:
    case IRP_MN_SURPRISE_REMOVAL:
        irp->IoStatus.Status = STATUS_SUCCESS;
        return PassDown(fdo, irp);
    default: return PassDown(fdo, irp);
    }
}

NTSTATUS FunctionPower(PDEVICE_OBJECT fdo, PIRP irp)
{
    PoStartNextPowerIrp(irp);
    IoSkipCurrentIrpStackLocation(irp);
    return PoCallDriver(LowerOf(fdo), irp);
}

NTSTATUS FunctionOpenClose(PDEVICE_OBJECT, PIRP irp) { return Complete(irp, STATUS_SUCCESS); }

VOID FunctionUnload(PDRIVER_OBJECT) {}

NTSTATUS FunctionDriverEntry(PDRIVER_OBJECT driver, PUNICODE_STRING)
{
    driver->DriverExtension->AddDevice = FunctionAddDevice;
    driver->MajorFunction[IRP_MJ_PNP] = FunctionPnp;
    driver->MajorFunction[IRP_MJ_POWER] = FunctionPower;
    driver->MajorFunction[IRP_MJ_INTERNAL_DEVICE_CONTROL] = PassDown;
    driver->MajorFunction[IRP_MJ_CREATE] = FunctionOpenClose;
    driver->MajorFunction[IRP_MJ_CLEANUP] = FunctionOpenClose;
    driver->MajorFunction[IRP_MJ_CLOSE] = FunctionOpenClose;
    driver->DriverUnload = FunctionUnload;
    return STATUS_SUCCESS;
}

}  // namespace

FunctionDriverLog& FunctionDriver() { return g_log; }

std::string PnpEvent(UCHAR minor)
{
    char text[16];
    std::snprintf(text, sizeof text, "PnP 0x%02X", minor);
    return text;
}

PDRIVER_OBJECT UsbMachineTest::InstallFunctionDriver(const char16_t* hardwareId, const char* serviceName)
{
    g_log = FunctionDriverLog{};
    PDRIVER_OBJECT driver = machine_->InstallAndLoadDriver(serviceName, FunctionDriverEntry);
    pnp().RegisterDriver(hardwareId, serviceName);
    return driver;
}

}  // namespace winsim::test
