// Loading and unloading drivers: the driver object with its extension,
// DriverEntry with the service key path, and at unload DriverUnload and the
// pool leak report.
#include <km_ex.h>

#include <map>
#include <mutex>
#include <new>

#include "km/io_manager.h"
#include "km/io_objects.h"
#include "km/io_pool_tags.h"
#include "km/io_verifier_rules.h"
#include "km/ob_object.h"
#include "verifier/pool.h"

namespace winsim::io {

namespace {

constexpr char16_t kServicesKey[] = u"\\Registry\\Machine\\System\\CurrentControlSet\\Services\\";

struct DriverBookkeeping {
    WideBuffer driverName;  // \Driver\<service>
    WideBuffer serviceKeyName;
    std::u16string key;      // upper-case service name
    PoolMark poolMark;       // allocations from DriverEntry on are the driver's
};

struct Drivers {
    std::mutex lock;
    std::map<std::u16string, PDRIVER_OBJECT> loaded;
};

Drivers& LoadedDrivers()
{
    static Drivers drivers;
    return drivers;
}

constexpr SIZE_T kExtensionOffset = AlignUp(sizeof(DRIVER_OBJECT));
constexpr SIZE_T kBookkeepingOffset = kExtensionOffset + AlignUp(sizeof(DRIVER_EXTENSION));

DriverBookkeeping* BookkeepingOf(PDRIVER_OBJECT driver)
{
    return reinterpret_cast<DriverBookkeeping*>(reinterpret_cast<char*>(driver) + kBookkeepingOffset);
}

void DeleteDriverObject(void* body) { BookkeepingOf(static_cast<PDRIVER_OBJECT>(body))->~DriverBookkeeping(); }

// What is left when a driver unloads is its leak, save the system's objects
// (reported by their own rules) and what user mode holds.
TagFilter DriverOwnedTags()
{
    return TagFilter::Except(
        {kTagIrp, kTagMdl, kTagDevice, kTagWorkItem, kTagFile, kTagDriver, kTagEvent, kTagSystemBuffer,
         kTagCompletionContext});
}

PDRIVER_OBJECT CreateDriverObject(std::u16string_view serviceName, PDRIVER_INITIALIZE entry)
{
    auto* driver = static_cast<PDRIVER_OBJECT>(ob::CreateObject(
        ob::ObjectType::kDriver, kBookkeepingOffset + sizeof(DriverBookkeeping), kTagDriver, DeleteDriverObject));
    if (driver == nullptr) return nullptr;
    char* base = reinterpret_cast<char*>(driver);
    auto* bookkeeping = new (base + kBookkeepingOffset) DriverBookkeeping{
        WideBuffer(u"\\Driver\\" + std::u16string(serviceName)), WideBuffer(serviceName), UpperCase(serviceName),
        PoolMark()};
    auto* extension = reinterpret_cast<PDRIVER_EXTENSION>(base + kExtensionOffset);
    extension->DriverObject = driver;
    bookkeeping->serviceKeyName.Describe(&extension->ServiceKeyName);
    driver->Type = kIoTypeDriver;
    driver->Size = sizeof(DRIVER_OBJECT);
    driver->DriverExtension = extension;
    bookkeeping->driverName.Describe(&driver->DriverName);
    driver->DriverInit = entry;
    for (PDRIVER_DISPATCH& dispatch : driver->MajorFunction) dispatch = InvalidDeviceRequest;
    return driver;
}

// Devices created in DriverEntry are ready when it returns; devices made in
// add-device are the driver's to clear.
void FinishInitializingDevices(PDRIVER_OBJECT driver)
{
    std::lock_guard lk(DatabaseLock());
    for (PDEVICE_OBJECT device = driver->DeviceObject; device != nullptr; device = device->NextDevice) {
        device->Flags &= ~DO_DEVICE_INITIALIZING;
    }
}

std::string DriverText(PDRIVER_OBJECT driver) { return ToAscii(FromUnicodeString(&driver->DriverName)); }

}  // namespace

NTSTATUS InvalidDeviceRequest(PDEVICE_OBJECT device, PIRP irp)
{
    UNREFERENCED_PARAMETER(device);
    irp->IoStatus.Status = STATUS_INVALID_DEVICE_REQUEST;
    irp->IoStatus.Information = 0;
    IoCompleteRequest(irp, IO_NO_INCREMENT);
    return STATUS_INVALID_DEVICE_REQUEST;
}

PDRIVER_OBJECT LoadDriver(std::string_view serviceName, PDRIVER_INITIALIZE entry, NTSTATUS* status)
{
    NTSTATUS ignored;
    if (status == nullptr) status = &ignored;
    Verifier::CheckPagedCode("LoadDriver");
    std::u16string name = FromAscii(serviceName);
    if (FindDriver(serviceName) != nullptr) {
        *status = STATUS_OBJECT_NAME_COLLISION;
        return nullptr;
    }
    PDRIVER_OBJECT driver = CreateDriverObject(name, entry);
    UNICODE_STRING registryPath;
    if (driver == nullptr || !NT_SUCCESS(AllocateCountedString(kServicesKey + name, kTagName, &registryPath))) {
        if (driver != nullptr) ObDereferenceObject(driver);
        *status = STATUS_INSUFFICIENT_RESOURCES;
        return nullptr;
    }
    // The path lives in pool only while the entry runs: a driver that keeps
    // the pointer instead of copying it reads freed memory.
    BookkeepingOf(driver)->poolMark = Pool::Mark();
    *status = entry(driver, &registryPath);
    Verifier::CheckIrqlAfterCallback(PASSIVE_LEVEL, "DriverEntry");
    ExFreePoolWithTag(registryPath.Buffer, kTagName);
    if (!NT_SUCCESS(*status)) {
        // Devices of a failed entry would point at a driver object that is
        // gone; keep it, and say so.
        if (driver->DeviceObject != nullptr) {
            Verifier::Violation(ViolationCode::kDriverVerifierDetected, rule::kUnloadWithDevices,
                                (DriverText(driver) + ": DriverEntry failed and left device objects").c_str());
        } else {
            ObDereferenceObject(driver);
        }
        return nullptr;
    }
    FinishInitializingDevices(driver);
    Drivers& drivers = LoadedDrivers();
    std::lock_guard lk(drivers.lock);
    drivers.loaded[BookkeepingOf(driver)->key] = driver;
    return driver;
}

bool UnloadDriver(PDRIVER_OBJECT driver)
{
    Verifier::CheckPagedCode("UnloadDriver");
    PDEVICE_OBJECT remaining;
    {
        std::lock_guard lk(DatabaseLock());
        remaining = driver->DeviceObject;
    }
    if (remaining != nullptr) {
        Verifier::Violation(ViolationCode::kDriverVerifierDetected, rule::kUnloadWithDevices,
                            (DriverText(driver) + ": " + DescribeDevice(remaining) + " is one").c_str());
        return false;
    }
    if (driver->DriverUnload == nullptr) {
        Verifier::Violation(ViolationCode::kDriverVerifierDetected, rule::kUnloadWithoutRoutine,
                            DriverText(driver).c_str());
        return false;
    }
    driver->DriverUnload(driver);
    Verifier::CheckIrqlAfterCallback(PASSIVE_LEVEL, "DriverUnload");
    Pool::ReportLeaks(DriverText(driver).c_str(), BookkeepingOf(driver)->poolMark, DriverOwnedTags());
    {
        Drivers& drivers = LoadedDrivers();
        std::lock_guard lk(drivers.lock);
        drivers.loaded.erase(BookkeepingOf(driver)->key);
    }
    ObDereferenceObject(driver);
    return true;
}

PDRIVER_OBJECT FindDriver(std::string_view serviceName)
{
    Drivers& drivers = LoadedDrivers();
    std::lock_guard lk(drivers.lock);
    auto it = drivers.loaded.find(UpperCase(FromAscii(serviceName)));
    return it == drivers.loaded.end() ? nullptr : it->second;
}

}  // namespace winsim::io
