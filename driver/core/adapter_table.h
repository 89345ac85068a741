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

_IRQL_requires_(PASSIVE_LEVEL)
VOID AdapterTableInitialize();

// Takes the lowest free slot for the device; null when all are taken.
_Must_inspect_result_ _Ret_maybenull_ _IRQL_requires_max_(DISPATCH_LEVEL)
AdapterEntry* AdapterTableTakeSlot(_In_ PDEVICE_OBJECT device);
_IRQL_requires_max_(DISPATCH_LEVEL)
VOID AdapterTableFreeSlot(_Inout_ AdapterEntry* entry);
_Ret_maybenull_ _IRQL_requires_max_(DISPATCH_LEVEL)
AdapterEntry* AdapterTableFind(_In_ PDEVICE_OBJECT device);

// An adapter's own slot, written by its port functions.
_IRQL_requires_max_(DISPATCH_LEVEL)
VOID AdapterEntrySetComNumber(_Inout_ AdapterEntry* entry, _In_ ULONG port, _In_ ULONG comNumber);
_IRQL_requires_max_(DISPATCH_LEVEL)
VOID AdapterEntrySetPortOpen(_Inout_ AdapterEntry* entry, _In_ ULONG port, _In_ ULONG open);
_IRQL_requires_max_(DISPATCH_LEVEL)
ULONG AdapterEntryComNumber(_In_ const AdapterEntry* entry, _In_ ULONG port);

// A listed slot holds a device object whose fourth port is registered.
// Copies the slot under the lock; FALSE (view untouched) when not listed.
_Must_inspect_result_ _Success_(return != FALSE) _IRQL_requires_max_(DISPATCH_LEVEL)
BOOLEAN AdapterTableReadListed(_In_ ULONG slot, _Out_ AdapterSlotView* view);

// The slot's adapter, held for a request that works on it from another
// adapter's control device: its outstanding-I/O count keeps its removal
// waiting, so the extension stays valid until AdapterTableRelease.
// AdapterTableAcquire takes any filled slot, AdapterTableAcquireListed a
// listed one only (and copies it into view when view is not null). Null for
// a slot out of range or without such an adapter.
_Must_inspect_result_ _Ret_maybenull_ _IRQL_requires_max_(DISPATCH_LEVEL)
AdapterExtension* AdapterTableAcquire(_In_ ULONG slot);
_Must_inspect_result_ _Ret_maybenull_ _IRQL_requires_max_(DISPATCH_LEVEL)
AdapterExtension* AdapterTableAcquireListed(_In_ ULONG slot, _Out_opt_ AdapterSlotView* view = nullptr);
_IRQL_requires_max_(DISPATCH_LEVEL)
VOID AdapterTableRelease(_In_ AdapterExtension* extension);

// Gives the adapter a slot and its DOS name if it has none yet.
_IRQL_requires_(PASSIVE_LEVEL)
NTSTATUS AdapterTakeSlotAndDosName(_Inout_ AdapterExtension* extension);
// Frees the slot and deletes the DOS name, if the adapter has them.
_IRQL_requires_(PASSIVE_LEVEL)
VOID AdapterReleaseSlotAndDosName(_Inout_ AdapterExtension* extension);
