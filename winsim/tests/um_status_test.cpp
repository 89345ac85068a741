// The NTSTATUS to Win32 translation of kernel32 and the printed names.
#include <windows.h>

#include <gtest/gtest.h>

#include "um/um_status.h"

namespace winsim {
namespace {

TEST(StatusTranslation, MirrorsWindows)
{
    struct Case {
        NTSTATUS status;
        DWORD error;
    };
    const Case cases[] = {
        {STATUS_SUCCESS, ERROR_SUCCESS},
        {STATUS_DELETE_PENDING, ERROR_ACCESS_DENIED},
        {STATUS_INVALID_PARAMETER, ERROR_INVALID_PARAMETER},
        {STATUS_INVALID_DEVICE_REQUEST, ERROR_INVALID_FUNCTION},
        {STATUS_NO_SUCH_DEVICE, ERROR_FILE_NOT_FOUND},
        {STATUS_OBJECT_NAME_NOT_FOUND, ERROR_FILE_NOT_FOUND},
        {STATUS_OBJECT_PATH_NOT_FOUND, ERROR_PATH_NOT_FOUND},
        {STATUS_ACCESS_DENIED, ERROR_ACCESS_DENIED},
        {STATUS_SHARING_VIOLATION, ERROR_SHARING_VIOLATION},
        {STATUS_INSUFFICIENT_RESOURCES, ERROR_NO_SYSTEM_RESOURCES},
        {STATUS_DEVICE_NOT_CONNECTED, ERROR_DEVICE_NOT_CONNECTED},
        {STATUS_CANCELLED, ERROR_OPERATION_ABORTED},
        {STATUS_TIMEOUT, ERROR_TIMEOUT},
        {STATUS_IO_TIMEOUT, ERROR_SEM_TIMEOUT},
        {STATUS_UNSUCCESSFUL, ERROR_GEN_FAILURE},
        {STATUS_DEVICE_BUSY, ERROR_BUSY},
        {STATUS_BUFFER_TOO_SMALL, ERROR_INSUFFICIENT_BUFFER},
        {STATUS_BUFFER_OVERFLOW, ERROR_MORE_DATA},
        {STATUS_NOT_SUPPORTED, ERROR_NOT_SUPPORTED},
        {STATUS_PENDING, ERROR_IO_PENDING},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(NtStatusToWin32Error(c.status), c.error) << FormatNtStatus(c.status);
    }
    EXPECT_EQ(NtStatusToWin32Error(static_cast<NTSTATUS>(0xC0001234)), static_cast<DWORD>(ERROR_MR_MID_NOT_FOUND));
    EXPECT_EQ(NtStatusToWin32Error(static_cast<NTSTATUS>(0x80070020)), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
}

TEST(StatusTranslation, PrintsNameAndValue)
{
    EXPECT_EQ(FormatNtStatus(STATUS_DELETE_PENDING), "STATUS_DELETE_PENDING(0xc0000056)");
    EXPECT_EQ(FormatNtStatus(STATUS_PENDING), "STATUS_PENDING(0x103)");
    EXPECT_EQ(FormatNtStatus(static_cast<NTSTATUS>(0xC0001234)), "NTSTATUS(0xc0001234)");
    EXPECT_EQ(FormatWin32Error(ERROR_ACCESS_DENIED), "ERROR_ACCESS_DENIED(5)");
    EXPECT_EQ(FormatWin32Error(WAIT_TIMEOUT), "WAIT_TIMEOUT(258)");
    EXPECT_EQ(FormatWin32Error(99999), "ERROR(99999)");
    // Every translation lands on an error that has a name.
    for (NTSTATUS status : {STATUS_WMI_READ_ONLY, STATUS_DEVICE_DATA_ERROR, STATUS_POWER_STATE_INVALID,
                            STATUS_DEVICE_REMOVED, STATUS_ABANDONED, STATUS_REPARSE}) {
        EXPECT_NE(Win32ErrorName(NtStatusToWin32Error(status)), nullptr) << FormatNtStatus(status);
    }
}

}  // namespace
}  // namespace winsim
