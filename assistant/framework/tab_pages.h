// Child dialogs shown one at a time inside a tab control: one page per tab,
// in tab order.
#pragma once

#include <string>
#include <vector>

#include "assistant/framework/dialog.h"

namespace fw {

class TabPages {
public:
    // Keyboard navigation descends through the tab control into the pages.
    void Attach(HWND tabControl);
    HWND Handle() const { return tabs_.Handle(); }

    void AddTab(const std::string& title) const;
    // Creates the page of the next tab without a page, inside the tab
    // control's display area, hidden.
    bool AddPage(Dialog& page, Dialog& host);

    // Hides the visible page and shows the one of tab index.
    void Show(int index);
    // The tab control's own selection moves too, as after a user's click.
    void Select(int index);
    int Current() const { return current_; }
    int SelectedTab() const { return static_cast<int>(tabs_.Send(TCM_GETCURSEL)); }

private:
    Window tabs_;
    std::vector<Dialog*> pages_;
    int current_ = 0;
};

}  // namespace fw
