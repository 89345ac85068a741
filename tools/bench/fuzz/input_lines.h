// A fuzz input read as script lines, split at line feeds.
#pragma once

#include <cstddef>
#include <string_view>

namespace bench {

// Calls `run` with each line, at most `most` of them.
template <typename Run>
void ForEachLine(std::string_view text, size_t most, Run run)
{
    for (size_t n = 0; n < most && !text.empty(); ++n) {
        const size_t end = text.find('\n');
        run(text.substr(0, end));
        if (end == std::string_view::npos) break;
        text.remove_prefix(end + 1);
    }
}

}  // namespace bench
