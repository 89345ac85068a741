#include "ui/gdi/font_metrics.h"

#include <algorithm>

namespace winsim::ui {

namespace {

constexpr LONG kDefaultCellHeight = 13;

TEXTMETRICA Layout(LONG height, LONG leading, LONG width, LONG weight, BYTE italic, BYTE pitch)
{
    TEXTMETRICA tm{};
    tm.tmHeight = height;
    tm.tmInternalLeading = leading;
    tm.tmAscent = (height * 4 + 4) / 5;
    tm.tmDescent = height - tm.tmAscent;
    tm.tmAveCharWidth = width;
    tm.tmMaxCharWidth = width;
    tm.tmWeight = weight == FW_DONTCARE ? FW_NORMAL : weight;
    tm.tmDigitizedAspectX = 96;
    tm.tmDigitizedAspectY = 96;
    tm.tmFirstChar = 0x20;
    tm.tmLastChar = 0xFF;
    tm.tmDefaultChar = '?';
    tm.tmBreakChar = ' ';
    tm.tmItalic = italic;
    tm.tmPitchAndFamily = pitch;
    tm.tmCharSet = ANSI_CHARSET;
    return tm;
}

}  // namespace

TEXTMETRICA MetricsOf(const LOGFONTA& font)
{
    LONG height = kDefaultCellHeight;
    LONG leading = 2;
    if (font.lfHeight < 0) {
        leading = std::max<LONG>(1, -font.lfHeight / 5);
        height = -font.lfHeight + leading;
    } else if (font.lfHeight > 0) {
        height = font.lfHeight;
        leading = std::max<LONG>(1, height / 6);
    }
    const LONG width = font.lfWidth > 0 ? font.lfWidth : (height * 6 + 6) / 13;
    return Layout(height, leading, width, font.lfWeight, font.lfItalic, font.lfPitchAndFamily);
}

TEXTMETRICA SystemFontMetrics() { return Layout(16, 3, 8, FW_BOLD, 0, VARIABLE_PITCH); }

LONG HeightForPoints(int points) { return -((points * 96 + 36) / 72); }

LONG TextWidth(const TEXTMETRICA& metrics, std::string_view text)
{
    return static_cast<LONG>(text.size()) * metrics.tmAveCharWidth;
}

}  // namespace winsim::ui
