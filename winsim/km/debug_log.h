// The machine's debug log: every DbgPrintEx line, in order, with its
// component and level, as a kernel debugger with every filter open shows it.
#pragma once

#include <ntdef.h>

#include <string>
#include <vector>

namespace winsim {

struct DebugLine {
    ULONG component;
    ULONG level;
    std::string text;  // without its line feed
};

// Hands out the lines logged since the last call, oldest first.
std::vector<DebugLine> TakeDebugLog();

}  // namespace winsim
