// The driver-wide table of adapter slots; a slot's number is the adapter's
// number in \\.\QTR84PR<n>. The table itself is private to adapter_table.cpp:
// everything that reads another adapter's slot or extension goes through
// the functions below, which take the table's spin lock. Add-device of one
// adapter may run while another adapter's port registration (at up to
// DISPATCH_LEVEL) looks for a slot, and a control request on one adapter may
// run while another is removed.
#pragma once

#include "core/adapter_extension.h"

// What a control request may know of a slot without holding its adapter.
struct AdapterSlotView {
    ULONG comNumbers[kPortsPerAdapter];
    ULONG portOpen[kPortsPerAdapter];
};

VOID AdapterTableInitialize();

// Takes the lowest free slot for the device; null when all are taken.
AdapterEntry* AdapterTableTakeSlot(PDEVICE_OBJECT device);
VOID AdapterTableFreeSlot(AdapterEntry* entry);
AdapterEntry* AdapterTableFind(PDEVICE_OBJECT device);

// An adapter's own slot, written by its port functions.
VOID AdapterEntrySetComNumber(AdapterEntry* entry, ULONG port, ULONG comNumber);
VOID AdapterEntrySetPortOpen(AdapterEntry* entry, ULONG port, ULONG open);
ULONG AdapterEntryComNumber(const AdapterEntry* entry, ULONG port);

// A listed slot holds a device object whose fourth port is registered.
// Copies the slot under the lock; FALSE (view untouched) when not listed.
BOOLEAN AdapterTableReadListed(ULONG slot, AdapterSlotView* view);

// The slot's adapter, held for a request that works on it from another
// adapter's control device: its outstanding-I/O count keeps its removal
// waiting, so the extension stays valid until AdapterTableRelease.
// AdapterTableAcquire takes any filled slot, AdapterTableAcquireListed a
// listed one only (and copies it into view when view is not null). Null for
// a slot out of range or without such an adapter.
AdapterExtension* AdapterTableAcquire(ULONG slot);
AdapterExtension* AdapterTableAcquireListed(ULONG slot, AdapterSlotView* view = nullptr);
VOID AdapterTableRelease(AdapterExtension* extension);

// Gives the adapter a slot and its DOS name if it has none yet.
NTSTATUS AdapterTakeSlotAndDosName(AdapterExtension* extension);
// Frees the slot and deletes the DOS name, if the adapter has them.
VOID AdapterReleaseSlotAndDosName(AdapterExtension* extension);
