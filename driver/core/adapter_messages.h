// Outbound messages to the adapter, transmit credits and notifications of
// the port driver.
#pragma once

#include "core/adapter_extension.h"

// Any message but serial data. Codes below 0x40 carry the port in their low
// bits. A transfer under way counts as success. Up to DISPATCH_LEVEL.
_IRQL_requires_max_(DISPATCH_LEVEL)
NTSTATUS SendAdapterMessage(_In_ AdapterExtension* extension, _In_ UCHAR code, _In_ ULONG port,
                            _In_reads_bytes_opt_(length) const UCHAR* payload, _In_ ULONG length);

// Serial data for a port (the loopback code while internal loopback is on).
// It costs one credit: taken here unless the caller already took it, and
// given back if the send fails.
_IRQL_requires_max_(DISPATCH_LEVEL)
NTSTATUS SendDataMessage(_In_ AdapterExtension* extension, _In_ ULONG port, _In_reads_bytes_(length) const UCHAR* data,
                         _In_ ULONG length, _In_ bool creditTaken);

// Credits, under portLock. Take reports the count before the take (0: none).
_IRQL_requires_max_(DISPATCH_LEVEL)
LONG TakeCredit(_Inout_ AdapterExtension* extension, _In_ ULONG port);
_IRQL_requires_max_(DISPATCH_LEVEL)
VOID GiveBackCredit(_Inout_ AdapterExtension* extension, _In_ ULONG port);
_IRQL_requires_max_(DISPATCH_LEVEL)
LONG CreditsOf(_In_ AdapterExtension* extension, _In_ ULONG port);

// Event 1: credits returned or status changed; event 2: data received.
constexpr ULONG kNotifyTransmit = 1;
constexpr ULONG kNotifyReceive = 2;
_IRQL_requires_max_(DISPATCH_LEVEL)
VOID NotifyPortDriver(_In_ AdapterExtension* extension, _In_ ULONG port, _In_ ULONG event);

// Line status bits the driver keeps, under portLock.
_IRQL_requires_max_(DISPATCH_LEVEL)
VOID SetLineStatusBits(_Inout_ AdapterExtension* extension, _In_ ULONG port, _In_ UCHAR set, _In_ UCHAR clear);
