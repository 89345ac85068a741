#include "ui/ui_events.h"

#include <mutex>

namespace winsim::ui {

namespace {

std::mutex g_lock;
std::vector<UiEvent> g_events;

}  // namespace

void ReportEvent(UiEvent event)
{
    std::lock_guard<std::mutex> guard(g_lock);
    g_events.push_back(std::move(event));
}

std::vector<UiEvent> TakeEvents()
{
    std::lock_guard<std::mutex> guard(g_lock);
    std::vector<UiEvent> taken;
    taken.swap(g_events);
    return taken;
}

}  // namespace winsim::ui
