// Outbound messages to the adapter, transmit credits and notifications of
// the port driver.
#pragma once

#include "core/adapter_extension.h"

// Any message but serial data. Codes below 0x40 carry the port in their low
// bits. A transfer under way counts as success. Up to DISPATCH_LEVEL.
NTSTATUS SendAdapterMessage(AdapterExtension* extension, UCHAR code, ULONG port, const UCHAR* payload, ULONG length);

// Serial data for a port (the loopback code while internal loopback is on).
// It costs one credit: taken here unless the caller already took it, and
// given back if the send fails.
NTSTATUS SendDataMessage(AdapterExtension* extension, ULONG port, const UCHAR* data, ULONG length, bool creditTaken);

// Credits, under portLock. Take reports the count before the take (0: none).
LONG TakeCredit(AdapterExtension* extension, ULONG port);
VOID GiveBackCredit(AdapterExtension* extension, ULONG port);
LONG CreditsOf(AdapterExtension* extension, ULONG port);

// Event 1: credits returned or status changed; event 2: data received.
constexpr ULONG kNotifyTransmit = 1;
constexpr ULONG kNotifyReceive = 2;
VOID NotifyPortDriver(AdapterExtension* extension, ULONG port, ULONG event);

// Line status bits the driver keeps, under portLock.
VOID SetLineStatusBits(AdapterExtension* extension, ULONG port, UCHAR set, UCHAR clear);
