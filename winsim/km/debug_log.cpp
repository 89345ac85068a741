#include "km/debug_log.h"

#include <km_dbg.h>

#include <cstdarg>
#include <cstdio>
#include <mutex>
#include <string>

#include "verifier/verifier.h"

namespace winsim {

namespace {

// The log keeps the newest lines; a chatty driver must not grow it for ever.
constexpr size_t kMaxLines = 4096;

std::mutex g_lock;
std::vector<DebugLine> g_lines;
std::string g_partial;  // text of a line whose line feed has not come yet

void Append(ULONG component, ULONG level, const std::string& text)
{
    std::lock_guard<std::mutex> hold(g_lock);
    g_partial += text;
    for (size_t end = g_partial.find('\n'); end != std::string::npos; end = g_partial.find('\n')) {
        if (g_lines.size() == kMaxLines) g_lines.erase(g_lines.begin());
        g_lines.push_back({component, level, g_partial.substr(0, end)});
        g_partial.erase(0, end + 1);
    }
}

}  // namespace

std::vector<DebugLine> TakeDebugLog()
{
    std::lock_guard<std::mutex> hold(g_lock);
    std::vector<DebugLine> lines;
    lines.swap(g_lines);
    return lines;
}

}  // namespace winsim

extern "C" {

ULONG DbgPrintEx(ULONG componentId, ULONG level, PCSTR format, ...)
{
    va_list arguments;
    va_start(arguments, format);
    char text[512];
    std::vsnprintf(text, sizeof text, format, arguments);
    va_end(arguments);
    winsim::Append(componentId, level, text);
    return 0;  // STATUS_SUCCESS
}

VOID WinsimAssertionFailed(PCSTR expression, PCSTR file, ULONG line)
{
    char detail[512];
    std::snprintf(detail, sizeof detail, "NT_ASSERT(%s) at %s:%u", expression, file, static_cast<unsigned>(line));
    winsim::Verifier::Violation(winsim::ViolationCode::kAssertionFailure, "assertion failed", detail);
}

}  // extern "C"
