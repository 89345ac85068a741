#include "services/control_tables.h"

#include "core/adapter_extension.h"
#include "core/adapter_messages.h"
#include "core/adapter_table.h"
#include "services/port_registry.h"

VOID BuildDeviceInfoTable(DeviceInfoTable* table)
{
    RtlZeroMemory(table, sizeof(*table));
    int32_t count = 0;
    for (ULONG slot = 0; slot < kAdapterSlotCount; ++slot) {
        AdapterSlotView entry;
        if (!AdapterTableReadListed(slot, &entry)) continue;
        AdapterInfo& info = table->adapters[count];
        info.slot = static_cast<int32_t>(slot);
        info.present = 1;
        for (ULONG port = 0; port < kPortsPerAdapter; ++port) {
            info.ports[port].portIndex = static_cast<int32_t>(port);
            info.ports[port].comNumber = static_cast<int32_t>(entry.comNumbers[port]);
            info.ports[port].busy = entry.portOpen[port] == 1 ? 1 : 0;
        }
        ++count;
    }
    table->count = count;
}

PAGED_CODE_SEG
VOID BuildDeviceConfigTable(DeviceConfigTable* table)
{
    PAGED_CODE();
    RtlZeroMemory(table, sizeof(*table));
    DeviceInfoTable info;
    BuildDeviceInfoTable(&info);
    table->count = info.count;
    for (int32_t k = 0; k < info.count; ++k) {
        AdapterExtension* extension = AdapterTableAcquireListed(static_cast<ULONG>(info.adapters[k].slot));
        if (extension == nullptr) continue;
        AdapterConfig& config = table->adapters[k];
        LONG highPower = 0;
        LONG bulkEndpoints = 0;
        ReadAdapterConfig(extension->pdo, &highPower, &bulkEndpoints);
        config.highPower = highPower;
        config.bulkEndpoints = bulkEndpoints;
        for (ULONG port = 0; port < kPortsPerAdapter; ++port) {
            LONG comNumber = 0;
            LONG txTiming = 0;
            LONG rxFifo = 0;
            LONG remoteWakeup = 0;
            ReadPortConfig(extension->portDevices[port], &comNumber, &txTiming, &rxFifo, &remoteWakeup);
            PortConfig& portConfig = config.ports[port];
            portConfig.portIndex = static_cast<int32_t>(port);
            portConfig.comNumber = comNumber;
            portConfig.txTiming = txTiming;
            portConfig.rxFifo = rxFifo;
            portConfig.remoteWakeup = remoteWakeup;
        }
        AdapterTableRelease(extension);
    }
    reinterpret_cast<PUCHAR>(table)[kModelIndexTableOffset] = kModelIndexDefault;
}

namespace {

// The COM-port database arbitrates COM1 to COM4096; any other number would
// name a port that can never be started again under it.
constexpr LONG kHighestComNumber = 4096;

// 0 is what the configuration table reports for a port without a COM name:
// given back for such a port it changes nothing, given for a port that has
// a name it would take the name away.
bool UsableComNumbers(const AdapterConfig& record, const AdapterExtension* extension)
{
    for (ULONG port = 0; port < kPortsPerAdapter; ++port) {
        const LONG comNumber = record.ports[port].comNumber;
        if (comNumber < 0 || comNumber > kHighestComNumber) return false;
        if (comNumber != 0) continue;
        LONG current = kDefaultComNumber;
        ReadPortConfig(extension->portDevices[port], &current, nullptr, nullptr, nullptr);
        if (current != 0) return false;
    }
    return true;
}

// Every record that would be applied, checked before anything is written.
bool UsableRecords(const DeviceConfigTable* table, const DeviceInfoTable& info)
{
    for (int32_t k = 0; k < table->count && k < info.count; ++k) {
        const AdapterConfig& record = table->adapters[k];
        if (record.updateFlag != kConfigUpdateFlag) continue;
        AdapterExtension* extension = AdapterTableAcquireListed(static_cast<ULONG>(info.adapters[k].slot));
        if (extension == nullptr) continue;
        const bool usable = UsableComNumbers(record, extension);
        AdapterTableRelease(extension);
        if (!usable) return false;
    }
    return true;
}

}  // namespace

PAGED_CODE_SEG
NTSTATUS ApplyDeviceConfigTable(const DeviceConfigTable* table)
{
    PAGED_CODE();
    const int32_t count = table->count;
    if (count <= 0) return STATUS_SUCCESS;
    DeviceInfoTable info;
    BuildDeviceInfoTable(&info);
    if (!UsableRecords(table, info)) return STATUS_INVALID_PARAMETER;
    // One model index for all records; the table has seven rows and a value
    // outside them means this adapter's own.
    const auto signedIndex = static_cast<signed char>(reinterpret_cast<const UCHAR*>(table)[kModelIndexTableOffset]);
    const UCHAR modelIndex =
        signedIndex >= 0 && signedIndex < kModelIndexRows ? static_cast<UCHAR>(signedIndex) : kModelIndexDefault;

    for (int32_t k = 0; k < count && k < info.count; ++k) {
        const AdapterConfig& record = table->adapters[k];
        if (record.updateFlag != kConfigUpdateFlag) continue;
        const auto slot = static_cast<ULONG>(info.adapters[k].slot);
        AdapterSlotView entry;
        AdapterExtension* extension = AdapterTableAcquireListed(slot, &entry);
        if (extension == nullptr) continue;

        ULONG wakeMask = 0;
        bool noPortOpen = true;
        for (ULONG port = 0; port < kPortsPerAdapter; ++port) {
            const LONG comNumber = record.ports[port].comNumber;
            const LONG txTiming = record.ports[port].txTiming;
            const LONG rxFifo = record.ports[port].rxFifo;
            const LONG remoteWakeup = record.ports[port].remoteWakeup;
            WritePortConfig(modelIndex, extension->portDevices[port], comNumber != 0 ? &comNumber : nullptr,
                            &txTiming, &rxFifo, &remoteWakeup);
            if (remoteWakeup != 0) wakeMask |= 1u << port;
            if (entry.portOpen[port] == 1) noPortOpen = false;
        }
        WritePortWakeMask(extension->portDevices[0], wakeMask);
        WriteAdapterConfig(extension->pdo, record.highPower, record.bulkEndpoints, wakeMask);
        // The new settings take effect when the adapter comes back.
        if (noPortOpen) SendAdapterMessage(extension, kMsgRestart, 0, nullptr, 0);
        AdapterTableRelease(extension);
    }
    return STATUS_SUCCESS;
}
