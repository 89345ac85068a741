// Tree view items with an image and a 32-bit item value, as the status page uses them.
#pragma once

#include <string>

#include "assistant/framework/window.h"

namespace fw {

class TreeView : public Window {
public:
    HTREEITEM Insert(HTREEITEM parent, const std::string& text, int image, LPARAM value) const;
    void SetItemText(HTREEITEM item, const std::string& text) const;
    void SetItemValue(HTREEITEM item, LPARAM value) const;
    LPARAM ItemValue(HTREEITEM item) const;
    void Expand(HTREEITEM item) const { Send(TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(item)); }
    void DeleteAll() const { Send(TVM_DELETEITEM, 0, reinterpret_cast<LPARAM>(TVI_ROOT)); }
    HTREEITEM Root() const { return Next(nullptr, TVGN_ROOT); }
    HTREEITEM NextSibling(HTREEITEM item) const { return Next(item, TVGN_NEXT); }
    HTREEITEM FirstChild(HTREEITEM item) const { return Next(item, TVGN_CHILD); }
    HTREEITEM Selected() const { return Next(nullptr, TVGN_CARET); }
    void SetImageList(HIMAGELIST images) const
    {
        Send(TVM_SETIMAGELIST, TVSIL_NORMAL, reinterpret_cast<LPARAM>(images));
    }

private:
    HTREEITEM Next(HTREEITEM item, UINT relation) const
    {
        return reinterpret_cast<HTREEITEM>(Send(TVM_GETNEXTITEM, relation, reinterpret_cast<LPARAM>(item)));
    }
};

}  // namespace fw
