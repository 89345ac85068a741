// Bench lines no fuzz input runs: `ui screenshot FILE` writes the host's
// file system, and `throughput` streams megabytes through every port for
// seconds of virtual time (half a minute of host time a run, where a script
// otherwise takes milliseconds); its words are read by the same parsers as
// every other command's.
#pragma once

#include <string_view>

#include "bench_session.h"
#include "script_values.h"

namespace bench {

// The line is a whole script line, or with `uiWords` the words after `ui`.
// A line that does not split into words is the bench's to refuse.
inline bool NotRunUnderFuzzing(std::string_view line, bool uiWords)
{
    try {
        const Args words = SplitScriptLine(line);
        if (words.empty()) return false;
        if (uiWords) return words[0] == "screenshot";
        if (words[0] == "throughput") return true;
        return words[0] == "ui" && words.size() > 1 && words[1] == "screenshot";
    } catch (const CommandError&) {
        return false;
    }
}

}  // namespace bench
