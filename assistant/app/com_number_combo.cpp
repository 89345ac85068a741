#include "assistant/app/com_number_combo.h"

#include "assistant/app/text_format.h"

void CMyComboBox::Fill(const assistant::ComPortUsage& usage, unsigned position) const
{
    Reset();
    for (int comNumber = 1; comNumber <= assistant::kComNumbers; ++comNumber) {
        const bool inUse = usage.Claimed(comNumber);
        const int index = Add(assistant::Format("COM%d%s", comNumber, inUse ? " (in use)" : ""));
        SetItemValue(index, inUse ? kInUse : kFree);
    }
    Select(position < static_cast<unsigned>(assistant::kComNumbers) ? static_cast<int>(position) : 0);
}

void CMyComboBox::DrawItem(const DRAWITEMSTRUCT& item) const
{
    const bool valid = item.itemID != static_cast<UINT>(-1);
    const bool free = valid && item.itemData == static_cast<ULONG_PTR>(kFree);
    const bool highlighted = free && (item.itemState & ODS_SELECTED) != 0;
    int textColor = highlighted ? COLOR_HIGHLIGHTTEXT : COLOR_WINDOWTEXT;
    if (valid && !free) {
        textColor = COLOR_GRAYTEXT;
    }
    const int backColor = highlighted ? COLOR_HIGHLIGHT : COLOR_WINDOW;
    FillRect(item.hDC, &item.rcItem, GetSysColorBrush(backColor));
    if (!valid) {
        return;
    }
    const std::string text = ItemText(static_cast<int>(item.itemID));
    const COLORREF previousText = SetTextColor(item.hDC, GetSysColor(textColor));
    const int previousMode = SetBkMode(item.hDC, TRANSPARENT);
    RECT area = item.rcItem;
    area.left += 2;
    DrawTextA(item.hDC, text.c_str(), static_cast<int>(text.size()), &area, DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX);
    SetBkMode(item.hDC, previousMode);
    SetTextColor(item.hDC, previousText);
}
