// The adapter's hardware ids as the clean and the driver update look for
// them (upper case, as Windows spells them).
#pragma once

#include "common/usb_ids.h"

// The adapter itself and its own interface, served by the USB driver.
inline constexpr const char* kDeviceIds[] = {
    QTR_USB_DEVICE_ID,
    QTR_USB_DEVICE_ID QTR_USB_MI_CONTROL,
};

// The ids a port of the adapter may carry first.
inline constexpr const char* kPortIds[] = {
    QTR_USB_DEVICE_ID,
    QTR_USB_DEVICE_ID QTR_USB_MI_PORT1,
    QTR_USB_DEVICE_ID QTR_USB_MI_PORT2,
    QTR_USB_DEVICE_ID QTR_USB_MI_PORT3,
    QTR_USB_DEVICE_ID QTR_USB_MI_PORT4,
    QTR_USB_DEVICE_ID QTR_USB_REVISION,
    QTR_USB_DEVICE_ID QTR_USB_REVISION QTR_USB_MI_PORT1,
    QTR_USB_DEVICE_ID QTR_USB_REVISION QTR_USB_MI_PORT2,
    QTR_USB_DEVICE_ID QTR_USB_REVISION QTR_USB_MI_PORT3,
    QTR_USB_DEVICE_ID QTR_USB_REVISION QTR_USB_MI_PORT4,
};
