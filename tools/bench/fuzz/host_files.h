// Bench lines that write the host's file system, which no fuzz input may
// touch: `ui screenshot FILE`.
#pragma once

#include <string_view>

#include "bench_session.h"
#include "script_values.h"

namespace bench {

// The line is a whole script line, or with `uiWords` the words after `ui`.
// A line that does not split into words is the bench's to refuse.
inline bool WritesHostFiles(std::string_view line, bool uiWords)
{
    try {
        const Args words = SplitScriptLine(line);
        const size_t first = uiWords ? 0 : 1;
        if (!uiWords && (words.empty() || words[0] != "ui")) return false;
        return words.size() > first && words[first] == "screenshot";
    } catch (const CommandError&) {
        return false;
    }
}

}  // namespace bench
