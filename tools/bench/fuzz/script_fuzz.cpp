// Bench scripts from anyone: the input is a script, run line by line as
// --keep-going runs it. Every line either works or prints an error; none
// may crash, hang or trip the verifier. A script may change anything on the
// machine, so each one gets a freshly booted bench machine.
#include <cstdint>
#include <sstream>
#include <string>
#include <string_view>

#include "bench_session.h"
#include "host_files.h"
#include "input_lines.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size > 2048) return 0;
    std::ostringstream out;
    bench::Session session(out, bench::SessionOptions{});
    const std::string_view script(reinterpret_cast<const char*>(data), size);
    bench::ForEachLine(script, size, [&](std::string_view line) {
        if (!bench::WritesHostFiles(line, false)) session.RunLine(line);
    });
    return 0;
}
