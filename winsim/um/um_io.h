// kernel32's one way of running a request on a file handle, for
// DeviceIoControl, ReadFile and WriteFile alike.
#pragma once

#include <windows.h>

#include "km/io_manager.h"

namespace winsim::um {

// Without an OVERLAPPED the request runs to its end (the handle must be a
// synchronous one, opened without FILE_FLAG_OVERLAPPED). With one, its
// Internal and InternalHigh are the request's status block, its hEvent is
// signalled at completion and its Offset is the byte offset; a request that
// stays pending returns FALSE with ERROR_IO_PENDING. *bytes, when given,
// receives the count of a request that ended without an error.
BOOL IssueHandleRequest(HANDLE handle, io::FileRequest request, LPDWORD bytes, LPOVERLAPPED overlapped);

}  // namespace winsim::um
