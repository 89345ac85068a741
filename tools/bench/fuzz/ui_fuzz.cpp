// The bench's `ui` commands from anyone: with the test program running, the
// input is a series of lines, each run as `ui LINE`. Whatever the words
// (control names, item numbers or texts, keys, scroll parts, buttons, ids
// out of range, quotes left open), each command works or prints an error;
// none may crash, hang or trip the verifier.
//
// One bench machine serves every input: the test program is started for
// the input and ended after it, so every input begins at its first window.
#include <cstdint>
#include <sstream>
#include <string>
#include <string_view>

#include "bench_session.h"
#include "host_files.h"
#include "registry/registry_store.h"

namespace {

constexpr size_t kMaxLines = 16;

class UiBench {
public:
    UiBench() : session_(out_, bench::SessionOptions{}), registry_(winsim::registry::Store::Instance().Snapshot())
    {
    }

    void Run(std::string_view script)
    {
        session_.RunLine("testprogram start");
        for (size_t n = 0; n < kMaxLines && !script.empty(); ++n) {
            const size_t end = script.find('\n');
            const std::string_view line = script.substr(0, end);
            if (!bench::WritesHostFiles(line, true)) session_.RunLine("ui " + std::string(line));
            if (end == std::string_view::npos) break;
            script.remove_prefix(end + 1);
        }
        session_.Machine().Programs().EndAll();
        session_.Machine().RunUntilQuiet();
        winsim::registry::Store::Instance().Restore(registry_);
        out_.str({});
    }

private:
    std::ostringstream out_;
    bench::Session session_;
    winsim::registry::KeyRef registry_;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size > 2048) return 0;
    static UiBench bench;
    bench.Run(std::string_view(reinterpret_cast<const char*>(data), size));
    return 0;
}
