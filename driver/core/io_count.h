// The outstanding-I/O count: requests in progress plus one for the device's
// own existence. stopEvent is set while only that one remains, removeEvent
// once it is given up at remove.
#pragma once

#include "core/adapter_extension.h"

_IRQL_requires_max_(DISPATCH_LEVEL)
LONG IoCountIncrement(_Inout_ AdapterExtension* extension);
_IRQL_requires_max_(DISPATCH_LEVEL)
LONG IoCountDecrement(_Inout_ AdapterExtension* extension);

// References on the port services interface, counted under the same lock.
_IRQL_requires_max_(DISPATCH_LEVEL)
VOID InterfaceReference(_Inout_ AdapterExtension* extension);
_IRQL_requires_max_(DISPATCH_LEVEL)
VOID InterfaceDereference(_Inout_ AdapterExtension* extension);
