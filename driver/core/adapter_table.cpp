#include "core/adapter_table.h"

#include <ntstrsafe.h>

#include "core/io_count.h"

AdapterEntry AdapterTable[kAdapterSlotCount];

namespace {

KSPIN_LOCK g_adapterTableLock;

}  // namespace

VOID AdapterTableInitialize()
{
    KeInitializeSpinLock(&g_adapterTableLock);
    RtlZeroMemory(AdapterTable, sizeof(AdapterTable));
}

AdapterEntry* AdapterTableTakeSlot(PDEVICE_OBJECT device)
{
    AdapterEntry* taken = nullptr;
    KIRQL irql;
    KeAcquireSpinLock(&g_adapterTableLock, &irql);
    for (ULONG slot = 0; slot < kAdapterSlotCount; ++slot) {
        AdapterEntry* entry = &AdapterTable[slot];
        if (entry->device == nullptr) {
            RtlZeroMemory(entry->comNumbers, sizeof(entry->comNumbers));
            RtlZeroMemory(entry->portOpen, sizeof(entry->portOpen));
            entry->index = slot;
            // Published last: lock-free readers take a non-null device as a
            // filled slot.
            InterlockedExchangePointer(reinterpret_cast<PVOID volatile*>(&entry->device), device);
            taken = entry;
            break;
        }
    }
    KeReleaseSpinLock(&g_adapterTableLock, irql);
    return taken;
}

VOID AdapterTableFreeSlot(AdapterEntry* entry)
{
    KIRQL irql;
    KeAcquireSpinLock(&g_adapterTableLock, &irql);
    InterlockedExchangePointer(reinterpret_cast<PVOID volatile*>(&entry->device), nullptr);
    KeReleaseSpinLock(&g_adapterTableLock, irql);
}

AdapterExtension* AdapterTableAcquireListed(ULONG slot)
{
    if (slot >= kAdapterSlotCount) return nullptr;
    AdapterExtension* extension = nullptr;
    KIRQL irql;
    // Removal frees the slot under this lock before it waits for the count.
    KeAcquireSpinLock(&g_adapterTableLock, &irql);
    const AdapterEntry& entry = AdapterTable[slot];
    if (entry.device != nullptr && entry.comNumbers[kPortsPerAdapter - 1] != 0) {
        extension = ExtensionOf(entry.device);
        IoCountIncrement(extension);
    }
    KeReleaseSpinLock(&g_adapterTableLock, irql);
    return extension;
}

VOID AdapterTableRelease(AdapterExtension* extension) { IoCountDecrement(extension); }

AdapterEntry* AdapterTableFind(PDEVICE_OBJECT device)
{
    for (ULONG slot = 0; slot < kAdapterSlotCount; ++slot) {
        if (__atomic_load_n(&AdapterTable[slot].device, __ATOMIC_ACQUIRE) == device) return &AdapterTable[slot];
    }
    return nullptr;
}

NTSTATUS AdapterTakeSlotAndDosName(AdapterExtension* extension)
{
    if (extension->adapterEntry != nullptr) return STATUS_SUCCESS;
    AdapterEntry* entry = AdapterTableTakeSlot(extension->self);
    if (entry == nullptr) return STATUS_SUCCESS;  // a full table is not an error
    extension->adapterEntry = entry;
    NTSTATUS status = RtlStringCbPrintfW(extension->dosName, sizeof(extension->dosName),
                                         L"\\DosDevices\\QTR84PR%d", static_cast<int>(entry->index));
    if (NT_SUCCESS(status)) {
        UNICODE_STRING dosName;
        RtlInitUnicodeString(&dosName, extension->dosName);
        status = IoCreateSymbolicLink(&dosName, &extension->interfaceName);
    }
    if (!NT_SUCCESS(status)) {
        // Without its name the slot is of no use to anyone; give it back.
        extension->dosName[0] = L'\0';
        extension->adapterEntry = nullptr;
        AdapterTableFreeSlot(entry);
    }
    return status;
}

VOID AdapterReleaseSlotAndDosName(AdapterExtension* extension)
{
    AdapterEntry* entry = AdapterTableFind(extension->self);
    if (entry != nullptr) {
        if (extension->dosName[0] != L'\0') {
            UNICODE_STRING dosName;
            RtlInitUnicodeString(&dosName, extension->dosName);
            IoDeleteSymbolicLink(&dosName);
            extension->dosName[0] = L'\0';
        }
        AdapterTableFreeSlot(entry);
    }
    extension->adapterEntry = nullptr;
}
