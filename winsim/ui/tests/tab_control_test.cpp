// The tab control: what a user's choice tells the parent (and lets it
// refuse), what the program's own selection does not, and its geometry.
#include <commctrl.h>

#include "ui_test.h"

namespace winsim::ui::test {
namespace {

using TabControlTest = UiTest;

struct TabParent {
    std::vector<UINT> codes;
    bool refuse = false;
    int selectionSeenAtChanging = -2;
};

Handler Recording(TabParent* seen)
{
    return [seen](HWND, UINT message, WPARAM, LPARAM lParam, LRESULT* result) {
        if (message != WM_NOTIFY) return false;
        const auto* header = reinterpret_cast<const NMHDR*>(lParam);
        seen->codes.push_back(header->code);
        *result = 0;
        if (header->code == TCN_SELCHANGING) {
            seen->selectionSeenAtChanging = static_cast<int>(SendMessageA(header->hwndFrom, TCM_GETCURSEL, 0, 0));
            *result = seen->refuse ? TRUE : FALSE;
        }
        return true;
    };
}

void AddTab(HWND tabs, const char* text, LPARAM data)
{
    TCITEMA item{};
    item.mask = TCIF_TEXT | TCIF_PARAM;
    item.pszText = const_cast<char*>(text);
    item.lParam = data;
    const LRESULT count = SendMessageA(tabs, TCM_GETITEMCOUNT, 0, 0);
    ASSERT_EQ(SendMessageA(tabs, TCM_INSERTITEMA, static_cast<WPARAM>(count), reinterpret_cast<LPARAM>(&item)),
              count);
}

void ClickTab(HWND tabs, int index)
{
    RECT rect{};
    ASSERT_TRUE(SendMessageA(tabs, TCM_GETITEMRECT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&rect)));
    const LPARAM point = MAKELPARAM((rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2);
    SendMessageA(tabs, WM_LBUTTONDOWN, MK_LBUTTON, point);
    SendMessageA(tabs, WM_LBUTTONUP, 0, point);
}

class Tabs {
public:
    explicit Tabs(TabParent* seen)
    {
        RegisterHandlerClass("TabParent");
        parent = CreateHandlerWindow("TabParent", "parent", WS_OVERLAPPEDWINDOW, nullptr, 0, Recording(seen));
        tabs = CreateWindowExA(0, WC_TABCONTROLA, "", WS_CHILD | WS_VISIBLE, 0, 0, 300, 200, parent,
                               reinterpret_cast<HMENU>(40), nullptr, nullptr);
        AddTab(tabs, "General", 10);
        AddTab(tabs, "Ports", 20);
        AddTab(tabs, "Advanced", 30);
    }
    ~Tabs() { DestroyWindow(parent); }
    HWND parent;
    HWND tabs;
};

TEST_F(TabControlTest, TheFirstTabIsSelectedAndTheProgramsSelectionTellsNoOne)
{
    TabParent seen;
    Tabs control(&seen);
    EXPECT_EQ(SendMessageA(control.tabs, TCM_GETITEMCOUNT, 0, 0), 3);
    EXPECT_EQ(SendMessageA(control.tabs, TCM_GETCURSEL, 0, 0), 0);
    EXPECT_EQ(SendMessageA(control.tabs, TCM_SETCURSEL, 2, 0), 0);  // the previous selection
    EXPECT_EQ(SendMessageA(control.tabs, TCM_GETCURSEL, 0, 0), 2);
    EXPECT_EQ(SendMessageA(control.tabs, TCM_SETCURSEL, 3, 0), -1);
    EXPECT_EQ(SendMessageA(control.tabs, TCM_GETCURSEL, 0, 0), 2);
    EXPECT_TRUE(seen.codes.empty());

    char text[4];
    TCITEMA item{};
    item.mask = TCIF_TEXT | TCIF_PARAM;
    item.pszText = text;
    item.cchTextMax = sizeof(text);
    ASSERT_TRUE(SendMessageA(control.tabs, TCM_GETITEMA, 1, reinterpret_cast<LPARAM>(&item)));
    EXPECT_STREQ(text, "Por");  // cut to the buffer
    EXPECT_EQ(item.lParam, 20);

    EXPECT_TRUE(SendMessageA(control.tabs, TCM_DELETEALLITEMS, 0, 0));
    EXPECT_EQ(SendMessageA(control.tabs, TCM_GETITEMCOUNT, 0, 0), 0);
    EXPECT_EQ(SendMessageA(control.tabs, TCM_GETCURSEL, 0, 0), -1);
}

TEST_F(TabControlTest, AClickAsksTheParentWhileTheOldTabIsSelectedThenTellsIt)
{
    TabParent seen;
    Tabs control(&seen);
    ClickTab(control.tabs, 1);
    EXPECT_EQ(seen.codes, (std::vector<UINT>{TCN_SELCHANGING, TCN_SELCHANGE, NM_CLICK}));
    EXPECT_EQ(seen.selectionSeenAtChanging, 0);
    EXPECT_EQ(SendMessageA(control.tabs, TCM_GETCURSEL, 0, 0), 1);

    seen.codes.clear();
    ClickTab(control.tabs, 1);  // the selected tab: nothing changes
    EXPECT_EQ(seen.codes, (std::vector<UINT>{NM_CLICK}));
}

TEST_F(TabControlTest, AParentThatRefusesKeepsTheOldTab)
{
    TabParent seen;
    Tabs control(&seen);
    seen.refuse = true;
    ClickTab(control.tabs, 2);
    SendMessageA(control.tabs, WM_KEYDOWN, VK_RIGHT, 0);
    EXPECT_EQ(seen.codes, (std::vector<UINT>{TCN_SELCHANGING, NM_CLICK, TCN_SELCHANGING}));
    EXPECT_EQ(SendMessageA(control.tabs, TCM_GETCURSEL, 0, 0), 0);

    seen.refuse = false;
    seen.codes.clear();
    SendMessageA(control.tabs, WM_KEYDOWN, VK_RIGHT, 0);
    EXPECT_EQ(seen.codes, (std::vector<UINT>{TCN_SELCHANGING, TCN_SELCHANGE}));
    EXPECT_EQ(SendMessageA(control.tabs, TCM_GETCURSEL, 0, 0), 1);
}

TEST_F(TabControlTest, TabsSitSideBySideAboveTheDisplayArea)
{
    TabParent seen;
    Tabs control(&seen);
    RECT first{}, second{};
    SendMessageA(control.tabs, TCM_GETITEMRECT, 0, reinterpret_cast<LPARAM>(&first));
    SendMessageA(control.tabs, TCM_GETITEMRECT, 1, reinterpret_cast<LPARAM>(&second));
    EXPECT_EQ(first.right, second.left);
    EXPECT_EQ(first.top, second.top);
    EXPECT_GT(first.right - first.left, second.right - second.left);  // "General" is longer than "Ports"

    RECT area{0, 0, 300, 200};
    SendMessageA(control.tabs, TCM_ADJUSTRECT, FALSE, reinterpret_cast<LPARAM>(&area));
    EXPECT_GE(area.top, first.bottom);
    EXPECT_LT(area.bottom, 200);
    SendMessageA(control.tabs, TCM_ADJUSTRECT, TRUE, reinterpret_cast<LPARAM>(&area));
    EXPECT_EQ(area.left, 0);
    EXPECT_EQ(area.top, 0);
    EXPECT_EQ(area.right, 300);
    EXPECT_EQ(area.bottom, 200);
}

}  // namespace
}  // namespace winsim::ui::test
