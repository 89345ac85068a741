#include "assistant/app/status_log.h"

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

void StatusLogList::AppendStatusLine(const std::string& text)
{
    if (lines_ == kStatusLogLines) {
        list_.Delete(0);
    } else {
        ++lines_;
    }
    SYSTEMTIME now{};
    GetLocalTime(&now);
    list_.Add(StampedLine(now, text));
    list_.FitHorizontalExtent();
    list_.SetTopLine(lines_ - 1);
}

void StatusLogList::Clear()
{
    list_.Reset();
    list_.Send(LB_SETHORIZONTALEXTENT, 0);
    lines_ = 0;
}

}  // namespace assistant
