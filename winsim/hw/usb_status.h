// How the USB stack reports a URB's outcome twice: the USBD status in the
// URB and the NTSTATUS of its IRP.
#pragma once

#include <usb.h>

namespace winsim::hw {

NTSTATUS StatusFromUsbd(USBD_STATUS usbdStatus);
// The URB status that goes with a status a fault knob refuses a request with.
USBD_STATUS UsbdFromStatus(NTSTATUS status);

}  // namespace winsim::hw
