// The tree view: insertion order, depth-first walks, deletion with the
// selection, expansion and its notifications, and image lists that stay
// their creator's.
#include <commctrl.h>

#include <cstring>

#include "ui_test.h"

namespace winsim::ui::test {
namespace {

using TreeViewTest = UiTest;

struct TreeNotice {
    UINT code;
    UINT action;
    HTREEITEM oldItem;
    HTREEITEM newItem;
};

struct TreeParent {
    std::vector<TreeNotice> notices;
    bool refuseSelection = false;
    bool handleDoubleClick = false;
};

Handler Recording(TreeParent* seen)
{
    return [seen](HWND, UINT message, WPARAM, LPARAM lParam, LRESULT* result) {
        if (message != WM_NOTIFY) return false;
        const auto* header = reinterpret_cast<const NMHDR*>(lParam);
        *result = 0;
        if (header->code == NM_SETFOCUS || header->code == NM_KILLFOCUS) return true;
        TreeNotice notice{header->code, 0, nullptr, nullptr};
        if (header->code != NM_CLICK && header->code != NM_DBLCLK) {
            const auto* tree = reinterpret_cast<const NMTREEVIEWA*>(lParam);
            notice = TreeNotice{header->code, tree->action, tree->itemOld.hItem, tree->itemNew.hItem};
        }
        seen->notices.push_back(notice);
        if (header->code == TVN_SELCHANGINGA && seen->refuseSelection) *result = TRUE;
        if (header->code == NM_DBLCLK && seen->handleDoubleClick) *result = TRUE;
        return true;
    };
}

class Tree {
public:
    explicit Tree(TreeParent* seen)
    {
        RegisterHandlerClass("TreeParent");
        parent = CreateHandlerWindow("TreeParent", "parent", WS_OVERLAPPEDWINDOW, nullptr, 0, Recording(seen));
        tree = CreateWindowExA(0, WC_TREEVIEWA, "", WS_CHILD | WS_VISIBLE | TVS_HASBUTTONS, 0, 0, 200, 300, parent,
                               reinterpret_cast<HMENU>(50), nullptr, nullptr);
    }
    ~Tree() { DestroyWindow(parent); }

    HTREEITEM Add(HTREEITEM under, const char* text, LPARAM value, HTREEITEM after = TVI_LAST)
    {
        TVINSERTSTRUCTA insert{};
        insert.hParent = under;
        insert.hInsertAfter = after;
        insert.item.mask = TVIF_TEXT | TVIF_PARAM;
        insert.item.pszText = const_cast<char*>(text);
        insert.item.lParam = value;
        return reinterpret_cast<HTREEITEM>(SendMessageA(tree, TVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&insert)));
    }
    HTREEITEM Next(UINT flag, HTREEITEM item = nullptr)
    {
        return reinterpret_cast<HTREEITEM>(SendMessageA(tree, TVM_GETNEXTITEM, flag, reinterpret_cast<LPARAM>(item)));
    }
    std::string Text(HTREEITEM item)
    {
        char text[64] = "";
        TVITEMA read{};
        read.mask = TVIF_HANDLE | TVIF_TEXT;
        read.hItem = item;
        read.pszText = text;
        read.cchTextMax = sizeof(text);
        SendMessageA(tree, TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&read));
        return text;
    }
    UINT State(HTREEITEM item)
    {
        TVITEMA read{};
        read.mask = TVIF_HANDLE | TVIF_STATE;
        read.hItem = item;
        read.stateMask = 0xFFFF;
        SendMessageA(tree, TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&read));
        return read.state;
    }
    // Every item's text, depth first, as a walk with TVM_GETNEXTITEM finds them.
    std::vector<std::string> Walk(HTREEITEM first)
    {
        std::vector<std::string> texts;
        for (HTREEITEM item = first; item != nullptr; item = Next(TVGN_NEXT, item)) {
            texts.push_back(Text(item));
            for (auto& below : Walk(Next(TVGN_CHILD, item))) texts.push_back("  " + below);
        }
        return texts;
    }
    std::vector<std::string> Walk() { return Walk(Next(TVGN_ROOT)); }
    void DoubleClick(HTREEITEM item)
    {
        RECT rect{};
        std::memcpy(&rect, &item, sizeof(item));
        ASSERT_TRUE(SendMessageA(tree, TVM_GETITEMRECT, TRUE, reinterpret_cast<LPARAM>(&rect)));
        const LPARAM point = MAKELPARAM(rect.left + 1, rect.top + 1);
        SendMessageA(tree, WM_LBUTTONDOWN, MK_LBUTTON, point);
        SendMessageA(tree, WM_LBUTTONUP, 0, point);
        SendMessageA(tree, WM_LBUTTONDBLCLK, MK_LBUTTON, point);
        SendMessageA(tree, WM_LBUTTONUP, 0, point);
    }

    HWND parent;
    HWND tree;
};

