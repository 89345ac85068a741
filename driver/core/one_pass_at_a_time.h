// Work that must never run twice at once for the same object, yet may be
// asked for from several threads at up to DISPATCH_LEVEL: a caller that finds
// it running leaves a request for one more pass, which the runner makes
// before it leaves. No lock, so no caller ever waits.
#pragma once

#include "kernel.h"

// Returns true for the caller that ran the passes, false for one whose
// request the running caller takes over.
template <typename Pass>
bool RunOnePassAtATime(LONG* requests, Pass pass)
{
    if (InterlockedIncrement(requests) != 1) return false;
    for (;;) {
        pass();
        // 1 means nobody asked during the pass: leave.
        if (InterlockedCompareExchange(requests, 0, 1) == 1) return true;
        // Others asked: their requests collapse into one more pass. Only the
        // runner lowers the count, so it never reaches 0 meanwhile and no
        // second runner can start.
        InterlockedExchange(requests, 1);
    }
}
