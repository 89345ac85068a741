// winsim kernel headers: the internal device controls a USB client driver
// sends to its PDO (IRP_MJ_INTERNAL_DEVICE_CONTROL).
#pragma once

#include "usbiodef.h"

// Argument1 of the next stack location: the URB.
#define IOCTL_INTERNAL_USB_SUBMIT_URB                                                                        \
    CTL_CODE(FILE_DEVICE_USB, USB_SUBMIT_URB, METHOD_NEITHER, FILE_ANY_ACCESS)
#define IOCTL_INTERNAL_USB_RESET_PORT                                                                        \
    CTL_CODE(FILE_DEVICE_USB, USB_RESET_PORT, METHOD_NEITHER, FILE_ANY_ACCESS)
#define IOCTL_INTERNAL_USB_GET_ROOTHUB_PDO                                                                   \
    CTL_CODE(FILE_DEVICE_USB, USB_GET_ROOTHUB_PDO, METHOD_NEITHER, FILE_ANY_ACCESS)
// Argument1: a ULONG that receives USBD_PORT_ENABLED | USBD_PORT_CONNECTED.
#define IOCTL_INTERNAL_USB_GET_PORT_STATUS                                                                   \
    CTL_CODE(FILE_DEVICE_USB, USB_GET_PORT_STATUS, METHOD_NEITHER, FILE_ANY_ACCESS)
#define IOCTL_INTERNAL_USB_ENABLE_PORT                                                                       \
    CTL_CODE(FILE_DEVICE_USB, USB_ENABLE_PORT, METHOD_NEITHER, FILE_ANY_ACCESS)
#define IOCTL_INTERNAL_USB_GET_HUB_COUNT                                                                     \
    CTL_CODE(FILE_DEVICE_USB, USB_GET_HUB_COUNT, METHOD_NEITHER, FILE_ANY_ACCESS)
#define IOCTL_INTERNAL_USB_CYCLE_PORT                                                                        \
    CTL_CODE(FILE_DEVICE_USB, USB_CYCLE_PORT, METHOD_NEITHER, FILE_ANY_ACCESS)
// Type3InputBuffer: a USB_IDLE_CALLBACK_INFO that stays valid while the
// request is pending; the hub completes the request when the device wakes or
// the request is cancelled.
#define IOCTL_INTERNAL_USB_SUBMIT_IDLE_NOTIFICATION                                                          \
    CTL_CODE(FILE_DEVICE_USB, USB_IDLE_NOTIFICATION, METHOD_NEITHER, FILE_ANY_ACCESS)

#define USBD_PORT_ENABLED 0x00000001
#define USBD_PORT_CONNECTED 0x00000002

static_assert(IOCTL_INTERNAL_USB_SUBMIT_URB == 0x220003, "submit URB");
static_assert(IOCTL_INTERNAL_USB_RESET_PORT == 0x220007, "reset port");
static_assert(IOCTL_INTERNAL_USB_GET_PORT_STATUS == 0x220013, "get port status");
static_assert(IOCTL_INTERNAL_USB_CYCLE_PORT == 0x22001F, "cycle port");
static_assert(IOCTL_INTERNAL_USB_SUBMIT_IDLE_NOTIFICATION == 0x220027, "submit idle notification");
