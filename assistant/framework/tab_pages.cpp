#include "assistant/framework/tab_pages.h"

namespace fw {

void TabPages::Attach(HWND tabControl)
{
    tabs_.Attach(tabControl);
    const LONG_PTR extended = GetWindowLongPtrA(tabControl, GWL_EXSTYLE);
    SetWindowLongPtrA(tabControl, GWL_EXSTYLE, extended | WS_EX_CONTROLPARENT);
}

void TabPages::AddTab(const std::string& title) const
{
    TCITEMA item{};
    item.mask = TCIF_TEXT;
    item.pszText = const_cast<LPSTR>(title.c_str());
    const auto index = static_cast<WPARAM>(tabs_.Send(TCM_GETITEMCOUNT));
    tabs_.Send(TCM_INSERTITEMA, index, reinterpret_cast<LPARAM>(&item));
}

bool TabPages::AddPage(Dialog& page, Dialog& host)
{
    if (!page.CreatePage(tabs_.Handle(), host)) {
        return false;
    }
    RECT area{};
    GetClientRect(tabs_.Handle(), &area);
    tabs_.Send(TCM_ADJUSTRECT, FALSE, reinterpret_cast<LPARAM>(&area));
    SetWindowPos(page.Handle(), nullptr, area.left, area.top, area.right - area.left, area.bottom - area.top,
                 SWP_NOZORDER | SWP_NOACTIVATE);
    page.Show(false);
    pages_.push_back(&page);
    return true;
}

void TabPages::Show(int index)
{
    if (index < 0 || index >= static_cast<int>(pages_.size())) {
        return;
    }
    if (current_ >= 0 && current_ < static_cast<int>(pages_.size()) && current_ != index) {
        pages_[static_cast<size_t>(current_)]->Show(false);
    }
    pages_[static_cast<size_t>(index)]->Show(true);
    current_ = index;
}

void TabPages::Select(int index)
{
    tabs_.Send(TCM_SETCURSEL, static_cast<WPARAM>(index));
}

}  // namespace fw
