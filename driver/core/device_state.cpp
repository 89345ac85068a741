#include "core/adapter_extension.h"

VOID SetDeviceState(AdapterExtension* extension, DeviceState state)
{
    KIRQL irql;
    KeAcquireSpinLock(&extension->stateLock, &irql);
    extension->previousState = extension->deviceState;
    WriteULongRelease(&extension->deviceState, static_cast<ULONG>(state));
    KeReleaseSpinLock(&extension->stateLock, irql);
}

VOID RestorePreviousState(AdapterExtension* extension)
{
    KIRQL irql;
    KeAcquireSpinLock(&extension->stateLock, &irql);
    WriteULongRelease(&extension->deviceState, extension->previousState);
    KeReleaseSpinLock(&extension->stateLock, irql);
}
