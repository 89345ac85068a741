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
ULONG ReadAdapterConfig(PDEVICE_OBJECT pdo, LONG* highPower, LONG* bulkEndpoints);

// Each out that is given gets its default, then the port key's value.
// Returns 0 when the key cannot be opened, else 1.
ULONG ReadPortConfig(PDEVICE_OBJECT portDevice, LONG* comNumber, LONG* txTiming, LONG* rxFifo, LONG* remoteWakeup);

// Writes the given values to the port key; a COM number also rewrites the
// port instance's friendly name. A model index beyond the table uses this
// adapter's row. Nothing is written when the key cannot be opened.
VOID WritePortConfig(UCHAR modelIndex, PDEVICE_OBJECT portDevice, const LONG* comNumber, const LONG* txTiming,
                     const LONG* rxFifo, const LONG* remoteWakeup);

// Writes the wake mask alone as a port's "RemoteWakeup".
VOID WritePortWakeMask(PDEVICE_OBJECT portDevice, ULONG wakeMask);

// Opens the adapter's key for writing and writes "HighPower",
// "BulkTransfer" and the wake mask; skipped when the key cannot be opened.
VOID WriteAdapterConfig(PDEVICE_OBJECT pdo, LONG highPower, LONG bulkEndpoints, ULONG wakeMask);

// The port's receive FIFO byte from its "ReceiveFIFO": -1 gives 16, 1 gives
// 0, anything else its low byte; 16 when absent.
UCHAR ReadReceiveFifoSetting(PDEVICE_OBJECT portDevice);

// Writes "FriendlyName" into every instance under the first port Enum key
// whose "Driver" names the port device's driver key (case ignored).
VOID UpdatePortFriendlyName(PDEVICE_OBJECT portDevice, const char* friendlyName);
