// What a list box and a combo box's list do alike with their items: the
// style bits that configure them and the item messages both answer the same
// way, each control under its own message numbers.
#pragma once

#include <windows.h>

#include "ui/controls/item_list.h"

namespace winsim::ui {

// One control's numbers for the shared messages, and its style bits.
struct ItemControl {
    UINT add, insert, remove, reset, count, text, textLength, data, setData, find, findExact;
    DWORD sortStyle, hasStringsStyle, ownerDrawStyles;
    UINT ownerDrawType;  // ODT_LISTBOX or ODT_COMBOBOX
};

extern const ItemControl kListBoxItems;
extern const ItemControl kComboBoxItems;

// Sorted with the sort style; an owner-drawn control without the
// has-strings style keeps item data where others keep text.
void ConfigureItems(ItemList& items, const ItemControl& control, DWORD style);

// Answers one of the shared item messages into *result (-1, LB_ERR and
// CB_ERR alike, for an index beyond the list); false for any other
// message. The parent of an owner-drawn control hears of each item deleted
// (WM_DELETEITEM).
bool AnswerItemMessage(HWND hwnd, ItemList& items, const ItemControl& control, UINT message, WPARAM wParam,
                       LPARAM lParam, LRESULT* result);

// The owner's answer to WM_MEASUREITEM for item `itemId` (-1: a combo
// box's field), offered `height`.
int MeasureOwnerItem(HWND hwnd, const ItemControl& control, int itemId, int height);
// WM_DRAWITEM to the owner for one item (-1: none) drawn whole into `rect`.
void DrawOwnerItem(HWND hwnd, const ItemList& items, const ItemControl& control, HDC dc, int index,
                   UINT itemState, const RECT& rect);

}  // namespace winsim::ui
