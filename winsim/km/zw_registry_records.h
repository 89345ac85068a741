// The key and value information records of the Zw registry services, with
// the length rules of Windows: a buffer smaller than the record's fixed part
// gets STATUS_BUFFER_TOO_SMALL and nothing; one that holds the fixed part but
// not all of the names and data gets as much as fits and
// STATUS_BUFFER_OVERFLOW. ResultLength is always the size the whole record
// needs.
#pragma once

#include <km_zw.h>

#include "registry/registry_store.h"

namespace winsim::registry {

NTSTATUS WriteValueInformation(const Value& value, KEY_VALUE_INFORMATION_CLASS infoClass, PVOID buffer,
                               ULONG length, PULONG resultLength);
NTSTATUS WriteKeyInformation(const KeyInfo& key, KEY_INFORMATION_CLASS infoClass, PVOID buffer, ULONG length,
                             PULONG resultLength);

}  // namespace winsim::registry
