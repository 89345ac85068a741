// Handles to registry keys, with the access each was opened for. The kernel
// has one table; user mode keeps its own for HKEYs.
#pragma once

#include <ntdef.h>

#include <map>
#include <mutex>

#include "registry/registry_store.h"

namespace winsim::registry {

class KeyHandleTable {
public:
    // Handles count up from firstHandle in steps of four and are never reused,
    // so a handle used after its close is caught instead of finding a new key.
    explicit KeyHandleTable(ULONG_PTR firstHandle) : next_(firstHandle) {}

    HANDLE Insert(KeyRef key, ACCESS_MASK access);
    bool Lookup(HANDLE handle, KeyRef* key, ACCESS_MASK* access) const;
    bool Remove(HANDLE handle);
    // Open handles: what a leak check compares before and after.
    size_t Count() const;

private:
    struct Entry {
        KeyRef key;
        ACCESS_MASK access;
    };
    mutable std::mutex lock_;
    std::map<ULONG_PTR, Entry> entries_;
    ULONG_PTR next_;
};

// The kernel's key handles (ZwOpenKey, ZwCreateKey, IoOpenDeviceRegistryKey).
KeyHandleTable& KernelKeyHandles();

}  // namespace winsim::registry
