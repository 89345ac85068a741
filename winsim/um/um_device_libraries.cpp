#include "um/device_libraries.h"

#include <msports.h>
#include <newdev.h>
#include <setupapi.h>

#include "um/system_libraries.h"

namespace winsim::um {

void RegisterDeviceInstallationLibraries()
{
    RegisterSystemExport("msports.dll", "ComDBOpen", &ComDBOpen);
    RegisterSystemExport("msports.dll", "ComDBClose", &ComDBClose);
    RegisterSystemExport("msports.dll", "ComDBClaimPort", &ComDBClaimPort);
    RegisterSystemExport("msports.dll", "ComDBReleasePort", &ComDBReleasePort);
    RegisterSystemExport("msports.dll", "ComDBGetCurrentPortUsage", &ComDBGetCurrentPortUsage);

    RegisterSystemExport("setupapi.dll", "SetupDiGetClassDevsA", &SetupDiGetClassDevsA);
    RegisterSystemExport("setupapi.dll", "SetupDiEnumDeviceInfo", &SetupDiEnumDeviceInfo);
    RegisterSystemExport("setupapi.dll", "SetupDiGetDeviceRegistryPropertyA", &SetupDiGetDeviceRegistryPropertyA);
    RegisterSystemExport("setupapi.dll", "SetupDiOpenDevRegKey", &SetupDiOpenDevRegKey);
    RegisterSystemExport("setupapi.dll", "SetupDiCallClassInstaller", &SetupDiCallClassInstaller);
    RegisterSystemExport("setupapi.dll", "SetupDiDestroyDeviceInfoList", &SetupDiDestroyDeviceInfoList);
    RegisterSystemExport("setupapi.dll", "SetupCopyOEMInfA", &SetupCopyOEMInfA);

    RegisterSystemExport("newdev.dll", "UpdateDriverForPlugAndPlayDevicesA", &UpdateDriverForPlugAndPlayDevicesA);
}

}  // namespace winsim::um
