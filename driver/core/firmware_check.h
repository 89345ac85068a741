// The firmware check at the end of every start-device: an outdated
// application is sent to its boot loader, an outdated boot loader receives
// the image the driver carries.
#pragma once

#include "core/adapter_extension.h"

// Its status is start-device's. PASSIVE_LEVEL: it waits for the adapter.
_IRQL_requires_(PASSIVE_LEVEL)
NTSTATUS FirmwareCheck(_Inout_ AdapterExtension* extension);

// How long the download waits for each erase and write acknowledgement; a
// silent boot loader then fails the start, and the next start tries again.
constexpr LONGLONG kFirmwareAckTimeout = 1000LL * 10'000;  // 1 s
constexpr LONGLONG kFirmwareVersionTimeout = 500LL * 10'000;  // 500 ms