std::vector<UINT> Codes(const TreeParent& seen)
{
    std::vector<UINT> codes;
    for (auto& notice : seen.notices) codes.push_back(notice.code);
    return codes;
}

TEST_F(TreeViewTest, ItemsGoWhereTheInsertAsksAndWalkDepthFirst)
{
    TreeParent seen;
    Tree t(&seen);
    HTREEITEM b = t.Add(TVI_ROOT, "B", 2);
    HTREEITEM a = t.Add(TVI_ROOT, "A", 1, TVI_FIRST);
    t.Add(b, "b2", 22);
    HTREEITEM b1 = t.Add(b, "b1", 21, TVI_FIRST);
    t.Add(b1, "deep", 211);
    t.Add(a, "zeta", 0, TVI_SORT);
    t.Add(a, "Alpha", 0, TVI_SORT);
    t.Add(a, "mid", 0, TVI_SORT);
    t.Add(TVI_ROOT, "C", 3, b);  // after B
    EXPECT_EQ(t.Walk(), (std::vector<std::string>{"A", "  Alpha", "  mid", "  zeta", "B", "  b1", "    deep", "  b2",
                                                  "C"}));
    EXPECT_EQ(SendMessageA(t.tree, TVM_GETCOUNT, 0, 0), 9);
    EXPECT_EQ(t.Next(TVGN_PARENT, b1), b);
    EXPECT_EQ(t.Next(TVGN_PARENT, b), nullptr);
    EXPECT_EQ(t.Next(TVGN_PREVIOUS, b), a);

    TVITEMA read{};
    read.mask = TVIF_HANDLE | TVIF_PARAM | TVIF_CHILDREN;
    read.hItem = b1;
    ASSERT_TRUE(SendMessageA(t.tree, TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&read)));
    EXPECT_EQ(read.lParam, 21);
    EXPECT_EQ(read.cChildren, 1);

    // An item to insert after that is not a child of the parent is refused.
    EXPECT_EQ(t.Add(a, "stray", 0, b1), nullptr);
}

TEST_F(TreeViewTest, DeletingTheRootDeletesEveryItemAndTellsTheParentOfEach)
{
    TreeParent seen;
    Tree t(&seen);
    HTREEITEM a = t.Add(TVI_ROOT, "A", 1);
    HTREEITEM a1 = t.Add(a, "A1", 11);
    t.Add(TVI_ROOT, "B", 2);
    ASSERT_TRUE(SendMessageA(t.tree, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(a1)));
    seen.notices.clear();

    ASSERT_TRUE(SendMessageA(t.tree, TVM_DELETEITEM, 0, reinterpret_cast<LPARAM>(TVI_ROOT)));
    EXPECT_EQ(SendMessageA(t.tree, TVM_GETCOUNT, 0, 0), 0);
    EXPECT_EQ(t.Next(TVGN_ROOT), nullptr);
    EXPECT_EQ(t.Next(TVGN_CARET), nullptr);
    EXPECT_EQ(Codes(seen), (std::vector<UINT>{TVN_DELETEITEMA, TVN_DELETEITEMA, TVN_DELETEITEMA}));
    // Children go before their parent.
    EXPECT_EQ(seen.notices[1].oldItem, a1);
    EXPECT_EQ(seen.notices[2].oldItem, a);
    // The old handles are no items any more.
    TVITEMA read{};
    read.mask = TVIF_HANDLE | TVIF_PARAM;
    read.hItem = a;
    EXPECT_FALSE(SendMessageA(t.tree, TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&read)));
}

