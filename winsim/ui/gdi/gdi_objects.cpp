#include "ui/gdi/gdi_objects.h"

#include <cstring>
#include <map>
#include <mutex>

#include "ui/gdi/bitmaps.h"
#include "ui/gdi/brushes.h"
#include "ui/gdi/font_metrics.h"
#include "ui/program.h"

using namespace winsim::ui;

namespace {

enum class Kind { kFont, kDc };

struct GdiObject {
    Kind kind;
    Program* program;
    LOGFONTA font{};           // kFont
    HWND window = nullptr;     // kDc
    HGDIOBJ selectedFont = nullptr;
    COLORREF textColor = 0;
    COLORREF backColor = RGB(255, 255, 255);
    int backMode = OPAQUE;
};

struct GdiTable {
    std::mutex lock;
    std::map<HGDIOBJ, GdiObject> objects;
    ULONG_PTR next = 0x20010;
};

GdiTable& Table()
{
    static GdiTable table;
    return table;
}

// Stock objects live below the handles given out to programs.
constexpr ULONG_PTR kStockBase = 0x1000;
constexpr int kStockCount = 20;

bool IsStock(HGDIOBJ object)
{
    const auto value = reinterpret_cast<ULONG_PTR>(object);
    return value >= kStockBase && value < kStockBase + kStockCount;
}

LOGFONTA StockFont(HGDIOBJ object)
{
    LOGFONTA font{};
    const auto index = static_cast<int>(reinterpret_cast<ULONG_PTR>(object) - kStockBase);
    if (index == DEFAULT_GUI_FONT) {
        font.lfHeight = HeightForPoints(8);
        std::strcpy(font.lfFaceName, "MS Shell Dlg");
    } else if (index == ANSI_FIXED_FONT) {
        font.lfHeight = 16;
        font.lfWidth = 8;
        font.lfPitchAndFamily = FIXED_PITCH;
        std::strcpy(font.lfFaceName, "Courier");
    } else {
        font.lfHeight = 16;
        font.lfWidth = 8;
        font.lfWeight = FW_BOLD;
        std::strcpy(font.lfFaceName, "System");
    }
    return font;
}

HGDIOBJ Insert(GdiObject object)
{
    std::lock_guard<std::mutex> guard(Table().lock);
    auto handle = reinterpret_cast<HGDIOBJ>(Table().next);
    Table().next += 4;
    object.program->gdiObjects++;
    Table().objects.emplace(handle, object);
    return handle;
}

bool FontOf(HGDIOBJ object, LOGFONTA* out)
{
    if (IsStock(object)) {
        *out = StockFont(object);
        return true;
    }
    std::lock_guard<std::mutex> guard(Table().lock);
    auto it = Table().objects.find(object);
    if (it == Table().objects.end() || it->second.kind != Kind::kFont) return false;
    *out = it->second.font;
    return true;
}

// A DC's setting: its value, or `failed` for a handle that is no DC.
template <typename T>
T DcValue(HDC hdc, T GdiObject::*field, T failed)
{
    std::lock_guard<std::mutex> guard(Table().lock);
    auto it = Table().objects.find(hdc);
    if (it == Table().objects.end() || it->second.kind != Kind::kDc) return failed;
    return it->second.*field;
}

// Sets a DC's setting; the value it had, or `failed` for no DC.
template <typename T>
T SwapDcValue(HDC hdc, T GdiObject::*field, T value, T failed)
{
    std::lock_guard<std::mutex> guard(Table().lock);
    auto it = Table().objects.find(hdc);
    if (it == Table().objects.end() || it->second.kind != Kind::kDc) return failed;
    const T old = it->second.*field;
    it->second.*field = value;
    return old;
}

}  // namespace

namespace winsim::ui {

HDC CreateWindowDc(HWND hwnd)
{
    GdiObject dc{Kind::kDc, &CurrentProgram()};
    dc.window = hwnd;
    return static_cast<HDC>(Insert(dc));
}

bool DcStateOf(HDC dc, DcState* out)
{
    {
        std::lock_guard<std::mutex> guard(Table().lock);
        auto it = Table().objects.find(dc);
        if (it == Table().objects.end() || it->second.kind != Kind::kDc) return false;
        out->window = it->second.window;
        out->textColor = it->second.textColor;
    }
    return GetTextMetricsA(dc, &out->metrics) != FALSE;
}

int StockIndexOf(HGDIOBJ object)
{
    return IsStock(object) ? static_cast<int>(reinterpret_cast<ULONG_PTR>(object) - kStockBase) : -1;
}

bool ReleaseWindowDc(HDC dc)
{
    std::lock_guard<std::mutex> guard(Table().lock);
    auto it = Table().objects.find(dc);
    if (it == Table().objects.end() || it->second.kind != Kind::kDc) return false;
    it->second.program->gdiObjects--;
    Table().objects.erase(it);
    return true;
}

}  // namespace winsim::ui

