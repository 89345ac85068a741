// The COM port registry scan: every device of the Ports setup class,
// plugged in or not, with its COM port name and its friendly name, for the
// COM port page to look owners up by name.
#pragma once

#include "common/win32_user.h"

struct PortNameEntry {
    char portName[256];     // "PortName" (COM3), "COMxx" when unreadable
    char description[256];  // the friendly name
};
static_assert(sizeof(PortNameEntry) == 512, "an entry is 512 bytes");

struct PortNameList {
    PortNameEntry* entries;  // zeroed local-heap block
    int count;
};

// Null when the list or its first block cannot be allocated.
PortNameList* BuildPortNameList();
// Frees the entries, then the list; null is ignored.
void FreePortNameList(PortNameList* list);