TEST_F(TreeViewTest, DeletingTheSelectedItemSelectsItsNextSibling)
{
    TreeParent seen;
    Tree t(&seen);
    HTREEITEM a = t.Add(TVI_ROOT, "A", 1);
    HTREEITEM b = t.Add(TVI_ROOT, "B", 2);
    SendMessageA(t.tree, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(a));
    SendMessageA(t.tree, TVM_DELETEITEM, 0, reinterpret_cast<LPARAM>(a));
    EXPECT_EQ(t.Next(TVGN_CARET), b);
    EXPECT_TRUE(t.State(b) & TVIS_SELECTED);
}

TEST_F(TreeViewTest, SelectionIsAskedForThenToldWithTheOldAndNewItems)
{
    TreeParent seen;
    Tree t(&seen);
    HTREEITEM a = t.Add(TVI_ROOT, "A", 1);
    HTREEITEM a1 = t.Add(a, "A1", 11);
    ASSERT_TRUE(SendMessageA(t.tree, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(a)));
    seen.refuseSelection = true;
    EXPECT_FALSE(SendMessageA(t.tree, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(a1)));
    EXPECT_EQ(t.Next(TVGN_CARET), a);
    ASSERT_EQ(seen.notices.size(), 3u);
    EXPECT_EQ(seen.notices[0].code, TVN_SELCHANGINGA);
    EXPECT_EQ(seen.notices[1].code, TVN_SELCHANGEDA);
    EXPECT_EQ(seen.notices[1].oldItem, nullptr);
    EXPECT_EQ(seen.notices[1].newItem, a);
    EXPECT_EQ(seen.notices[2].code, TVN_SELCHANGINGA);
    EXPECT_EQ(seen.notices[2].newItem, a1);

    // Selecting a hidden child opens its parent.
    seen.refuseSelection = false;
    ASSERT_TRUE(SendMessageA(t.tree, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(a1)));
    EXPECT_TRUE(t.State(a) & TVIS_EXPANDED);
    EXPECT_TRUE(t.State(a1) & TVIS_SELECTED);
    EXPECT_FALSE(t.State(a) & TVIS_SELECTED);
}

TEST_F(TreeViewTest, GainingTheFocusWithNothingSelectedSelectsTheTopItem)
{
    TreeParent seen;
    Tree t(&seen);
    SetFocus(t.tree);  // an empty tree has nothing to select
    EXPECT_EQ(t.Next(TVGN_CARET), nullptr);
    SetFocus(t.parent);
    HTREEITEM a = t.Add(TVI_ROOT, "A", 1);
    HTREEITEM b = t.Add(TVI_ROOT, "B", 2);
    SetFocus(t.tree);
    EXPECT_EQ(t.Next(TVGN_CARET), a);
    EXPECT_TRUE(t.State(a) & TVIS_SELECTED);
    ASSERT_EQ(seen.notices.size(), 2u);
    EXPECT_EQ(seen.notices[1].code, TVN_SELCHANGEDA);
    EXPECT_EQ(seen.notices[1].action, static_cast<UINT>(TVC_UNKNOWN));
    EXPECT_EQ(seen.notices[1].newItem, a);

    // A click selects its item before the focus could choose one.
    SetFocus(t.parent);
    SendMessageA(t.tree, TVM_SELECTITEM, TVGN_CARET, 0);
    seen.notices.clear();
    t.DoubleClick(b);
    ASSERT_GE(seen.notices.size(), 2u);
    EXPECT_EQ(seen.notices[1].code, TVN_SELCHANGEDA);
    EXPECT_EQ(seen.notices[1].newItem, b);
    EXPECT_EQ(seen.notices[1].action, static_cast<UINT>(TVC_BYMOUSE));

    // A selection it already has stays when the focus comes back.
    SendMessageA(t.tree, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(b));
    SetFocus(t.parent);
    SetFocus(t.tree);
    EXPECT_EQ(t.Next(TVGN_CARET), b);
}

