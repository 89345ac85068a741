// The items of a list box or of a combo box's list: text and item data,
// kept sorted when the control sorts, the current selection and the top
// item, with the messages both controls answer alike.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace winsim::ui {

struct ListItem {
    std::string text;
    ULONG_PTR data = 0;
    bool selected = false;  // multiple-selection list boxes
};

class ItemList {
public:
    // `hasStrings` false: an owner-drawn control whose "strings" are item data.
    void Configure(bool sorted, bool hasStrings);

    int Count() const { return static_cast<int>(items_.size()); }
    bool Valid(int index) const { return index >= 0 && index < Count(); }
    const ListItem& At(int index) const { return items_[static_cast<size_t>(index)]; }
    ListItem& At(int index) { return items_[static_cast<size_t>(index)]; }
    bool HasStrings() const { return hasStrings_; }

    // Index of the new item, or -1 for an index beyond the end.
    int Add(LPARAM value);
    int Insert(int index, LPARAM value);
    bool Delete(int index);
    void Reset();

    // The first item from after `start` on (wrapping) whose text begins with,
    // or equals, `text` without regard to case; -1 when none does.
    int Find(int start, const char* text, bool exact) const;
    // Copies an item's text (or its data, without strings); its length.
    LRESULT CopyText(int index, LPARAM buffer) const;
    LRESULT TextLength(int index) const;

    int selection = -1;
    int top = 0;

private:
    ListItem Make(LPARAM value) const;
    int Place(int index, ListItem item);

    std::vector<ListItem> items_;
    bool sorted_ = false;
    bool hasStrings_ = true;
};

}  // namespace winsim::ui
