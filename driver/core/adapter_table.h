// Slots of the driver-wide adapter table. Taking and freeing a slot is
// serialised by a spin lock: add-device of one adapter may run while another
// adapter's port registration (at up to DISPATCH_LEVEL) looks for a slot.
// Readers scan the table without the lock and see a slot as free or taken;
// one that uses a slot's adapter holds it (below) under the lock.
#pragma once

#include "core/adapter_extension.h"

VOID AdapterTableInitialize();

// Takes the lowest free slot for the device; null when all are taken.
AdapterEntry* AdapterTableTakeSlot(PDEVICE_OBJECT device);
VOID AdapterTableFreeSlot(AdapterEntry* entry);
AdapterEntry* AdapterTableFind(PDEVICE_OBJECT device);

// The slot's adapter, held for a request that works on it from another
// adapter's control device: its outstanding-I/O count keeps its removal
// waiting, so the extension stays valid until AdapterTableRelease. Null for
// a free slot or one whose fourth port is not registered (not listed).
AdapterExtension* AdapterTableAcquireListed(ULONG slot);
VOID AdapterTableRelease(AdapterExtension* extension);

// Gives the adapter a slot and its DOS name if it has none yet.
NTSTATUS AdapterTakeSlotAndDosName(AdapterExtension* extension);
// Frees the slot and deletes the DOS name, if the adapter has them.
VOID AdapterReleaseSlotAndDosName(AdapterExtension* extension);
