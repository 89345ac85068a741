#include "ui/gdi/display_list.h"

#include <map>
#include <mutex>

namespace winsim::ui {

namespace {

std::mutex g_lock;
std::map<HWND, std::vector<DisplayItem>>& Lists()
{
    static std::map<HWND, std::vector<DisplayItem>> lists;
    return lists;
}

}  // namespace

std::vector<DisplayItem> DisplayListOf(HWND hwnd)
{
    std::lock_guard<std::mutex> guard(g_lock);
    auto it = Lists().find(hwnd);
    return it == Lists().end() ? std::vector<DisplayItem>{} : it->second;
}

void StartDisplayList(HWND hwnd)
{
    std::lock_guard<std::mutex> guard(g_lock);
    Lists()[hwnd].clear();
}

void ForgetDisplayList(HWND hwnd)
{
    std::lock_guard<std::mutex> guard(g_lock);
    Lists().erase(hwnd);
}

void Record(HWND hwnd, DisplayItem item)
{
    std::lock_guard<std::mutex> guard(g_lock);
    Lists()[hwnd].push_back(std::move(item));
}

}  // namespace winsim::ui
