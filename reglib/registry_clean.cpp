// The registry clean: every Plug and Play record through which the
// adapter's ports got their COM numbers goes, so that adapters plugged in
// again are installed afresh.
#include <stdio.h>

#include <string>

#include "cl84prreg64.h"
#include "device_removal.h"
#include "legacy_clean.h"
#include "platform.h"
#include "registry_tree.h"

namespace {

constexpr const char* kServiceKey = "System\\CurrentControlSet\\Services\\Tessary\\QTR84PR";
constexpr const char* kNt4ParametersKey = "System\\CurrentControlSet\\Services\\QTR84PNT\\Parameters";

}  // namespace

CL84PRREG64_API int WINAPI fnClqtrreg(void)
{
    const OSVERSIONINFOA version = PlatformVersion();
    if (version.dwPlatformId != VER_PLATFORM_WIN32_NT) return LegacyClean();
    if (version.dwMajorVersion == 4) {
        DeleteKeyTree(HKEY_LOCAL_MACHINE, kNt4ParametersKey);
        HKEY key = nullptr;
        if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, kNt4ParametersKey, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_WRITE,
                            nullptr, &key, nullptr) == ERROR_SUCCESS) {
            RegCloseKey(key);
        }
        return 0;
    }
    RemoveAdapterDevices(DeviceClass::kPorts);
    RemoveAdapterDevices(DeviceClass::kUsb);
    DeleteKeyTree(HKEY_LOCAL_MACHINE, kServiceKey);
    return 0;
}