TEST_F(TreeViewTest, TheProgramsFirstExpansionNotifiesAndLaterOnesDoNot)
{
    TreeParent seen;
    Tree t(&seen);
    HTREEITEM a = t.Add(TVI_ROOT, "A", 1);
    HTREEITEM leaf = t.Add(TVI_ROOT, "leaf", 2);
    t.Add(a, "A1", 11);
    EXPECT_FALSE(SendMessageA(t.tree, TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(leaf)));
    EXPECT_FALSE(SendMessageA(t.tree, TVM_EXPAND, TVE_COLLAPSE, reinterpret_cast<LPARAM>(a)));  // already
    EXPECT_TRUE(SendMessageA(t.tree, TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(a)));
    EXPECT_TRUE(SendMessageA(t.tree, TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(a)));  // already, yet success
    EXPECT_TRUE(SendMessageA(t.tree, TVM_EXPAND, TVE_COLLAPSE, reinterpret_cast<LPARAM>(a)));
    EXPECT_TRUE(SendMessageA(t.tree, TVM_EXPAND, TVE_TOGGLE, reinterpret_cast<LPARAM>(a)));
    EXPECT_EQ(Codes(seen), (std::vector<UINT>{TVN_ITEMEXPANDINGA, TVN_ITEMEXPANDEDA}));
    EXPECT_EQ(t.State(a) & (TVIS_EXPANDED | TVIS_EXPANDEDONCE), static_cast<UINT>(TVIS_EXPANDED | TVIS_EXPANDEDONCE));
}

TEST_F(TreeViewTest, ADoubleClickOpensAnItemUnlessTheParentHandledIt)
{
    TreeParent seen;
    Tree t(&seen);
    HTREEITEM a = t.Add(TVI_ROOT, "A", 1);
    t.Add(a, "A1", 11);
    seen.handleDoubleClick = true;
    t.DoubleClick(a);
    EXPECT_FALSE(t.State(a) & TVIS_EXPANDED);
    EXPECT_EQ(seen.notices[0].code, TVN_SELCHANGINGA);
    EXPECT_EQ(seen.notices[0].action, static_cast<UINT>(TVC_BYMOUSE));
    EXPECT_EQ(Codes(seen), (std::vector<UINT>{TVN_SELCHANGINGA, TVN_SELCHANGEDA, NM_CLICK, NM_DBLCLK, NM_CLICK}));

    seen.handleDoubleClick = false;
    seen.notices.clear();
    t.DoubleClick(a);
    EXPECT_TRUE(t.State(a) & TVIS_EXPANDED);
    EXPECT_EQ(Codes(seen),
              (std::vector<UINT>{NM_CLICK, NM_DBLCLK, TVN_ITEMEXPANDINGA, TVN_ITEMEXPANDEDA, NM_CLICK}));
}

TEST_F(TreeViewTest, CollapsingAroundTheSelectionSelectsTheCollapsedItem)
{
    TreeParent seen;
    Tree t(&seen);
    HTREEITEM a = t.Add(TVI_ROOT, "A", 1);
    HTREEITEM a1 = t.Add(a, "A1", 11);
    SendMessageA(t.tree, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(a1));
    SendMessageA(t.tree, TVM_EXPAND, TVE_COLLAPSE, reinterpret_cast<LPARAM>(a));
    EXPECT_EQ(t.Next(TVGN_CARET), a);
}

TEST_F(TreeViewTest, ImageListsStayTheirCreatorsUntilDestroyed)
{
    TreeParent seen;
    const int64_t before = program_->gdiObjects.load();
    HIMAGELIST images = ImageList_Create(16, 16, ILC_COLOR32 | ILC_MASK, 2, 0);
    ASSERT_NE(images, nullptr);
    EXPECT_EQ(program_->gdiObjects.load(), before + 2);  // image and mask bitmaps
    EXPECT_EQ(ImageList_AddIcon(images, LoadIconA(nullptr, IDI_APPLICATION)), 0);
    EXPECT_EQ(ImageList_AddIcon(images, LoadIconA(nullptr, IDI_WARNING)), 1);
    EXPECT_EQ(ImageList_AddIcon(images, reinterpret_cast<HICON>(0x1234)), -1);
    EXPECT_EQ(ImageList_GetImageCount(images), 2);
    {
        Tree t(&seen);
        EXPECT_EQ(SendMessageA(t.tree, TVM_SETIMAGELIST, TVSIL_NORMAL, reinterpret_cast<LPARAM>(images)), 0);
        EXPECT_EQ(SendMessageA(t.tree, TVM_GETIMAGELIST, TVSIL_NORMAL, 0), reinterpret_cast<LRESULT>(images));
    }
    // The tree is gone; the list is not.
    EXPECT_EQ(ImageList_GetImageCount(images), 2);
    EXPECT_TRUE(ImageList_Destroy(images));
    EXPECT_FALSE(ImageList_Destroy(images));
    EXPECT_EQ(program_->gdiObjects.load(), before);
}

}  // namespace
}  // namespace winsim::ui::test
