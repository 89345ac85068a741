// Slots of the driver-wide adapter table. Taking and freeing a slot is
// serialised by a spin lock: add-device of one adapter may run while another
// adapter's port registration (at up to DISPATCH_LEVEL) looks for a slot.
// Readers scan the table without the lock and see a slot as free or taken.
#pragma once

#include "core/adapter_extension.h"

VOID AdapterTableInitialize();

// Takes the lowest free slot for the device; null when all are taken.
AdapterEntry* AdapterTableTakeSlot(PDEVICE_OBJECT device);
VOID AdapterTableFreeSlot(AdapterEntry* entry);
AdapterEntry* AdapterTableFind(PDEVICE_OBJECT device);

// Gives the adapter a slot and its DOS name if it has none yet.
NTSTATUS AdapterTakeSlotAndDosName(AdapterExtension* extension);
// Frees the slot and deletes the DOS name, if the adapter has them.
VOID AdapterReleaseSlotAndDosName(AdapterExtension* extension);
