// Claiming and releasing COM numbers and reading which are in use.
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "cl84prreg64.h"
#include "com_database.h"
#include "legacy_port_scan.h"
#include "platform.h"

namespace {

typedef LONG(WINAPI ClaimFunction)(HCOMDB, DWORD, BOOL, PBOOL);
typedef LONG(WINAPI ReleaseFunction)(HCOMDB, DWORD);
typedef LONG(WINAPI UsageFunction)(HCOMDB, PBYTE, DWORD, ULONG, LPDWORD);

// Where the non-NT platforms record ports: "portname" values under Enum.
unsigned PortsInUseFromRegistry(BYTE* buffer, unsigned size)
{
    HKEY enumKey = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Enum", 0, KEY_READ, &enumKey) != ERROR_SUCCESS) return 0;
    printf("fnGetPortsInUse: Opened Enum key\n");
    BYTE map[kLegacyPortMapSize];
    memset(map, 0, sizeof(map));
    ScanPortNames(enumKey, map);
    const unsigned filled = size < sizeof(map) ? size : static_cast<unsigned>(sizeof(map));
    memcpy(buffer, map, filled);
    return filled;
}

}  // namespace

CL84PRREG64_API int WINAPI fnClaimComPort(unsigned comNumber)
{
    if (!IsNtPlatform()) return 1;
    ComDatabaseSession database;
    if (!database.Loaded()) return 0;
    auto* open = database.Resolve<ComDatabaseSession::OpenFunction>("ComDBOpen");
    auto* claim = database.Resolve<ClaimFunction>("ComDBClaimPort");
    if (open == nullptr) {
        printf("Could not resolve ComDBOpen\n");
        return 0;
    }
    database.Open(open);
    if (claim == nullptr) {
        printf("Could not resolve ComDBClaimPort\n");
        return 0;
    }
    return claim(database.Handle(), comNumber, FALSE, nullptr) == ERROR_SUCCESS ? 1 : 0;
}

CL84PRREG64_API int WINAPI fnReleaseComPort(unsigned comNumber)
{
    if (!IsNtPlatform()) return 1;
    ComDatabaseSession database;
    if (!database.Loaded()) return 1;
    auto* open = database.Resolve<ComDatabaseSession::OpenFunction>("ComDBOpen");
    if (open == nullptr) printf("Could not resolve ComDBOpen\n");
    auto* release = database.Resolve<ReleaseFunction>("ComDBReleasePort");
    if (release == nullptr) printf("Could not resolve ComDBReleasePort\n");
    if (open != nullptr && release != nullptr) {
        database.Open(open);
        release(database.Handle(), comNumber);
    }
    return 1;
}

CL84PRREG64_API unsigned WINAPI fnGetPortsInUse(BYTE* buffer, unsigned size)
{
    if (buffer == nullptr) return 0;
    memset(buffer, 0, size);
    if (!IsNtPlatform()) return PortsInUseFromRegistry(buffer, size);

    ComDatabaseSession database;
    if (!database.Loaded()) return 0;
    auto* open = database.Resolve<ComDatabaseSession::OpenFunction>("ComDBOpen");
    auto* usage = database.Resolve<UsageFunction>("ComDBGetCurrentPortUsage");
    if (open == nullptr || usage == nullptr) return 0;
    const LONG opened = database.Open(open);
    if (opened != ERROR_SUCCESS) {
        printf("openComDB failed: %d\n", static_cast<int>(opened));
        return 0;
    }
    DWORD count = 0;
    usage(database.Handle(), nullptr, 0, CDB_REPORT_BYTES, &count);
    if (count == 0) {
        printf("Max Ports:%d\n", 0);
        return 0;
    }
    printf("MaxPorts: %d\n", static_cast<int>(count));
    BYTE* ports = static_cast<BYTE*>(calloc(count, 1));
    if (ports == nullptr) return 0;
    DWORD reported = count;
    const LONG result = usage(database.Handle(), ports, count, CDB_REPORT_BYTES, &reported);
    if (result != ERROR_SUCCESS) {
        printf("getPortUsage failed:%d %d\n", static_cast<int>(count), static_cast<int>(result));
        free(ports);
        return 0;
    }
    const unsigned filled = size < count ? size : static_cast<unsigned>(count);
    memcpy(buffer, ports, filled);
    free(ports);
    return filled;
}
