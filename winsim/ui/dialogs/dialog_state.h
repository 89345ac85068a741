// What the dialog manager keeps for a dialog beyond its DWLP_ slots.
#pragma once

#include <windows.h>

namespace winsim::ui {

struct DialogState {
    HFONT font = nullptr;
    bool ownsFont = false;  // created from the template, deleted with the dialog
    LONG baseUnitX = 0;     // pixels per 4 horizontal dialog units
    LONG baseUnitY = 0;     // pixels per 8 vertical dialog units
    bool modal = false;
    bool ended = false;
    INT_PTR result = 0;
    HWND owner = nullptr;   // disabled while a modal dialog runs
    HWND lastFocus = nullptr;
    WORD defaultId = IDOK;
};

// Dialog units to pixels as Windows converts them (MulDiv): rounded half
// away from zero, so a control at y=27 with 13-pixel base units is at 44.
inline LONG DialogUnitsToPixels(int units, LONG baseUnit, int divisor)
{
    const LONG product = units * baseUnit;
    return product >= 0 ? (product + divisor / 2) / divisor : -((-product + divisor / 2) / divisor);
}

}  // namespace winsim::ui
