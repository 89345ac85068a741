// The stand-in serial port driver 84prport64. It plays two parts, as the
// driver package installs it:
//  - an upper filter on each adapter's interface 0, above 84prusb, so that
//    it can ask the adapter's FDO for the port services table with a
//    query-interface request sent down its own stack (where such requests
//    travel on Windows) and holds that table while the adapter is there;
//  - the function driver of the adapter's four port interfaces (&MI_01 to
//    &MI_04, Ports class), one device object per port, named
//    \DosDevices\COMn after the port's "PortName", serving the Windows
//    serial requests by calling the table.
// A port and its adapter find each other by their location on the USB bus
// (the interfaces of a composite device share it).
#pragma once

#include <wdm.h>

namespace winsim::portdrv {

inline constexpr const char* kServiceName = "84prport64";

extern "C" NTSTATUS PortDriverEntry(PDRIVER_OBJECT driver, PUNICODE_STRING registryPath);

}  // namespace winsim::portdrv
