#include "assistant/framework/tree_view.h"

namespace fw {

HTREEITEM TreeView::Insert(HTREEITEM parent, const std::string& text, int image, LPARAM value) const
{
    TVINSERTSTRUCTA insert{};
    insert.hParent = parent != nullptr ? parent : TVI_ROOT;
    insert.hInsertAfter = TVI_LAST;
    insert.item.mask = TVIF_TEXT | TVIF_IMAGE | TVIF_SELECTEDIMAGE | TVIF_PARAM;
    insert.item.pszText = const_cast<LPSTR>(text.c_str());
    insert.item.iImage = image;
    insert.item.iSelectedImage = image;
    insert.item.lParam = value;
    return reinterpret_cast<HTREEITEM>(Send(TVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&insert)));
}

void TreeView::SetItemText(HTREEITEM item, const std::string& text) const
{
    TVITEMA change{};
    change.mask = TVIF_TEXT;
    change.hItem = item;
    change.pszText = const_cast<LPSTR>(text.c_str());
    Send(TVM_SETITEMA, 0, reinterpret_cast<LPARAM>(&change));
}

void TreeView::SetItemValue(HTREEITEM item, LPARAM value) const
{
    TVITEMA change{};
    change.mask = TVIF_PARAM;
    change.hItem = item;
    change.lParam = value;
    Send(TVM_SETITEMA, 0, reinterpret_cast<LPARAM>(&change));
}

LPARAM TreeView::ItemValue(HTREEITEM item) const
{
    TVITEMA query{};
    query.mask = TVIF_PARAM;
    query.hItem = item;
    Send(TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&query));
    return query.lParam;
}

}  // namespace fw
