#include "assistant/app/status_log.h"

#include "assistant/app/status_line.h"

namespace assistant {

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
