// The COM-port database of the ports class installer, reached through
// msports.dll loaded by name for the length of one call.
#pragma once

#include "system_library.h"

class ComDatabaseSession {
public:
    typedef LONG(WINAPI OpenFunction)(HCOMDB*);
    typedef LONG(WINAPI CloseFunction)(HCOMDB);

    // Loads msports.dll; prints the library's diagnostic when it cannot.
    ComDatabaseSession();
    // Closes the database if it was opened, then releases the module.
    ~ComDatabaseSession();
    ComDatabaseSession(const ComDatabaseSession&) = delete;
    ComDatabaseSession& operator=(const ComDatabaseSession&) = delete;

    bool Loaded() const { return msports_.Loaded(); }
    template <typename Function>
    Function* Resolve(const char* exportName) const
    {
        return msports_.Resolve<Function>(exportName);
    }
    // Opens the database through the resolved ComDBOpen; its result.
    LONG Open(OpenFunction* open);
    HCOMDB Handle() const { return handle_; }

private:
    SystemLibrary msports_;
    HCOMDB handle_ = HCOMDB_INVALID_HANDLE_VALUE;
};
