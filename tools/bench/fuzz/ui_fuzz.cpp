// The bench's `ui` commands from anyone: with the test program running, the
// input is a series of lines, each run as `ui LINE`. Whatever the words
// (control names, item numbers or texts, keys, scroll parts, buttons, ids
// out of range, quotes left open), each command works or prints an error;
// none may crash, hang or trip the verifier.
//
// One bench machine serves every input: the test program is started for
// the input and ended after it, so every input begins at its first window.
#include <cstdint>
#include <string>
#include <string_view>

#include "input_lines.h"
#include "lines_not_run.h"
#include "reused_session.h"
#include "tools/fuzz/shared_machine_flags.h"

namespace {

constexpr size_t kMaxLines = 16;

void RunUiLines(bench::ReusedSession& reused, std::string_view script)
{
    bench::Session& session = reused.Bench();
    session.RunLine("testprogram start");
    bench::ForEachLine(script, kMaxLines, [&](std::string_view line) {
        if (!bench::NotRunUnderFuzzing(line, true)) session.RunLine("ui " + std::string(line));
    });
    session.Machine().Programs().EndAll();
    session.Machine().RunUntilQuiet();
    reused.Reset();
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    qtr_fuzz::UseSharedMachineFlags(argc, argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size > 2048) return 0;
    static bench::ReusedSession reused;
    RunUiLines(reused, std::string_view(reinterpret_cast<const char*>(data), size));
    return 0;
}
