#include "assistant/app/status_line.h"

#include "assistant/app/text_format.h"

namespace assistant {

namespace {
constexpr size_t kLineBuffer = 400;  // bytes, the terminating zero included
}

std::string StampedLine(const SYSTEMTIME& now, const std::string& text)
{
    std::string line = Format("%02d:%02d:%02d -- %s", now.wHour, now.wMinute, now.wSecond, text.c_str());
    if (line.size() > kLineBuffer - 1) {
        line.resize(kLineBuffer - 1);
    }
    return line;
}

}  // namespace assistant
