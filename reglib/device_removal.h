// Removing the adapter's devices of one setup class, plugged in or not.
#pragma once

enum class DeviceClass { kPorts, kUsb };

// Ports: devices whose first hardware id is one of the port ids; USB:
// devices with any hardware id among the device ids.
void RemoveAdapterDevices(DeviceClass deviceClass);
