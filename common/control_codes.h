// Device-control requests of the adapter control device \\.\QTR84PR<n>, and
// the smallest buffers each one accepts.
#pragma once

#include <stdint.h>

#include "common/device_tables.h"
#include "common/event_records.h"
#include "common/monitor_record.h"

// Names the driver gives its control devices; %d is the AdapterTable slot.
#define QTR_CONTROL_DEVICE_DOS_NAME_FORMAT "\\DosDevices\\QTR84PR%d"
// User-mode path prefix; the slot number follows directly.
#define QTR_CONTROL_DEVICE_PATH_PREFIX "\\\\.\\QTR84PR"

// The platform's CTL_CODE, spelled out so neither side needs its headers.
inline constexpr uint32_t kControlDeviceType = 0x22;   // FILE_DEVICE_UNKNOWN
inline constexpr uint32_t kControlAccessAny = 0;       // FILE_ANY_ACCESS
inline constexpr uint32_t kControlMethodBuffered = 0;  // METHOD_BUFFERED

constexpr uint32_t MakeControlCode(uint32_t deviceType, uint32_t function, uint32_t method, uint32_t access)
{
    return (deviceType << 16) | (access << 14) | (function << 2) | method;
}

constexpr uint32_t MakeAdapterControlCode(uint32_t function)
{
    return MakeControlCode(kControlDeviceType, function, kControlMethodBuffered, kControlAccessAny);
}

inline constexpr uint32_t IOCTL_TMAN_APP_CLEAR_EVENTS = MakeAdapterControlCode(0xB11);
inline constexpr uint32_t IOCTL_TMAN_APP_GET_NEXT_EVENT = MakeAdapterControlCode(0xB12);
inline constexpr uint32_t IOCTL_TMAN_APP_START_MONITOR = MakeAdapterControlCode(0xB13);
inline constexpr uint32_t IOCTL_TMAN_APP_STOP_MONITOR = MakeAdapterControlCode(0xB14);
inline constexpr uint32_t IOCTL_TMAN_APP_GET_NEXT_MONITOR = MakeAdapterControlCode(0xB15);
inline constexpr uint32_t IOCTL_TMAN_APP_GET_DEVICE_INFO_TABLE = MakeAdapterControlCode(0xB16);
inline constexpr uint32_t IOCTL_TMAN_APP_GET_DEVICE_CONFIG_TABLE = MakeAdapterControlCode(0xB17);
inline constexpr uint32_t IOCTL_TMAN_APP_SET_DEVICE_CONFIG_TABLE = MakeAdapterControlCode(0xB18);
inline constexpr uint32_t IOCTL_TMAN_APP_SET_INTERNAL_LOOPBACK = MakeAdapterControlCode(0xB19);
// Two codes kept free; the driver refuses them with STATUS_INVALID_PARAMETER.
inline constexpr uint32_t IOCTL_TMAN_APP_RESERVED_B1A = MakeAdapterControlCode(0xB1A);
inline constexpr uint32_t IOCTL_TMAN_APP_RESERVED_B1B = MakeAdapterControlCode(0xB1B);
inline constexpr uint32_t IOCTL_TMAN_APP_GET_FIRMWARE_VERSION = MakeAdapterControlCode(0xB1C);

static_assert(IOCTL_TMAN_APP_CLEAR_EVENTS == 0x222C44, "control code");
static_assert(IOCTL_TMAN_APP_GET_NEXT_EVENT == 0x222C48, "control code");
static_assert(IOCTL_TMAN_APP_START_MONITOR == 0x222C4C, "control code");
static_assert(IOCTL_TMAN_APP_STOP_MONITOR == 0x222C50, "control code");
static_assert(IOCTL_TMAN_APP_GET_NEXT_MONITOR == 0x222C54, "control code");
static_assert(IOCTL_TMAN_APP_GET_DEVICE_INFO_TABLE == 0x222C58, "control code");
static_assert(IOCTL_TMAN_APP_GET_DEVICE_CONFIG_TABLE == 0x222C5C, "control code");
static_assert(IOCTL_TMAN_APP_SET_DEVICE_CONFIG_TABLE == 0x222C60, "control code");
static_assert(IOCTL_TMAN_APP_SET_INTERNAL_LOOPBACK == 0x222C64, "control code");
static_assert(IOCTL_TMAN_APP_RESERVED_B1A == 0x222C68, "control code");
static_assert(IOCTL_TMAN_APP_RESERVED_B1B == 0x222C6C, "control code");
static_assert(IOCTL_TMAN_APP_GET_FIRMWARE_VERSION == 0x222C70, "control code");

// Firmware version text as returned: at most 63 characters and a NUL.
inline constexpr uint32_t kFirmwareVersionTextSize = 64;

// Smallest buffers the driver accepts. The fetches are checked against the
// output length (one whole record), the two SET requests against the input.
inline constexpr uint32_t kGetNextEventMinOutput = sizeof(EventRecord);
inline constexpr uint32_t kGetNextMonitorMinOutput = sizeof(MonitorRecord);
inline constexpr uint32_t kGetDeviceInfoTableMinOutput = sizeof(DeviceInfoTable);
inline constexpr uint32_t kGetDeviceConfigTableMinOutput = sizeof(DeviceConfigTable);
inline constexpr uint32_t kSetDeviceConfigTableMinInput = sizeof(DeviceConfigTable);
inline constexpr uint32_t kSetInternalLoopbackMinInput = sizeof(LoopbackRequest);
inline constexpr uint32_t kGetFirmwareVersionMinOutput = kFirmwareVersionTextSize;

static_assert(kGetNextEventMinOutput == 56, "request size");
static_assert(kGetNextMonitorMinOutput == 552, "request size");
static_assert(kGetDeviceInfoTableMinOutput == 1574, "request size");
static_assert(kGetDeviceConfigTableMinOutput == 1934, "request size");
static_assert(kSetDeviceConfigTableMinInput == 1934, "request size");
static_assert(kSetInternalLoopbackMinInput == 12, "request size");
static_assert(kGetFirmwareVersionMinOutput == 64, "request size");
