// The COM number list of the port mapping page: COM1 ... COM256, numbers in
// use marked and drawn in gray, never shown highlighted.
#pragma once

#include "assistant/app/com_port_usage.h"
#include "assistant/framework/list_controls.h"

class CMyComboBox : public fw::ComboBox {
public:
    // Item values: a free number, and one the database claims.
    static constexpr LPARAM kFree = 1;
    static constexpr LPARAM kInUse = 0;

    // All 256 numbers; selects position, or position 0 when it is not below 256.
    void Fill(const assistant::ComPortUsage& usage, unsigned position) const;
    // WM_DRAWITEM of the owner-drawn list.
    void DrawItem(const DRAWITEMSTRUCT& item) const;
};
