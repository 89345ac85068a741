// List boxes and drop-down lists: the item calls the Assistant repeats on
// every page, with the error returns of the controls kept as -1.
#pragma once

#include <string>
#include <vector>

#include "assistant/framework/window.h"

namespace fw {

class ListBox : public Window {
public:
    void Reset() const { Send(LB_RESETCONTENT); }
    int Add(const std::string& text) const;
    int Insert(int index, const std::string& text) const;
    void Delete(int index) const { Send(LB_DELETESTRING, static_cast<WPARAM>(index)); }
    int Count() const { return static_cast<int>(Send(LB_GETCOUNT)); }
    std::string ItemText(int index) const;
    void SetItemValue(int index, LPARAM value) const;
    LPARAM ItemValue(int index) const { return Send(LB_GETITEMDATA, static_cast<WPARAM>(index)); }
    void Select(int index) const { Send(LB_SETCURSEL, static_cast<WPARAM>(index)); }
    int Selection() const { return static_cast<int>(Send(LB_GETCURSEL)); }
    void SetTopLine(int index) const { Send(LB_SETTOPINDEX, static_cast<WPARAM>(index)); }
    // Tab stops in dialog units.
    void SetTabStops(const std::vector<int>& stops) const;
    // Sets the horizontal scroll extent to the widest line as drawn with the list's font.
    void FitHorizontalExtent() const;
};

class ComboBox : public Window {
public:
    void Reset() const { Send(CB_RESETCONTENT); }
    int Add(const std::string& text) const;
    int Count() const { return static_cast<int>(Send(CB_GETCOUNT)); }
    std::string ItemText(int index) const;
    void SetItemValue(int index, LPARAM value) const;
    LPARAM ItemValue(int index) const { return Send(CB_GETITEMDATA, static_cast<WPARAM>(index)); }
    void Select(int index) const { Send(CB_SETCURSEL, static_cast<WPARAM>(index)); }
    int Selection() const { return static_cast<int>(Send(CB_GETCURSEL)); }
    // Position of the exact text, or -1.
    int Find(const std::string& text) const;
};

}  // namespace fw
