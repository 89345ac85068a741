// The one header through which driver code reaches the kernel interfaces.
// On Windows it is the DDK; on the host the same names come from winsim.
#pragma once

#if defined(_WIN32)
// mingw-w64 declares these intrinsics in both its CRT and DDK headers.
#define __INTRINSIC_DEFINED_InterlockedBitTestAndSet
#define __INTRINSIC_DEFINED_InterlockedBitTestAndReset
#endif

#include <ntddk.h>
#include <wmilib.h>
#include <wmistr.h>

#if defined(_WIN32)
// mingw-w64's USB headers lack C linkage of their own.
extern "C" {
#endif
#include <usb.h>
#include <usbdlib.h>
#include <usbioctl.h>
#if defined(_WIN32)
}
#endif
