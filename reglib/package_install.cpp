// Installing the driver package: its INF files into the INF store, and the
// drivers of the adapters present updated from them.
#include <stdio.h>

#include <string>

#include "adapter_ids.h"
#include "cl84prreg64.h"
#include "install_folder.h"
#include "platform.h"
#include "system_library.h"

namespace {

typedef BOOL(WINAPI CopyOemInfFunction)(PCSTR, PCSTR, DWORD, DWORD, PSTR, DWORD, PDWORD, PSTR*);
typedef BOOL(WINAPI UpdateDriverFunction)(HWND, LPCSTR, LPCSTR, DWORD, PBOOL);

constexpr const char* kAdapterInf = "84pr.inf";
constexpr const char* kPortsInf = "84prp.inf";

}  // namespace

CL84PRREG64_API int WINAPI fnCopyInfToSystem(void)
{
    printf("** fnCopyInfToSystem() **\n");
    std::string folder;
    if (!DriverFolder(&folder) || !IsNtPlatform()) return 0;
    SystemLibrary setupapi("setupapi.dll");
    auto* copy = setupapi.Resolve<CopyOemInfFunction>("SetupCopyOEMInfA");
    if (!setupapi.Loaded() || copy == nullptr) return 0;
    const std::string adapterInf = folder + kAdapterInf;
    copy(adapterInf.c_str(), nullptr, SPOST_PATH, 0, nullptr, 0, nullptr, nullptr);
    printf("error:%d %s\n", static_cast<int>(GetLastError()), adapterInf.c_str());
    const std::string portsInf = folder + kPortsInf;
    copy(portsInf.c_str(), nullptr, SPOST_PATH, 0, nullptr, 0, nullptr, nullptr);
    printf("%s\n", portsInf.c_str());
    return 0;
}

CL84PRREG64_API int WINAPI fnUpdateDriverPNP(void)
{
    printf("** fnUpdateDriverPNP() **\n");
    std::string folder;
    if (!DriverFolder(&folder)) return 0;
    printf("qtrPath: %s\n", folder.c_str());
    if (!IsNtPlatform()) return 1;
    SystemLibrary newdev("newdev.dll");
    auto* update = newdev.Resolve<UpdateDriverFunction>("UpdateDriverForPlugAndPlayDevicesA");
    if (!newdev.Loaded() || update == nullptr) return 1;
    auto updateFrom = [&](const char* hardwareId, const std::string& inf) {
        if (!update(nullptr, hardwareId, inf.c_str(), INSTALLFLAG_FORCE, nullptr)) {
            printf("Hardware ID:%s InfPath:%s %x\n", hardwareId, inf.c_str(), static_cast<unsigned>(GetLastError()));
        }
    };
    for (const char* id : kDeviceIds) updateFrom(id, folder + kAdapterInf);
    updateFrom(kPortIds[0], folder + kPortsInf);
    return 1;
}
