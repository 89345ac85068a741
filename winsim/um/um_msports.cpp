// msports.dll's COM-port database functions over the ports class
// installer's database (pnp/com_database.h). The machine's one user is an
// administrator, so the database always opens.
#include <msports.h>

#include <cstring>
#include <mutex>
#include <set>

#include "pnp/com_database.h"

using winsim::pnp::ComDatabase;

namespace {

std::mutex& HandleLock()
{
    static std::mutex lock;
    return lock;
}

std::set<HCOMDB>& OpenHandles()
{
    static std::set<HCOMDB> handles;
    return handles;
}

// Handle values are never reused: a stale handle stays invalid.
HCOMDB NewHandle()
{
    static ULONG_PTR next = 0xC0D0;
    std::lock_guard lk(HandleLock());
    next += 4;
    HCOMDB handle = reinterpret_cast<HCOMDB>(next);
    OpenHandles().insert(handle);
    return handle;
}

bool IsOpen(HCOMDB handle)
{
    std::lock_guard lk(HandleLock());
    return OpenHandles().count(handle) != 0;
}

}  // namespace

extern "C" {

LONG WINAPI ComDBOpen(PHCOMDB PHComDB)
{
    if (PHComDB == nullptr) return ERROR_INVALID_PARAMETER;
    *PHComDB = NewHandle();
    return ERROR_SUCCESS;
}

LONG WINAPI ComDBClose(HCOMDB HComDB)
{
    std::lock_guard lk(HandleLock());
    return OpenHandles().erase(HComDB) == 1 ? ERROR_SUCCESS : ERROR_INVALID_PARAMETER;
}

LONG WINAPI ComDBClaimPort(HCOMDB HComDB, DWORD ComNumber, BOOL ForceClaim, PBOOL Forced)
{
    if (!IsOpen(HComDB) || ComNumber == 0 || ComNumber > ComDatabase::Size()) return ERROR_INVALID_PARAMETER;
    if (Forced != nullptr) *Forced = FALSE;
    if (ComDatabase::Claim(ComNumber)) return ERROR_SUCCESS;
    if (!ForceClaim) return ERROR_SHARING_VIOLATION;
    if (Forced != nullptr) *Forced = TRUE;
    return ERROR_SUCCESS;
}

LONG WINAPI ComDBReleasePort(HCOMDB HComDB, DWORD ComNumber)
{
    if (!IsOpen(HComDB) || ComNumber == 0 || ComNumber > ComDatabase::Size()) return ERROR_INVALID_PARAMETER;
    ComDatabase::Release(ComNumber);
    return ERROR_SUCCESS;
}

LONG WINAPI ComDBGetCurrentPortUsage(HCOMDB HComDB, PBYTE Buffer, DWORD BufferSize, ULONG ReportType,
                                     LPDWORD MaxPortsReported)
{
    if (!IsOpen(HComDB) || (Buffer == nullptr && MaxPortsReported == nullptr)) return ERROR_INVALID_PARAMETER;
    const ULONG size = ComDatabase::Size();
    if (Buffer == nullptr) {
        *MaxPortsReported = size;
        return ERROR_SUCCESS;
    }
    if (ReportType != CDB_REPORT_BITS && ReportType != CDB_REPORT_BYTES) return ERROR_INVALID_PARAMETER;
    const ULONG perByte = ReportType == CDB_REPORT_BITS ? 8 : 1;
    const ULONG reported = BufferSize < size / perByte ? BufferSize * perByte : size;
    std::memset(Buffer, 0, BufferSize);
    for (ULONG number : ComDatabase::Claimed()) {
        if (number > reported) break;
        if (perByte == 1) {
            Buffer[number - 1] = 1;
        } else {
            Buffer[(number - 1) / 8] = static_cast<BYTE>(Buffer[(number - 1) / 8] | (1u << ((number - 1) % 8)));
        }
    }
    if (MaxPortsReported != nullptr) *MaxPortsReported = reported;
    return ERROR_SUCCESS;
}

}  // extern "C"
