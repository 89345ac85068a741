#include "core/adapter_table.h"

#include <ntstrsafe.h>

#include "core/io_count.h"

namespace {

AdapterEntry g_adapterTable[kAdapterSlotCount];
KSPIN_LOCK g_adapterTableLock;

bool IsListedLocked(const AdapterEntry& entry)
{
    return entry.device != nullptr && entry.comNumbers[kPortsPerAdapter - 1] != 0;
}

VOID CopyLocked(const AdapterEntry& entry, AdapterSlotView* view)
{
    for (ULONG port = 0; port < kPortsPerAdapter; ++port) {
        view->comNumbers[port] = entry.comNumbers[port];
        view->portOpen[port] = entry.portOpen[port];
    }
}

}  // namespace

VOID AdapterTableInitialize()
{
    KeInitializeSpinLock(&g_adapterTableLock);
    RtlZeroMemory(g_adapterTable, sizeof(g_adapterTable));
}

AdapterEntry* AdapterTableTakeSlot(PDEVICE_OBJECT device)
{
    AdapterEntry* taken = nullptr;
    KIRQL irql;
    KeAcquireSpinLock(&g_adapterTableLock, &irql);
    for (ULONG slot = 0; slot < kAdapterSlotCount; ++slot) {
        AdapterEntry* entry = &g_adapterTable[slot];
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
    NT_ASSERT(entry != nullptr && entry->device != nullptr);
    KIRQL irql;
    KeAcquireSpinLock(&g_adapterTableLock, &irql);
    InterlockedExchangePointer(reinterpret_cast<PVOID volatile*>(&entry->device), nullptr);
    KeReleaseSpinLock(&g_adapterTableLock, irql);
}

VOID AdapterEntrySetComNumber(AdapterEntry* entry, ULONG port, ULONG comNumber)
{
    NT_ASSERT(port < kPortsPerAdapter);
    KIRQL irql;
    KeAcquireSpinLock(&g_adapterTableLock, &irql);
    WriteULongNoFence(&entry->comNumbers[port], comNumber);
    KeReleaseSpinLock(&g_adapterTableLock, irql);
}

VOID AdapterEntrySetPortOpen(AdapterEntry* entry, ULONG port, ULONG open)
{
    NT_ASSERT(port < kPortsPerAdapter);
    KIRQL irql;
    KeAcquireSpinLock(&g_adapterTableLock, &irql);
    WriteULongNoFence(&entry->portOpen[port], open);
    KeReleaseSpinLock(&g_adapterTableLock, irql);
}

// The monitor asks on every data message; its record only needs a number
// the port had at some moment.
ULONG AdapterEntryComNumber(const AdapterEntry* entry, ULONG port)
{
    return ReadULongNoFence(&entry->comNumbers[port]);
}

BOOLEAN AdapterTableReadListed(ULONG slot, AdapterSlotView* view)
{
    if (slot >= kAdapterSlotCount) return FALSE;
    KIRQL irql;
    KeAcquireSpinLock(&g_adapterTableLock, &irql);
    const AdapterEntry& entry = g_adapterTable[slot];
    const bool listed = IsListedLocked(entry);
    if (listed) CopyLocked(entry, view);
    KeReleaseSpinLock(&g_adapterTableLock, irql);
    return listed ? TRUE : FALSE;
}

namespace {

AdapterExtension* Acquire(ULONG slot, bool listedOnly, AdapterSlotView* view)
{
    if (slot >= kAdapterSlotCount) return nullptr;
    AdapterExtension* extension = nullptr;
    KIRQL irql;
    // Removal frees the slot under this lock before it waits for the count.
    KeAcquireSpinLock(&g_adapterTableLock, &irql);
    const AdapterEntry& entry = g_adapterTable[slot];
    if (entry.device != nullptr && (!listedOnly || IsListedLocked(entry))) {
        extension = ExtensionOf(entry.device);
        IoCountIncrement(extension);
        if (view != nullptr) CopyLocked(entry, view);
    }
    KeReleaseSpinLock(&g_adapterTableLock, irql);
    return extension;
}

}  // namespace

AdapterExtension* AdapterTableAcquire(ULONG slot) { return Acquire(slot, false, nullptr); }

AdapterExtension* AdapterTableAcquireListed(ULONG slot, AdapterSlotView* view) { return Acquire(slot, true, view); }

VOID AdapterTableRelease(AdapterExtension* extension) { IoCountDecrement(extension); }

AdapterEntry* AdapterTableFind(PDEVICE_OBJECT device)
{
    for (AdapterEntry& entry : g_adapterTable) {
        const auto* published = reinterpret_cast<PVOID const volatile*>(&entry.device);
        if (ReadPointerAcquire(published) == device) return &entry;
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