extern "C" {

HFONT WINAPI CreateFontIndirectA(const LOGFONTA* lplf)
{
    if (lplf == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    GdiObject font{Kind::kFont, &CurrentProgram()};
    font.font = *lplf;
    font.font.lfFaceName[LF_FACESIZE - 1] = '\0';
    return static_cast<HFONT>(Insert(font));
}

HFONT WINAPI CreateFontA(int cHeight, int cWidth, int cEscapement, int cOrientation, int cWeight, DWORD bItalic,
                         DWORD bUnderline, DWORD bStrikeOut, DWORD iCharSet, DWORD iOutPrecision,
                         DWORD iClipPrecision, DWORD iQuality, DWORD iPitchAndFamily, LPCSTR pszFaceName)
{
    LOGFONTA font{};
    font.lfHeight = cHeight;
    font.lfWidth = cWidth;
    font.lfEscapement = cEscapement;
    font.lfOrientation = cOrientation;
    font.lfWeight = cWeight;
    font.lfItalic = static_cast<BYTE>(bItalic);
    font.lfUnderline = static_cast<BYTE>(bUnderline);
    font.lfStrikeOut = static_cast<BYTE>(bStrikeOut);
    font.lfCharSet = static_cast<BYTE>(iCharSet);
    font.lfOutPrecision = static_cast<BYTE>(iOutPrecision);
    font.lfClipPrecision = static_cast<BYTE>(iClipPrecision);
    font.lfQuality = static_cast<BYTE>(iQuality);
    font.lfPitchAndFamily = static_cast<BYTE>(iPitchAndFamily);
    if (pszFaceName != nullptr) std::strncpy(font.lfFaceName, pszFaceName, LF_FACESIZE - 1);
    return CreateFontIndirectA(&font);
}

HGDIOBJ WINAPI GetStockObject(int i)
{
    if (i < 0 || i >= kStockCount) return nullptr;
    return reinterpret_cast<HGDIOBJ>(kStockBase + static_cast<ULONG_PTR>(i));
}

BOOL WINAPI DeleteObject(HGDIOBJ ho)
{
    if (IsStock(ho) || IsSystemColorBrush(ho) || DeleteBitmap(ho)) return TRUE;
    std::lock_guard<std::mutex> guard(Table().lock);
    auto it = Table().objects.find(ho);
    if (it == Table().objects.end() || it->second.kind == Kind::kDc) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    it->second.program->gdiObjects--;
    Table().objects.erase(it);
    return TRUE;
}

int WINAPI GetObjectA(HANDLE h, int c, LPVOID pv)
{
    BITMAP bitmap;
    if (BitmapInfoOf(h, &bitmap)) {
        if (pv == nullptr) return sizeof(BITMAP);
        if (c < static_cast<int>(sizeof(BITMAP))) return 0;
        std::memcpy(pv, &bitmap, sizeof(bitmap));
        return sizeof(BITMAP);
    }
    LOGFONTA font;
    if (!FontOf(h, &font)) return 0;
    if (pv == nullptr) return sizeof(LOGFONTA);
    if (c < static_cast<int>(sizeof(LOGFONTA))) return 0;
    std::memcpy(pv, &font, sizeof(font));
    return sizeof(LOGFONTA);
}

HGDIOBJ WINAPI SelectObject(HDC hdc, HGDIOBJ h)
{
    LOGFONTA font;
    if (!FontOf(h, &font)) return nullptr;
    std::lock_guard<std::mutex> guard(Table().lock);
    auto it = Table().objects.find(hdc);
    if (it == Table().objects.end() || it->second.kind != Kind::kDc) return nullptr;
    HGDIOBJ old = it->second.selectedFont != nullptr ? it->second.selectedFont : GetStockObject(SYSTEM_FONT);
    it->second.selectedFont = h;
    return old;
}

BOOL WINAPI GetTextMetricsA(HDC hdc, LPTEXTMETRICA lptm)
{
    HGDIOBJ selected = nullptr;
    {
        std::lock_guard<std::mutex> guard(Table().lock);
        auto it = Table().objects.find(hdc);
        if (it == Table().objects.end() || it->second.kind != Kind::kDc) return FALSE;
        selected = it->second.selectedFont;
    }
    LOGFONTA font;
    if (selected == nullptr || !FontOf(selected, &font)) {
        *lptm = SystemFontMetrics();
        return TRUE;
    }
    *lptm = IsStock(selected) && selected == GetStockObject(SYSTEM_FONT) ? SystemFontMetrics() : MetricsOf(font);
    return TRUE;
}

BOOL WINAPI GetTextExtentPoint32A(HDC hdc, LPCSTR lpString, int c, LPSIZE psizl)
{
    TEXTMETRICA tm;
    if (!GetTextMetricsA(hdc, &tm)) return FALSE;
    psizl->cx = TextWidth(tm, std::string_view(lpString, static_cast<size_t>(c)));
    psizl->cy = tm.tmHeight;
    return TRUE;
}

COLORREF WINAPI SetTextColor(HDC hdc, COLORREF color)
{
    return SwapDcValue(hdc, &GdiObject::textColor, color, CLR_INVALID);
}

COLORREF WINAPI GetTextColor(HDC hdc)
{
    return DcValue(hdc, &GdiObject::textColor, CLR_INVALID);
}

COLORREF WINAPI SetBkColor(HDC hdc, COLORREF color)
{
    return SwapDcValue(hdc, &GdiObject::backColor, color, CLR_INVALID);
}

COLORREF WINAPI GetBkColor(HDC hdc)
{
    return DcValue(hdc, &GdiObject::backColor, CLR_INVALID);
}

int WINAPI SetBkMode(HDC hdc, int mode)
{
    return SwapDcValue(hdc, &GdiObject::backMode, mode, 0);
}

int WINAPI GetBkMode(HDC hdc)
{
    return DcValue(hdc, &GdiObject::backMode, 0);
}

int WINAPI GetDeviceCaps(HDC hdc, int index)
{
    return index == LOGPIXELSX || index == LOGPIXELSY ? 96 : 0;
}

}  // extern "C"
