// The outstanding-I/O count: requests in progress plus one for the device's
// own existence. stopEvent is set while only that one remains, removeEvent
// once it is given up at remove.
#pragma once

#include "core/adapter_extension.h"

LONG IoCountIncrement(AdapterExtension* extension);
LONG IoCountDecrement(AdapterExtension* extension);

// References on the port services interface, counted under the same lock.
VOID InterfaceReference(AdapterExtension* extension);
VOID InterfaceDereference(AdapterExtension* extension);
