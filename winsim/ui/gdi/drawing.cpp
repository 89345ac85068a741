// Text and shapes drawn through a window's DC go into its display list, laid
// out with the fixed font metrics: every character one average width wide,
// tabs to the next tab stop.
#include <algorithm>
#include <string>
#include <string_view>

#include "ui/gdi/brushes.h"
#include "ui/gdi/display_list.h"
#include "ui/gdi/gdi_objects.h"

using namespace winsim::ui;

namespace {

constexpr int kDefaultTabChars = 8;

std::string_view TextOf(LPCSTR text, int count)
{
    if (text == nullptr) return {};
    return count < 0 ? std::string_view(text) : std::string_view(text, static_cast<size_t>(count));
}

void RecordText(const DcState& dc, int x, int y, std::string_view text)
{
    const LONG width = static_cast<LONG>(text.size()) * dc.metrics.tmAveCharWidth;
    Record(dc.window, DisplayItem{DisplayItem::Kind::kText, RECT{x, y, x + width, y + dc.metrics.tmHeight},
                                  std::string(text), dc.textColor, nullptr});
}

// The x of the next tab stop after `x` (pixels from `origin`).
int NextStop(int x, int origin, int count, const int* stops, int charWidth)
{
    const int relative = x - origin;
    if (count <= 0 || stops == nullptr) {
        const int every = kDefaultTabChars * charWidth;
        return origin + (relative / every + 1) * every;
    }
    for (int i = 0; i < count; ++i) {
        if (stops[i] > relative) return origin + stops[i];
    }
    // Beyond the last stop, the stops repeat at the last one's spacing when
    // only one was given, else every default width.
    const int every = count == 1 && stops[0] > 0 ? stops[0] : kDefaultTabChars * charWidth;
    return origin + (relative / every + 1) * every;
}

// Draws text with tabs expanded; the width it took.
int DrawTabbed(const DcState& dc, int x, int y, std::string_view text, int count, const int* stops, int origin)
{
    int at = x;
    size_t start = 0;
    while (start <= text.size()) {
        const size_t tab = text.find('\t', start);
        const std::string_view piece = text.substr(start, tab == std::string_view::npos ? std::string_view::npos
                                                                                          : tab - start);
        if (!piece.empty()) RecordText(dc, at, y, piece);
        at += static_cast<int>(piece.size()) * dc.metrics.tmAveCharWidth;
        if (tab == std::string_view::npos) break;
        at = NextStop(at, origin, count, stops, dc.metrics.tmAveCharWidth);
        start = tab + 1;
    }
    return at - x;
}

// What DrawText shows of a text with mnemonic prefixes: "&x" is an
// underlined x (drawn as x here), "&&" one ampersand.
std::string WithoutPrefixes(std::string_view text)
{
    std::string shown;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '&' && i + 1 < text.size()) ++i;
        else if (text[i] == '&') continue;
        shown += text[i];
    }
    return shown;
}

}  // namespace

