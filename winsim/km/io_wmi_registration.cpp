// IoWMIRegistrationControl: which device objects are WMI data providers. WMI
// keeps a reference on a registered device, as Windows does; the requests it
// then sends are the WMI library's business.
#include "km/io_manager.h"
#include "km/io_objects.h"
#include "verifier/verifier.h"

namespace winsim::io {

namespace {

// Flags that may accompany the action (WMIREG_FLAG_CALLBACK, _TRACE_PROVIDER).
constexpr ULONG kActionFlags = 0x80000000 | 0x00010000;

}  // namespace

bool IsWmiRegistered(PDEVICE_OBJECT device)
{
    std::lock_guard lk(DatabaseLock());
    return device->DeviceObjectExtension->wmiRegistered;
}

}  // namespace winsim::io

extern "C" NTSTATUS IoWMIRegistrationControl(PDEVICE_OBJECT deviceObject, ULONG action)
{
    winsim::Verifier::CheckPagedCode("IoWMIRegistrationControl");
    _DEVOBJ_EXTENSION* ext = deviceObject->DeviceObjectExtension;
    bool referenced = false;
    bool released = false;
    NTSTATUS status = STATUS_SUCCESS;
    {
        std::lock_guard lk(winsim::io::DatabaseLock());
        switch (action & ~winsim::io::kActionFlags) {
        case WMIREG_ACTION_REGISTER:
            referenced = !ext->wmiRegistered;
            ext->wmiRegistered = true;
            break;
        case WMIREG_ACTION_DEREGISTER:
            released = ext->wmiRegistered;
            ext->wmiRegistered = false;
            break;
        case WMIREG_ACTION_REREGISTER:
        case WMIREG_ACTION_UPDATE_GUIDS:
            if (!ext->wmiRegistered) status = STATUS_INVALID_PARAMETER;
            break;
        default:
            status = STATUS_INVALID_PARAMETER;
            break;
        }
    }
    if (referenced) ObReferenceObject(deviceObject);
    if (released) ObDereferenceObject(deviceObject);
    return status;
}
