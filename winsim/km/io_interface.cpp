// Device interfaces: registration on a PDO gives a symbolic name made of the
// device's instance path and the interface class; enabling it creates that
// link to the PDO's name, so user mode can open the device through it.
#include <cstdio>
#include <mutex>

#include "km/io_manager.h"
#include "km/io_objects.h"
#include "km/io_pool_tags.h"
#include "km/ob_namespace.h"
#include "verifier/verifier.h"

namespace winsim::io {

namespace {

struct InterfaceRecord {
    DeviceInterface info;
    std::u16string key;   // canonical form of info.symbolicLink
    std::u16string link;  // the link object: symbolicLink without the reference string
};

struct Registrations {
    std::mutex lock;
    std::vector<InterfaceRecord> records;
    ULONG generatedInstances = 0;
};

Registrations& Interfaces()
{
    static Registrations registrations;
    return registrations;
}

// Interface names carry the class in lower case, as Windows writes it.
std::u16string GuidText(const GUID& guid)
{
    char text[40];
    std::snprintf(text, sizeof text, "{%08x-%04x-%04x-%02x%02x-%02x%02x%02x%02x%02x%02x}", guid.Data1, guid.Data2,
                  guid.Data3, guid.Data4[0], guid.Data4[1], guid.Data4[2], guid.Data4[3], guid.Data4[4],
                  guid.Data4[5], guid.Data4[6], guid.Data4[7]);
    return FromAscii(text);
}

std::u16string InstanceIdFor(PDEVICE_OBJECT pdo)
{
    std::lock_guard lk(DatabaseLock());
    std::u16string& id = pdo->DeviceObjectExtension->instanceId;
    if (id.empty()) {
        char text[32];
        std::snprintf(text, sizeof text, "ROOT\\WINSIM\\%04u", Interfaces().generatedInstances++);
        id = FromAscii(text);
    }
    return id;
}

InterfaceRecord* FindLocked(Registrations& registrations, const std::u16string& key)
{
    for (InterfaceRecord& record : registrations.records) {
        if (record.key == key) return &record;
    }
    return nullptr;
}

// Several reference strings of one interface share one link object.
bool LinkStillUsedLocked(const Registrations& registrations, const InterfaceRecord& except)
{
    for (const InterfaceRecord& record : registrations.records) {
        if (&record != &except && record.info.enabled && record.link == except.link) return true;
    }
    return false;
}

void DisableLocked(Registrations& registrations, InterfaceRecord& record)
{
    record.info.enabled = false;
    if (!LinkStillUsedLocked(registrations, record)) ob::DeleteSymbolicLink(record.link);
}

}  // namespace

void SetInstanceId(PDEVICE_OBJECT pdo, std::u16string_view instanceId)
{
    std::lock_guard lk(DatabaseLock());
    pdo->DeviceObjectExtension->instanceId = std::u16string(instanceId);
}

std::u16string InstanceId(PDEVICE_OBJECT pdo)
{
    std::lock_guard lk(DatabaseLock());
    return pdo->DeviceObjectExtension->instanceId;
}

std::vector<DeviceInterface> DeviceInterfaces(const GUID& interfaceClass, bool enabledOnly)
{
    Registrations& registrations = Interfaces();
    std::lock_guard lk(registrations.lock);
    std::vector<DeviceInterface> result;
    for (const InterfaceRecord& record : registrations.records) {
        if (IsEqualGUID(record.info.interfaceClass, interfaceClass) && (record.info.enabled || !enabledOnly)) {
            result.push_back(record.info);
        }
    }
    return result;
}

void DropDeviceInterfaces(PDEVICE_OBJECT pdo)
{
    Registrations& registrations = Interfaces();
    std::lock_guard lk(registrations.lock);
    for (InterfaceRecord& record : registrations.records) {
        if (record.info.pdo != pdo) continue;
        if (record.info.enabled) DisableLocked(registrations, record);
        record.info.pdo = nullptr;
    }
}

}  // namespace winsim::io

using namespace winsim::io;

extern "C" {

NTSTATUS IoRegisterDeviceInterface(PDEVICE_OBJECT physicalDeviceObject, const GUID* interfaceClassGuid,
                                   PUNICODE_STRING referenceString, PUNICODE_STRING symbolicLinkName)
{
    winsim::Verifier::CheckPagedCode("IoRegisterDeviceInterface");
    // A PDO is the bottom of its stack and has a name; an FDO passed by
    // mistake is neither.
    if (physicalDeviceObject->DeviceObjectExtension->AttachedTo != nullptr ||
        physicalDeviceObject->DeviceObjectExtension->name.empty()) {
        return STATUS_INVALID_DEVICE_REQUEST;
    }
    std::u16string instance = InstanceIdFor(physicalDeviceObject);
    for (char16_t& c : instance) {
        if (c == u'\\') c = u'#';
    }
    std::u16string reference = FromUnicodeString(referenceString);
    std::u16string link = u"\\??\\" + instance + u"#" + GuidText(*interfaceClassGuid);
    std::u16string name = reference.empty() ? link : link + u"\\" + reference;
    {
        Registrations& registrations = Interfaces();
        std::lock_guard lk(registrations.lock);
        std::u16string key = UpperCase(name);
        if (InterfaceRecord* record = FindLocked(registrations, key)) {
            record->info.pdo = physicalDeviceObject;
        } else {
            registrations.records.push_back(
                {DeviceInterface{*interfaceClassGuid, name, reference, physicalDeviceObject, false}, key, link});
        }
    }
    return AllocateCountedString(name, kTagName, symbolicLinkName);
}

NTSTATUS IoSetDeviceInterfaceState(PUNICODE_STRING symbolicLinkName, BOOLEAN enable)
{
    winsim::Verifier::CheckPagedCode("IoSetDeviceInterfaceState");
    std::u16string name = FromUnicodeString(symbolicLinkName);
    // The link part names the object; a reference string follows it.
    size_t classEnd = name.find(u'}');
    std::u16string key = classEnd == std::u16string::npos
                             ? winsim::ob::CanonicalName(name)
                             : winsim::ob::CanonicalName(name.substr(0, classEnd + 1)) + UpperCase(name.substr(classEnd + 1));
    Registrations& registrations = Interfaces();
    std::lock_guard lk(registrations.lock);
    InterfaceRecord* record = FindLocked(registrations, key);
    if (record == nullptr) return STATUS_OBJECT_NAME_NOT_FOUND;
    if (!enable) {
        if (!record->info.enabled) return STATUS_OBJECT_NAME_NOT_FOUND;
        DisableLocked(registrations, *record);
        return STATUS_SUCCESS;
    }
    if (record->info.enabled) return STATUS_OBJECT_NAME_EXISTS;
    if (record->info.pdo == nullptr) return STATUS_NO_SUCH_DEVICE;
    if (!LinkStillUsedLocked(registrations, *record)) {
        NTSTATUS status = winsim::ob::CreateSymbolicLink(record->link, DeviceName(record->info.pdo));
        if (!NT_SUCCESS(status)) return status;
    }
    record->info.enabled = true;
    return STATUS_SUCCESS;
}

}  // extern "C"
