#include "core/io_count.h"

LONG IoCountIncrement(AdapterExtension* extension)
{
    KIRQL irql;
    KeAcquireSpinLock(&extension->ioCountLock, &irql);
    LONG result = InterlockedIncrement(&extension->outstandingIo);
    if (result == 2) KeClearEvent(&extension->stopEvent);
    KeReleaseSpinLock(&extension->ioCountLock, irql);
    return result;
}

LONG IoCountDecrement(AdapterExtension* extension)
{
    KIRQL irql;
    KeAcquireSpinLock(&extension->ioCountLock, &irql);
    LONG result = InterlockedDecrement(&extension->outstandingIo);
    NT_ASSERT(result >= 0);  // every decrement pairs with an increment
    if (result == 1) KeSetEvent(&extension->stopEvent, IO_NO_INCREMENT, FALSE);
    KeReleaseSpinLock(&extension->ioCountLock, irql);
    // The remove routine frees the extension as soon as it sees this event,
    // lock included: nothing of the device may be touched after it.
    if (result == 0) KeSetEvent(&extension->removeEvent, IO_NO_INCREMENT, FALSE);
    return result;
}

VOID InterfaceReference(AdapterExtension* extension)
{
    KIRQL irql;
    KeAcquireSpinLock(&extension->ioCountLock, &irql);
    InterlockedIncrement(&extension->interfaceRefs);
    KeReleaseSpinLock(&extension->ioCountLock, irql);
}

VOID InterfaceDereference(AdapterExtension* extension)
{
    KIRQL irql;
    KeAcquireSpinLock(&extension->ioCountLock, &irql);
    InterlockedDecrement(&extension->interfaceRefs);
    KeReleaseSpinLock(&extension->ioCountLock, irql);
}
