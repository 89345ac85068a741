// The line monitor's producer side: the data paths hand every data message
// of a port to it.
#pragma once

#include "core/adapter_extension.h"

constexpr ULONG kMonitorReceived = 4;
constexpr ULONG kMonitorTransmitted = 5;

// Up to DISPATCH_LEVEL; takes no lock and allocates nothing.
VOID MonitorAdd(AdapterExtension* extension, ULONG port, ULONG kind, const UCHAR* payload, ULONG length);
