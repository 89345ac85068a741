// GetVersionExA as each platform's kernel32 answers it.
#include <windows.h>

#include <atomic>
#include <cstring>

#include "um/platform_version.h"

namespace winsim::um {

namespace {

struct VersionReport {
    DWORD major;
    DWORD minor;
    DWORD build;
    DWORD platform;
    const char* servicePack;
    WORD servicePackMajor;
    bool knowsExtendedInfo;  // OSVERSIONINFOEXA came with NT 4.0 SP6
};

// The non-NT platform's build number carries its version in the high word.
constexpr VersionReport kNt61{6, 1, 7601, VER_PLATFORM_WIN32_NT, "Service Pack 1", 1, true};
constexpr VersionReport kNt40{4, 0, 1381, VER_PLATFORM_WIN32_NT, "Service Pack 6", 6, true};
constexpr VersionReport kWin98{4, 10, 0x040A08AE, VER_PLATFORM_WIN32_WINDOWS, " A ", 0, false};

std::atomic<PlatformVersion> g_version{PlatformVersion::kNt61};

const VersionReport& ReportOf(PlatformVersion version)
{
    switch (version) {
    case PlatformVersion::kNt40:
        return kNt40;
    case PlatformVersion::kWin9x:
        return kWin98;
    case PlatformVersion::kNt61:
        break;
    }
    return kNt61;
}

}  // namespace

void SetPlatformVersion(PlatformVersion version) { g_version = version; }

PlatformVersion CurrentPlatformVersion() { return g_version; }

}  // namespace winsim::um

extern "C" {

BOOL WINAPI GetVersionExA(LPOSVERSIONINFOA lpVersionInformation)
{
    const auto& report = winsim::um::ReportOf(winsim::um::CurrentPlatformVersion());
    const DWORD size = lpVersionInformation->dwOSVersionInfoSize;
    const bool extended = size == sizeof(OSVERSIONINFOEXA) && report.knowsExtendedInfo;
    if (size != sizeof(OSVERSIONINFOA) && !extended) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return FALSE;
    }
    lpVersionInformation->dwMajorVersion = report.major;
    lpVersionInformation->dwMinorVersion = report.minor;
    lpVersionInformation->dwBuildNumber = report.build;
    lpVersionInformation->dwPlatformId = report.platform;
    std::memset(lpVersionInformation->szCSDVersion, 0, sizeof(lpVersionInformation->szCSDVersion));
    std::strcpy(lpVersionInformation->szCSDVersion, report.servicePack);
    if (extended) {
        auto* ex = reinterpret_cast<LPOSVERSIONINFOEXA>(lpVersionInformation);
        ex->wServicePackMajor = report.servicePackMajor;
        ex->wServicePackMinor = 0;
        ex->wSuiteMask = 0;
        ex->wProductType = VER_NT_WORKSTATION;
        ex->wReserved = 0;
    }
    return TRUE;
}

}  // extern "C"
