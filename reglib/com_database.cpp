#include "com_database.h"

#include <stdio.h>

ComDatabaseSession::ComDatabaseSession() : msports_("msports.dll")
{
    if (!msports_.Loaded()) printf("Could not Load Library: msports.dll");
}

ComDatabaseSession::~ComDatabaseSession()
{
    if (handle_ == HCOMDB_INVALID_HANDLE_VALUE) return;
    if (CloseFunction* close = msports_.Resolve<CloseFunction>("ComDBClose")) close(handle_);
}

LONG ComDatabaseSession::Open(OpenFunction* open)
{
    HCOMDB handle = HCOMDB_INVALID_HANDLE_VALUE;
    const LONG result = open(&handle);
    if (result == ERROR_SUCCESS) handle_ = handle;
    return result;
}
