#include "core/adapter_extension.h"

VOID SetDeviceState(AdapterExtension* extension, DeviceState state)
{
    KIRQL irql;
    KeAcquireSpinLock(&extension->stateLock, &irql);
    extension->previousState = extension->deviceState;
    __atomic_store_n(&extension->deviceState, static_cast<ULONG>(state), __ATOMIC_RELEASE);
    KeReleaseSpinLock(&extension->stateLock, irql);
}

VOID RestorePreviousState(AdapterExtension* extension)
{
    KIRQL irql;
    KeAcquireSpinLock(&extension->stateLock, &irql);
    __atomic_store_n(&extension->deviceState, extension->previousState, __ATOMIC_RELEASE);
    KeReleaseSpinLock(&extension->stateLock, irql);
}
