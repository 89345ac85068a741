// winsim user-mode headers: msports.dll's COM-port database functions, the
// ports class installer's database of claimed COM numbers.
#pragma once

#include "windef.h"
#include "winerror.h"

struct HCOMDB__;
typedef struct HCOMDB__* HCOMDB;
typedef HCOMDB* PHCOMDB;
#define HCOMDB_INVALID_HANDLE_VALUE ((HCOMDB)(LONG_PTR)-1)

#define COMDB_MIN_PORTS_ARBITRATED 256
#define COMDB_MAX_PORTS_ARBITRATED 4096

#define CDB_REPORT_BITS 0x0
#define CDB_REPORT_BYTES 0x1

extern "C" {

LONG WINAPI ComDBOpen(PHCOMDB PHComDB);
LONG WINAPI ComDBClose(HCOMDB HComDB);
// ERROR_SHARING_VIOLATION when the number is claimed and ForceClaim is FALSE.
LONG WINAPI ComDBClaimPort(HCOMDB HComDB, DWORD ComNumber, BOOL ForceClaim, PBOOL Forced);
LONG WINAPI ComDBReleasePort(HCOMDB HComDB, DWORD ComNumber);
// With a null Buffer, *MaxPortsReported receives the database's size.
LONG WINAPI ComDBGetCurrentPortUsage(HCOMDB HComDB, PBYTE Buffer, DWORD BufferSize, ULONG ReportType,
                                     LPDWORD MaxPortsReported);

}  // extern "C"