extern "C" {

BOOL WINAPI TextOutA(HDC hdc, int x, int y, LPCSTR lpString, int c)
{
    DcState dc;
    if (!DcStateOf(hdc, &dc)) return FALSE;
    RecordText(dc, x, y, TextOf(lpString, c));
    return TRUE;
}

LONG WINAPI TabbedTextOutA(HDC hdc, int x, int y, LPCSTR lpString, int chCount, int nTabPositions,
                           const int* lpnTabStopPositions, int nTabOrigin)
{
    DcState dc;
    if (!DcStateOf(hdc, &dc)) return 0;
    const int width =
        DrawTabbed(dc, x, y, TextOf(lpString, chCount), nTabPositions, lpnTabStopPositions, nTabOrigin);
    return MAKELONG(width, dc.metrics.tmHeight);
}

int WINAPI DrawTextA(HDC hdc, LPCSTR lpchText, int cchText, LPRECT lprc, UINT format)
{
    DcState dc;
    if (!DcStateOf(hdc, &dc)) return 0;
    const std::string unprefixed = (format & DT_NOPREFIX) ? std::string() : WithoutPrefixes(TextOf(lpchText, cchText));
    const std::string_view text = (format & DT_NOPREFIX) ? TextOf(lpchText, cchText) : std::string_view(unprefixed);
    // Lines break at line feeds (and, with DT_WORDBREAK, at blanks before the
    // right edge); DT_SINGLELINE keeps one line.
    std::vector<std::string_view> lines;
    const int perLine = std::max<int>(1, (lprc->right - lprc->left) / std::max<LONG>(1, dc.metrics.tmAveCharWidth));
    size_t start = 0;
    while (start <= text.size()) {
        size_t end = (format & DT_SINGLELINE) ? text.size() : text.find('\n', start);
        if (end == std::string_view::npos) end = text.size();
        std::string_view line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        while ((format & DT_WORDBREAK) && static_cast<int>(line.size()) > perLine) {
            size_t cut = line.rfind(' ', static_cast<size_t>(perLine));
            if (cut == std::string_view::npos || cut == 0) cut = static_cast<size_t>(perLine);
            lines.push_back(line.substr(0, cut));
            line.remove_prefix(std::min(line.size(), cut + (line[cut] == ' ' ? 1 : 0)));
        }
        lines.push_back(line);
        start = end + 1;
    }
    const int height = static_cast<int>(lines.size()) * dc.metrics.tmHeight;
    if (format & DT_CALCRECT) {
        size_t widest = 0;
        for (std::string_view line : lines) widest = std::max(widest, line.size());
        lprc->right = lprc->left + static_cast<LONG>(widest) * dc.metrics.tmAveCharWidth;
        lprc->bottom = lprc->top + height;
        return height;
    }
    int y = lprc->top;
    if ((format & DT_SINGLELINE) && (format & DT_VCENTER)) y = (lprc->top + lprc->bottom - dc.metrics.tmHeight) / 2;
    for (std::string_view line : lines) {
        const int width = static_cast<int>(line.size()) * dc.metrics.tmAveCharWidth;
        int x = lprc->left;
        if (format & DT_CENTER) x = (lprc->left + lprc->right - width) / 2;
        if (format & DT_RIGHT) x = lprc->right - width;
        if (format & DT_EXPANDTABS) {
            DrawTabbed(dc, x, y, line, 0, nullptr, x);
        } else {
            RecordText(dc, x, y, line);
        }
        y += dc.metrics.tmHeight;
    }
    return height;
}

int WINAPI FillRect(HDC hDC, const RECT* lprc, HBRUSH hbr)
{
    DcState dc;
    if (!DcStateOf(hDC, &dc)) return 0;
    COLORREF color;
    if (BrushColor(hbr, &color)) {
        Record(dc.window, DisplayItem{DisplayItem::Kind::kFill, *lprc, "", color, nullptr});
    } else if (StockIndexOf(hbr) != NULL_BRUSH) {
        return 0;
    }
    return 1;
}

BOOL WINAPI DrawIcon(HDC hDC, int X, int Y, HICON hIcon)
{
    DcState dc;
    if (!DcStateOf(hDC, &dc) || hIcon == nullptr) return FALSE;
    const int size = GetSystemMetrics(SM_CXICON);
    Record(dc.window, DisplayItem{DisplayItem::Kind::kIcon, RECT{X, Y, X + size, Y + size}, "", 0, hIcon});
    return TRUE;
}

DWORD WINAPI GetSysColor(int nIndex)
{
    switch (nIndex) {
    case COLOR_WINDOWTEXT:
    case COLOR_BTNTEXT: return RGB(0, 0, 0);
    case COLOR_HIGHLIGHT: return RGB(0, 120, 215);
    case COLOR_GRAYTEXT: return RGB(109, 109, 109);
    case COLOR_BTNFACE: return RGB(240, 240, 240);
    case COLOR_APPWORKSPACE: return RGB(171, 171, 171);
    default: return RGB(255, 255, 255);
    }
}

BOOL WINAPI Rectangle(HDC hdc, int left, int top, int right, int bottom)
{
    DcState dc;
    if (!DcStateOf(hdc, &dc)) return FALSE;
    Record(dc.window, DisplayItem{DisplayItem::Kind::kRectangle, RECT{left, top, right, bottom}, "", 0, nullptr});
    return TRUE;
}

}  // extern "C"
