// What a library writes to the process's standard output during one call,
// caught and printed as `libout "TEXT"` lines.
#pragma once

#include <functional>
#include <ostream>

namespace bench {

// Runs call with standard output (file descriptor 1) going to a file of its
// own, then prints each line written, the last one also without a line feed.
void RunCapturingOutput(std::ostream& out, const std::function<void()>& call);

}  // namespace bench
