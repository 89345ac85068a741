#include "assistant/app/module_date.h"

#include "assistant/app/text_format.h"

namespace assistant {

std::string ModuleDateText(const SYSTEMTIME& local)
{
    int hour = local.wHour;
    const char* half = hour >= 12 ? "PM" : "AM";
    if (hour > 12) {
        hour -= 12;
    }
    return Format("%02d/%02d/%04d %02d:%02d %s", local.wMonth, local.wDay, local.wYear, hour, local.wMinute, half);
}

}  // namespace assistant
