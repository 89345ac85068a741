// The registry side of a device instance, as the PnP manager keeps it: the
// instance key under Enum with the device's properties, its "Device
// Parameters" subkey (the hardware key) and its software key under the
// class key. Only PDOs have instances; a device object higher in a stack
// is refused, as on Windows.
#include <km_zw.h>

#include <cstring>

#include "km/io_device_extension.h"
#include "km/io_manager.h"
#include "registry/key_handle_table.h"
#include "registry/registry_store.h"
#include "verifier/verifier.h"

using winsim::registry::KeyRef;
using winsim::registry::Store;

namespace {

constexpr std::u16string_view kEnumPath = u"\\Registry\\Machine\\System\\CurrentControlSet\\Enum\\";
constexpr std::u16string_view kClassPath = u"\\Registry\\Machine\\System\\CurrentControlSet\\Control\\Class\\";

bool InstancePathOf(PDEVICE_OBJECT device, std::u16string* path)
{
    if (device == nullptr || device->DeviceObjectExtension->DeviceNode == nullptr) return false;
    std::u16string instance = winsim::io::InstanceId(device);
    if (instance.empty()) return false;
    *path = std::u16string(kEnumPath) + instance;
    return true;
}

// The value behind a property, in the instance key.
const char16_t* PropertyValueName(DEVICE_REGISTRY_PROPERTY property)
{
    switch (property) {
    case DevicePropertyDeviceDescription: return u"DeviceDesc";
    case DevicePropertyHardwareID: return u"HardwareID";
    case DevicePropertyCompatibleIDs: return u"CompatibleIDs";
    case DevicePropertyClassName: return u"Class";
    case DevicePropertyClassGuid: return u"ClassGUID";
    case DevicePropertyDriverKeyName: return u"Driver";
    case DevicePropertyManufacturer: return u"Mfg";
    case DevicePropertyFriendlyName: return u"FriendlyName";
    case DevicePropertyLocationInformation: return u"LocationInformation";
    default: return nullptr;
    }
}

NTSTATUS CopyOut(const void* data, size_t size, ULONG bufferLength, PVOID buffer, PULONG resultLength)
{
    *resultLength = static_cast<ULONG>(size);
    if (bufferLength < size) return STATUS_BUFFER_TOO_SMALL;
    if (size != 0) std::memcpy(buffer, data, size);
    return STATUS_SUCCESS;
}

}  // namespace

extern "C" {

NTSTATUS IoOpenDeviceRegistryKey(PDEVICE_OBJECT DeviceObject, ULONG DevInstKeyType, ACCESS_MASK DesiredAccess,
                                 PHANDLE DevInstRegKey)
{
    winsim::Verifier::CheckPagedCode(__func__);
    if (DevInstRegKey == nullptr) return STATUS_INVALID_PARAMETER;
    *DevInstRegKey = nullptr;
    std::u16string instance;
    if (!InstancePathOf(DeviceObject, &instance)) return STATUS_INVALID_DEVICE_REQUEST;
    Store& store = Store::Instance();
    if (!store.Exists(instance)) return STATUS_OBJECT_NAME_NOT_FOUND;

    std::u16string path;
    if ((DevInstKeyType & PLUGPLAY_REGKEY_DEVICE) != 0) {
        path = instance + u"\\Device Parameters";
    } else if ((DevInstKeyType & PLUGPLAY_REGKEY_DRIVER) != 0) {
        std::optional<std::u16string> driver = store.GetString(instance, u"Driver");
        if (!driver || driver->empty()) return STATUS_OBJECT_NAME_NOT_FOUND;
        path = std::u16string(kClassPath) + *driver;
    } else {
        return STATUS_INVALID_PARAMETER;
    }
    KeyRef key;
    bool created = false;
    NTSTATUS status = store.CreateKeyPath(nullptr, path, u"", &key, &created);
    if (!NT_SUCCESS(status)) return status;
    *DevInstRegKey = winsim::registry::KernelKeyHandles().Insert(key, DesiredAccess);
    return STATUS_SUCCESS;
}

NTSTATUS IoGetDeviceProperty(PDEVICE_OBJECT DeviceObject, DEVICE_REGISTRY_PROPERTY DeviceProperty,
                             ULONG BufferLength, PVOID PropertyBuffer, PULONG ResultLength)
{
    winsim::Verifier::CheckPagedCode(__func__);
    if (ResultLength == nullptr) return STATUS_INVALID_PARAMETER;
    *ResultLength = 0;
    std::u16string instance;
    if (!InstancePathOf(DeviceObject, &instance)) return STATUS_INVALID_DEVICE_REQUEST;
    if (DeviceProperty == DevicePropertyPhysicalDeviceObjectName) {
        std::u16string name = winsim::io::DeviceName(DeviceObject);
        return CopyOut(name.c_str(), (name.size() + 1) * sizeof(char16_t), BufferLength, PropertyBuffer,
                       ResultLength);
    }
    const char16_t* valueName = PropertyValueName(DeviceProperty);
    if (valueName == nullptr) return STATUS_INVALID_PARAMETER_2;
    std::optional<winsim::registry::Value> value = Store::Instance().GetValue(instance, valueName);
    if (!value) return STATUS_OBJECT_NAME_NOT_FOUND;
    return CopyOut(value->data.data(), value->data.size(), BufferLength, PropertyBuffer, ResultLength);
}

}  // extern "C"
