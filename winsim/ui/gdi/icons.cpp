#include "ui/gdi/icons.h"

#include <cctype>
#include <map>
#include <mutex>
#include <string>
#include <tuple>

#include "ui/program.h"
#include "ui/resources/module_resources.h"

using namespace winsim::ui;

namespace {

constexpr int kIconSize = 32;  // LoadIcon's size, SM_CXICON by SM_CYICON
constexpr WORD kFirstSystemIcon = 32512;
constexpr WORD kLastSystemIcon = 32517;
constexpr ULONG_PTR kSystemIconBase = 0x3000;

struct Icon {
    Program* program;
    int width;
    int height;
};

using SharedKey = std::tuple<Program*, HMODULE, std::string>;

struct IconTable {
    std::mutex lock;
    std::map<HICON, Icon> icons;
    std::map<SharedKey, HICON> shared;
    ULONG_PTR next = 0x30010;
};

IconTable& Table()
{
    static IconTable table;
    return table;
}

bool IsSystemIcon(HICON icon)
{
    const auto value = reinterpret_cast<ULONG_PTR>(icon);
    return value >= kSystemIconBase + kFirstSystemIcon && value <= kSystemIconBase + kLastSystemIcon;
}

std::string KeyOf(LPCSTR name)
{
    if (IS_INTRESOURCE(name)) return "#" + std::to_string(reinterpret_cast<ULONG_PTR>(name));
    std::string key = name;
    for (char& c : key) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return key;
}

}  // namespace

namespace winsim::ui {

bool IconSize(HICON icon, int* cx, int* cy)
{
    if (IsSystemIcon(icon)) {
        *cx = *cy = kIconSize;
        return true;
    }
    std::lock_guard<std::mutex> guard(Table().lock);
    auto it = Table().icons.find(icon);
    if (it == Table().icons.end()) return false;
    *cx = it->second.width;
    *cy = it->second.height;
    return true;
}

void ReleaseProgramIcons(Program& program)
{
    std::lock_guard<std::mutex> guard(Table().lock);
    for (auto it = Table().shared.begin(); it != Table().shared.end();) {
        if (std::get<0>(it->first) != &program) {
            ++it;
            continue;
        }
        Table().icons.erase(it->second);
        program.userObjects--;
        it = Table().shared.erase(it);
    }
}

}  // namespace winsim::ui

extern "C" {

HICON WINAPI LoadIconA(HINSTANCE hInstance, LPCSTR lpIconName)
{
    if (lpIconName == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    if (hInstance == nullptr) {
        const auto id = reinterpret_cast<ULONG_PTR>(lpIconName);
        if (!IS_INTRESOURCE(lpIconName) || id < kFirstSystemIcon || id > kLastSystemIcon) {
            SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
            return nullptr;
        }
        return reinterpret_cast<HICON>(kSystemIconBase + id);
    }
    Program* program = &CurrentProgram();
    const SharedKey key{program, hInstance, KeyOf(lpIconName)};
    {
        std::lock_guard<std::mutex> guard(Table().lock);
        auto found = Table().shared.find(key);
        if (found != Table().shared.end()) return found->second;
    }
    auto image = resources::LoadIconImage(hInstance, lpIconName, kIconSize, kIconSize);
    if (!image) {
        SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
        return nullptr;
    }
    std::lock_guard<std::mutex> guard(Table().lock);
    auto [found, added] = Table().shared.emplace(key, nullptr);
    if (!added) return found->second;  // another thread of the program loaded it meanwhile
    auto icon = reinterpret_cast<HICON>(Table().next);
    Table().next += 4;
    Table().icons.emplace(icon, Icon{program, image->width, image->height});
    found->second = icon;
    program->userObjects++;
    return icon;
}

// Shared icons stay until their program ends, as LoadIcon's do on Windows.
BOOL WINAPI DestroyIcon(HICON hIcon)
{
    int cx = 0;
    int cy = 0;
    if (!IconSize(hIcon, &cx, &cy)) {
        SetLastError(ERROR_INVALID_ICON_HANDLE);
        return FALSE;
    }
    return TRUE;
}

}  // extern "C"
