#include "assistant/framework/list_controls.h"

#include <algorithm>

namespace fw {

int ListBox::Add(const std::string& text) const
{
    return static_cast<int>(Send(LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str())));
}

int ListBox::Insert(int index, const std::string& text) const
{
    return static_cast<int>(
        Send(LB_INSERTSTRING, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(text.c_str())));
}

std::string ListBox::ItemText(int index) const
{
    const LRESULT length = Send(LB_GETTEXTLEN, static_cast<WPARAM>(index));
    if (length == LB_ERR) {
        return {};
    }
    std::string text(static_cast<size_t>(length) + 1, '\0');
    const LRESULT copied = Send(LB_GETTEXT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(text.data()));
    text.resize(copied > 0 ? static_cast<size_t>(copied) : 0);
    return text;
}

void ListBox::SetItemValue(int index, LPARAM value) const
{
    Send(LB_SETITEMDATA, static_cast<WPARAM>(index), value);
}

void ListBox::SetTabStops(const std::vector<int>& stops) const
{
    std::vector<INT> units(stops.begin(), stops.end());
    Send(LB_SETTABSTOPS, units.size(), reinterpret_cast<LPARAM>(units.data()));
}

void ListBox::FitHorizontalExtent() const
{
    HDC dc = GetDC(Handle());
    // Measure with the font the list draws with, not the DC's default.
    HGDIOBJ previous = SelectObject(dc, reinterpret_cast<HGDIOBJ>(Send(WM_GETFONT)));
    LONG widest = 0;
    const int count = Count();
    for (int i = 0; i < count; ++i) {
        const std::string text = ItemText(i);
        SIZE size{};
        GetTextExtentPoint32A(dc, text.c_str(), static_cast<int>(text.size()), &size);
        widest = std::max(widest, size.cx);
    }
    SelectObject(dc, previous);
    ReleaseDC(Handle(), dc);
    Send(LB_SETHORIZONTALEXTENT, static_cast<WPARAM>(widest));
}

int ComboBox::Add(const std::string& text) const
{
    return static_cast<int>(Send(CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str())));
}

std::string ComboBox::ItemText(int index) const
{
    const LRESULT length = Send(CB_GETLBTEXTLEN, static_cast<WPARAM>(index));
    if (length == CB_ERR) {
        return {};
    }
    std::string text(static_cast<size_t>(length) + 1, '\0');
    const LRESULT copied =
        Send(CB_GETLBTEXT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(text.data()));
    text.resize(copied > 0 ? static_cast<size_t>(copied) : 0);
    return text;
}

void ComboBox::SetItemValue(int index, LPARAM value) const
{
    Send(CB_SETITEMDATA, static_cast<WPARAM>(index), value);
}

int ComboBox::Find(const std::string& text) const
{
    return static_cast<int>(Send(CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(text.c_str())));
}

}  // namespace fw
