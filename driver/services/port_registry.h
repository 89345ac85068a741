// The adapter's and its ports' settings in the registry: the adapter's
// device-parameters key, each port's device-parameters key (of the serial
// port driver's device object), and the friendly names of the port
// instances under Enum. Everything is stored as REG_SZ text and parsed back
// with defaults. PASSIVE_LEVEL throughout.
#pragma once

#include "common/device_tables.h"
#include "kernel.h"

constexpr LONG kDefaultHighPower = 0;
constexpr LONG kDefaultBulkTransfer = 0;
constexpr LONG kDefaultComNumber = 0;
constexpr LONG kDefaultTransmitTiming = 1;
constexpr LONG kDefaultReceiveFifo = 16;
constexpr LONG kDefaultRemoteWakeup = 0;

// Prefixes of the ports' friendly names, by model index; this adapter's
// row is kModelIndexDefault.
extern const char* const PortFriendlyNames[kModelIndexRows];

// Fills both with their defaults, then reads what the adapter's key holds.
// Returns 0 when the key cannot be opened, else 1.
_IRQL_requires_(PASSIVE_LEVEL)
ULONG ReadAdapterConfig(_In_ PDEVICE_OBJECT pdo, _Out_ LONG* highPower, _Out_ LONG* bulkEndpoints);

// Each out that is given gets its default, then the port key's value.
// Returns 0 when the key cannot be opened, else 1.
_IRQL_requires_(PASSIVE_LEVEL)
ULONG ReadPortConfig(_In_ PDEVICE_OBJECT portDevice, _Out_opt_ LONG* comNumber, _Out_opt_ LONG* txTiming,
                     _Out_opt_ LONG* rxFifo, _Out_opt_ LONG* remoteWakeup);

// Writes the given values to the port key; a COM number also rewrites the
// port instance's friendly name. A model index beyond the table uses this
// adapter's row. Nothing is written when the key cannot be opened.
_IRQL_requires_(PASSIVE_LEVEL)
VOID WritePortConfig(_In_ UCHAR modelIndex, _In_ PDEVICE_OBJECT portDevice, _In_opt_ const LONG* comNumber,
                     _In_opt_ const LONG* txTiming, _In_opt_ const LONG* rxFifo, _In_opt_ const LONG* remoteWakeup);

// Writes the wake mask alone as a port's "RemoteWakeup".
_IRQL_requires_(PASSIVE_LEVEL)
VOID WritePortWakeMask(_In_ PDEVICE_OBJECT portDevice, _In_ ULONG wakeMask);

// Opens the adapter's key for writing and writes "HighPower",
// "BulkTransfer" and the wake mask; skipped when the key cannot be opened.
_IRQL_requires_(PASSIVE_LEVEL)
VOID WriteAdapterConfig(_In_ PDEVICE_OBJECT pdo, _In_ LONG highPower, _In_ LONG bulkEndpoints, _In_ ULONG wakeMask);

// The port's receive FIFO byte from its "ReceiveFIFO": -1 gives 16, 1 gives
// 0, anything else its low byte; 16 when absent.
_IRQL_requires_(PASSIVE_LEVEL)
UCHAR ReadReceiveFifoSetting(_In_ PDEVICE_OBJECT portDevice);

// Writes "FriendlyName" into every instance under the first port Enum key
// whose "Driver" names the port device's driver key (case ignored).
_IRQL_requires_(PASSIVE_LEVEL)
VOID UpdatePortFriendlyName(_In_ PDEVICE_OBJECT portDevice, _In_z_ const char* friendlyName);
