#include "platform.h"

#include <string.h>

OSVERSIONINFOA PlatformVersion()
{
    OSVERSIONINFOA version;
    memset(&version, 0, sizeof(version));
    version.dwOSVersionInfoSize = sizeof(version);
    if (!GetVersionExA(&version)) memset(&version, 0, sizeof(version));
    return version;
}

bool IsNtPlatform() { return PlatformVersion().dwPlatformId == VER_PLATFORM_WIN32_NT; }
