#include "io_test_driver.h"

#include <new>

#include "km/io_manager.h"

namespace winsim::test {

namespace {

Dispatch* DispatchOf(PDEVICE_OBJECT device) { return static_cast<Dispatch*>(device->DeviceExtension); }

NTSTATUS DispatchThroughDevice(PDEVICE_OBJECT device, PIRP irp) { return (*DispatchOf(device))(device, irp); }

VOID Unload(PDRIVER_OBJECT driver) { UNREFERENCED_PARAMETER(driver); }

NTSTATUS Entry(PDRIVER_OBJECT driver, PUNICODE_STRING registryPath)
{
    UNREFERENCED_PARAMETER(registryPath);
    for (PDRIVER_DISPATCH& dispatch : driver->MajorFunction) dispatch = DispatchThroughDevice;
    driver->DriverUnload = Unload;
    return STATUS_SUCCESS;
}

}  // namespace

TestDriver::TestDriver(const char* serviceName) : driver_(io::LoadDriver(serviceName, Entry)) {}

TestDriver::~TestDriver() { EXPECT_TRUE(io::UnloadDriver(driver_)); }

PDEVICE_OBJECT TestDriver::CreateDevice(const WCHAR* name, Dispatch dispatch, ULONG characteristics, bool exclusive)
{
    UNICODE_STRING text;
    if (name != nullptr) RtlInitUnicodeString(&text, name);
    PDEVICE_OBJECT device = nullptr;
    NTSTATUS status = IoCreateDevice(driver_, sizeof(Dispatch), name != nullptr ? &text : nullptr,
                                     FILE_DEVICE_UNKNOWN, characteristics, exclusive ? TRUE : FALSE, &device);
    EXPECT_EQ(status, STATUS_SUCCESS);
    if (!NT_SUCCESS(status)) return nullptr;
    new (device->DeviceExtension) Dispatch(std::move(dispatch));
    device->Flags &= ~DO_DEVICE_INITIALIZING;
    return device;
}

void TestDriver::DeleteDevice(PDEVICE_OBJECT device)
{
    DispatchOf(device)->~Dispatch();
    new (device->DeviceExtension) Dispatch([](PDEVICE_OBJECT, PIRP irp) {
        return Complete(irp, STATUS_NO_SUCH_DEVICE);
    });
    IoDeleteDevice(device);
}

NTSTATUS Complete(PIRP irp, NTSTATUS status, ULONG_PTR information)
{
    irp->IoStatus.Status = status;
    irp->IoStatus.Information = information;
    IoCompleteRequest(irp, IO_NO_INCREMENT);
    return status;
}

Dispatch PassDown(PDEVICE_OBJECT* lower)
{
    return [lower](PDEVICE_OBJECT, PIRP irp) {
        IoSkipCurrentIrpStackLocation(irp);
        return IoCallDriver(*lower, irp);
    };
}

void MachineTest::SetUp()
{
    Scheduler::Instance().Boot(ClockMode::Virtual);
    attachment_ = new Scheduler::Attachment("test");
}

void MachineTest::TearDown()
{
    delete attachment_;
    Scheduler::Instance().Shutdown();
}

}  // namespace winsim::test
