#include "portdrv/port_driver_install.h"

#include "common/usb_ids.h"
#include "portdrv/port_driver.h"

namespace winsim::portdrv {

namespace {

constexpr const char16_t* kUsbClassGuid = u"{36FC9E60-C465-11CF-8056-444553540000}";
constexpr const char16_t* kPortsClassGuid = u"{4D36E978-E325-11CE-BFC1-08002BE10318}";
constexpr const char16_t* kPortDescription = u"Tessary QTR84PX-1 Serial Adapter Port";

}  // namespace

PDRIVER_OBJECT InstallDriverPackage(Machine& machine)
{
    PDRIVER_OBJECT driver = machine.InstallAndLoadDriver(kServiceName, PortDriverEntry);
    if (driver == nullptr) return nullptr;
    pnp::DevicePackage adapter;
    adapter.service = "84prusb";
    adapter.classGuid = kUsbClassGuid;
    adapter.description = u"Tessary QTR84PX-1 Serial Adapter";
    adapter.upperFilters = {kServiceName};
    machine.Pnp().RegisterPackage(u"" QTR_USB_DEVICE_ID QTR_USB_MI_CONTROL, adapter);
    const char16_t* ports[] = {u"" QTR_USB_DEVICE_ID QTR_USB_MI_PORT1, u"" QTR_USB_DEVICE_ID QTR_USB_MI_PORT2,
                               u"" QTR_USB_DEVICE_ID QTR_USB_MI_PORT3, u"" QTR_USB_DEVICE_ID QTR_USB_MI_PORT4};
    for (const char16_t* id : ports) {
        pnp::DevicePackage port;
        port.service = kServiceName;
        port.classGuid = kPortsClassGuid;
        port.description = kPortDescription;
        machine.Pnp().RegisterPackage(id, port);
    }
    return driver;
}

}  // namespace winsim::portdrv
