#include "ui/gdi/icons.h"

#include <cctype>
#include <map>
#include <mutex>
#include <string>
#include <tuple>
#include <utility>

#include "ui/program.h"
#include "ui/resources/module_resources.h"

using namespace winsim::ui;

namespace {

constexpr int kIconSize = 32;  // LoadIcon's and LoadCursor's size, SM_CXICON by SM_CYICON
constexpr WORD kFirstSystemIcon = 32512;
constexpr WORD kLastSystemIcon = 32517;
constexpr ULONG_PTR kSystemIconBase = 0x3000;
// The system's cursors (IDC_ARROW to IDC_HELP) at handles of their own.
constexpr WORD kSystemCursors[] = {32512, 32513, 32514, 32515, 32516, 32642, 32643,
                                   32644, 32645, 32646, 32648, 32649, 32650, 32651};
constexpr ULONG_PTR kSystemCursorBase = 0x10000;

bool IsSystemCursorId(ULONG_PTR id)
{
    for (WORD system : kSystemCursors) {
        if (system == id) return true;
    }
    return false;
}

enum class Kind { kIcon, kCursor };

struct Icon {
    Program* program;
    int width;
    int height;
    bool shared;
    std::shared_ptr<const IconPixels> pixels;  // copies share them
};

using SharedKey = std::tuple<Program*, HMODULE, std::string, Kind>;

struct IconTable {
    std::mutex lock;
    std::map<HICON, Icon> icons;
    std::map<SharedKey, HICON> shared;
    ULONG_PTR next = 0x30010;
};

// What SetCursor last showed; each thread's input state keeps its own.
thread_local HCURSOR t_current = nullptr;

IconTable& Table()
{
    static IconTable table;
    return table;
}

bool IsSystemIcon(HICON icon)
{
    const auto value = reinterpret_cast<ULONG_PTR>(icon);
    return (value >= kSystemIconBase + kFirstSystemIcon && value <= kSystemIconBase + kLastSystemIcon) ||
           (value > kSystemCursorBase && IsSystemCursorId(value - kSystemCursorBase));
}

std::string KeyOf(LPCSTR name)
{
    if (IS_INTRESOURCE(name)) return "#" + std::to_string(reinterpret_cast<ULONG_PTR>(name));
    std::string key = name;
    for (char& c : key) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return key;
}

std::shared_ptr<const IconPixels> PixelsFrom(const resources::IconImage& image)
{
    if (image.pixels.empty()) return nullptr;
    return std::make_shared<const IconPixels>(IconPixels{image.width, image.height, image.pixels});
}

// Lock held.
HICON AddLocked(Program* program, int width, int height, bool shared, std::shared_ptr<const IconPixels> pixels)
{
    auto icon = reinterpret_cast<HICON>(Table().next);
    Table().next += 4;
    Table().icons.emplace(icon, Icon{program, width, height, shared, std::move(pixels)});
    program->userObjects++;
    return icon;
}

HICON SystemObject(LPCSTR name, Kind kind)
{
    const auto id = reinterpret_cast<ULONG_PTR>(name);
    const bool known =
        kind == Kind::kIcon ? id >= kFirstSystemIcon && id <= kLastSystemIcon : IsSystemCursorId(id);
    if (!IS_INTRESOURCE(name) || !known) {
        SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
        return nullptr;
    }
    return reinterpret_cast<HICON>((kind == Kind::kIcon ? kSystemIconBase : kSystemCursorBase) + id);
}

resources::Parsed<resources::IconImage> ImageOf(HINSTANCE module, LPCSTR name, Kind kind, int cx, int cy)
{
    return kind == Kind::kIcon ? resources::LoadIconImage(module, name, cx, cy)
                               : resources::LoadCursorImage(module, name);
}

// LoadIcon and LoadCursor: one object per program, module and name.
HICON LoadShared(HINSTANCE hInstance, LPCSTR name, Kind kind)
{
    if (name == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    if (hInstance == nullptr) return SystemObject(name, kind);
    Program* program = &CurrentProgram();
    const SharedKey key{program, hInstance, KeyOf(name), kind};
    {
        std::lock_guard<std::mutex> guard(Table().lock);
        auto found = Table().shared.find(key);
        if (found != Table().shared.end()) return found->second;
    }
    auto image = ImageOf(hInstance, name, kind, kIconSize, kIconSize);
    if (!image) {
        SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
        return nullptr;
    }
    std::lock_guard<std::mutex> guard(Table().lock);
    auto [found, added] = Table().shared.emplace(key, nullptr);
    if (!added) return found->second;  // another thread of the program loaded it meanwhile
    found->second = AddLocked(program, image->width, image->height, true, PixelsFrom(*image));
    return found->second;
}

// Shared objects stay until their program ends, as LoadIcon's do on Windows.
BOOL Destroy(HICON icon)
{
    std::lock_guard<std::mutex> guard(Table().lock);
    if (IsSystemIcon(icon)) return TRUE;
    auto it = Table().icons.find(icon);
    if (it == Table().icons.end()) {
        SetLastError(ERROR_INVALID_ICON_HANDLE);
        return FALSE;
    }
    if (it->second.shared) return TRUE;
    it->second.program->userObjects--;
    if (t_current == icon) t_current = nullptr;
    Table().icons.erase(it);
    return TRUE;
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

std::shared_ptr<const IconPixels> PixelsOf(HICON icon)
{
    std::lock_guard<std::mutex> guard(Table().lock);
    auto it = Table().icons.find(icon);
    return it != Table().icons.end() ? it->second.pixels : nullptr;
}

// What the program still holds goes with it, shared or its own.
void ReleaseProgramIcons(Program& program)
{
    std::lock_guard<std::mutex> guard(Table().lock);
    for (auto it = Table().shared.begin(); it != Table().shared.end();) {
        it = std::get<0>(it->first) == &program ? Table().shared.erase(it) : std::next(it);
    }
    for (auto it = Table().icons.begin(); it != Table().icons.end();) {
        if (it->second.program != &program) {
            ++it;
            continue;
        }
        program.userObjects--;
        it = Table().icons.erase(it);
    }
}

}  // namespace winsim::ui

extern "C" {

HICON WINAPI LoadIconA(HINSTANCE hInstance, LPCSTR lpIconName) { return LoadShared(hInstance, lpIconName, Kind::kIcon); }

HCURSOR WINAPI LoadCursorA(HINSTANCE hInstance, LPCSTR lpCursorName)
{
    return LoadShared(hInstance, lpCursorName, Kind::kCursor);
}

// IMAGE_ICON and IMAGE_CURSOR from a module; LR_SHARED gives LoadIcon's and
// LoadCursor's shared object, otherwise the program owns a new one of the
// size asked for (0: the system's size with LR_DEFAULTSIZE, else the image's).
HANDLE WINAPI LoadImageA(HINSTANCE hInst, LPCSTR name, UINT type, int cx, int cy, UINT fuLoad)
{
    if (type != IMAGE_ICON && type != IMAGE_CURSOR) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    const Kind kind = type == IMAGE_ICON ? Kind::kIcon : Kind::kCursor;
    if ((fuLoad & LR_SHARED) != 0 || hInst == nullptr) return LoadShared(hInst, name, kind);
    if (name == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    const int wantX = cx != 0 ? cx : ((fuLoad & LR_DEFAULTSIZE) != 0 ? kIconSize : 0);
    const int wantY = cy != 0 ? cy : ((fuLoad & LR_DEFAULTSIZE) != 0 ? kIconSize : 0);
    auto image = ImageOf(hInst, name, kind, wantX != 0 ? wantX : kIconSize, wantY != 0 ? wantY : kIconSize);
    if (!image) {
        SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
        return nullptr;
    }
    std::lock_guard<std::mutex> guard(Table().lock);
    const int width = wantX != 0 ? wantX : image->width;
    const int height = wantY != 0 ? wantY : image->height;
    return AddLocked(&CurrentProgram(), width, height, false, PixelsFrom(*image));
}

HICON WINAPI CopyIcon(HICON hIcon)
{
    int cx = 0;
    int cy = 0;
    if (!IconSize(hIcon, &cx, &cy)) {
        SetLastError(ERROR_INVALID_CURSOR_HANDLE);
        return nullptr;
    }
    std::shared_ptr<const IconPixels> pixels = PixelsOf(hIcon);
    std::lock_guard<std::mutex> guard(Table().lock);
    return AddLocked(&CurrentProgram(), cx, cy, false, std::move(pixels));
}

BOOL WINAPI DestroyIcon(HICON hIcon) { return Destroy(hIcon); }

BOOL WINAPI DestroyCursor(HCURSOR hCursor) { return Destroy(hCursor); }

HCURSOR WINAPI SetCursor(HCURSOR hCursor)
{
    int cx = 0;
    int cy = 0;
    if (hCursor != nullptr && !IconSize(hCursor, &cx, &cy)) {
        SetLastError(ERROR_INVALID_CURSOR_HANDLE);
        return nullptr;
    }
    return std::exchange(t_current, hCursor);
}

HCURSOR WINAPI GetCursor(void) { return t_current; }

}  // extern "C"
