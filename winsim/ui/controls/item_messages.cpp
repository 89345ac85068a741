#include "ui/controls/item_messages.h"

#include "ui/controls/control_state.h"

namespace winsim::ui {

const ItemControl kListBoxItems{LB_ADDSTRING,    LB_INSERTSTRING,   LB_DELETESTRING, LB_RESETCONTENT,
                                LB_GETCOUNT,     LB_GETTEXT,        LB_GETTEXTLEN,   LB_GETITEMDATA,
                                LB_SETITEMDATA,  LB_FINDSTRING,     LB_FINDSTRINGEXACT,
                                LBS_SORT,        LBS_HASSTRINGS,    LBS_OWNERDRAWFIXED | LBS_OWNERDRAWVARIABLE,
                                ODT_LISTBOX};
const ItemControl kComboBoxItems{CB_ADDSTRING,   CB_INSERTSTRING,   CB_DELETESTRING, CB_RESETCONTENT,
                                 CB_GETCOUNT,    CB_GETLBTEXT,      CB_GETLBTEXTLEN, CB_GETITEMDATA,
                                 CB_SETITEMDATA, CB_FINDSTRING,     CB_FINDSTRINGEXACT,
                                 CBS_SORT,       CBS_HASSTRINGS,    CBS_OWNERDRAWFIXED | CBS_OWNERDRAWVARIABLE,
                                 ODT_COMBOBOX};

namespace {

constexpr LRESULT kError = -1;

void NotifyDeleted(HWND hwnd, const ItemList& items, const ItemControl& control, int index)
{
    if (!(StyleOf(hwnd) & control.ownerDrawStyles)) return;
    DELETEITEMSTRUCT item{control.ownerDrawType, static_cast<UINT>(GetDlgCtrlID(hwnd)), static_cast<UINT>(index),
                          hwnd, items.At(index).data};
    SendMessageA(GetParent(hwnd), WM_DELETEITEM, item.CtlID, reinterpret_cast<LPARAM>(&item));
}

}  // namespace

void ConfigureItems(ItemList& items, const ItemControl& control, DWORD style)
{
    const bool strings = !(style & control.ownerDrawStyles) || (style & control.hasStringsStyle);
    items.Configure((style & control.sortStyle) != 0, strings);
}

int MeasureOwnerItem(HWND hwnd, const ItemControl& control, int itemId, int height)
{
    RECT client;
    GetClientRect(hwnd, &client);
    MEASUREITEMSTRUCT measure{control.ownerDrawType, static_cast<UINT>(GetDlgCtrlID(hwnd)), static_cast<UINT>(itemId),
                              static_cast<UINT>(client.right), static_cast<UINT>(height), 0};
    SendMessageA(GetParent(hwnd), WM_MEASUREITEM, measure.CtlID, reinterpret_cast<LPARAM>(&measure));
    return static_cast<int>(measure.itemHeight);
}

void DrawOwnerItem(HWND hwnd, const ItemList& items, const ItemControl& control, HDC dc, int index,
                   UINT itemState, const RECT& rect)
{
    DRAWITEMSTRUCT item{};
    item.CtlType = control.ownerDrawType;
    item.CtlID = static_cast<UINT>(GetDlgCtrlID(hwnd));
    item.itemID = static_cast<UINT>(index);
    item.itemAction = ODA_DRAWENTIRE;
    item.itemState = itemState | (IsWindowEnabled(hwnd) ? 0 : ODS_DISABLED);
    item.hwndItem = hwnd;
    item.hDC = dc;
    item.rcItem = rect;
    item.itemData = items.Valid(index) ? items.At(index).data : 0;
    SendMessageA(GetParent(hwnd), WM_DRAWITEM, item.CtlID, reinterpret_cast<LPARAM>(&item));
}

bool AnswerItemMessage(HWND hwnd, ItemList& items, const ItemControl& control, UINT message, WPARAM wParam,
                       LPARAM lParam, LRESULT* result)
{
    const int index = static_cast<int>(wParam);
    if (message == control.add || message == control.insert) {
        const int at = message == control.add ? items.Add(lParam) : items.Insert(index, lParam);
        *result = at < 0 ? kError : at;
    } else if (message == control.remove) {
        if (!items.Valid(index)) {
            *result = kError;
            return true;
        }
        NotifyDeleted(hwnd, items, control, index);
        items.Delete(index);
        *result = items.Count();
    } else if (message == control.reset) {
        for (int i = 0; i < items.Count(); ++i) NotifyDeleted(hwnd, items, control, i);
        items.Reset();
        *result = 0;
    } else if (message == control.count) {
        *result = items.Count();
    } else if (message == control.text) {
        *result = items.CopyText(index, lParam);
    } else if (message == control.textLength) {
        *result = items.TextLength(index);
    } else if (message == control.data) {
        *result = items.Valid(index) ? static_cast<LRESULT>(items.At(index).data) : kError;
    } else if (message == control.setData) {
        if (items.Valid(index)) items.At(index).data = static_cast<ULONG_PTR>(lParam);
        *result = items.Valid(index) ? TRUE : kError;
    } else if (message == control.find || message == control.findExact) {
        const int found = items.Find(index, reinterpret_cast<const char*>(lParam), message == control.findExact);
        *result = found < 0 ? kError : found;
    } else {
        return false;
    }
    return true;
}

}  // namespace winsim::ui
