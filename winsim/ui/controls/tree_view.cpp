// The tree view (SysTreeView32): items with text, item data, images and
// expanded/selected state, kept in order under their parents. A user's
// click or key selects with TVN_SELCHANGING (which the parent may refuse)
// and TVN_SELCHANGED; a double-click sends NM_DBLCLK and, unless the parent
// handled it, expands or collapses the item. Image lists stay the program's.
#include <commctrl.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <memory>
#include <string>
#include <unordered_set>
#include <vector>

#include "ui/controls/control_procs.h"
#include "ui/controls/control_state.h"

namespace winsim::ui {

namespace {

constexpr int kIndent = 19;      // pixels per level
constexpr int kImageWidth = 16;  // room for the image before the label
constexpr int kRowPadding = 2;

struct TreeNode {
    std::string text;
    LPARAM data = 0;
    int image = 0;
    int selectedImage = 0;
    UINT state = 0;
    int childrenFlag = 0;  // TVIF_CHILDREN: 1 shows a button before children exist
    TreeNode* parent = nullptr;
    std::vector<std::unique_ptr<TreeNode>> children;
};

struct TreeState : ControlState {
    TreeNode root;
    std::unordered_set<const TreeNode*> live;
    TreeNode* selection = nullptr;
    HIMAGELIST images = nullptr;
    HIMAGELIST stateImages = nullptr;
};

HTREEITEM HandleOf(const TreeNode* node) { return reinterpret_cast<HTREEITEM>(const_cast<TreeNode*>(node)); }

TreeNode* NodeOf(TreeState* state, HTREEITEM item)
{
    auto* node = reinterpret_cast<TreeNode*>(item);
    return state->live.count(node) != 0 ? node : nullptr;
}

bool Expanded(const TreeNode* node) { return (node->state & TVIS_EXPANDED) != 0; }
bool HasChildren(const TreeNode* node) { return !node->children.empty() || node->childrenFlag != 0; }

size_t IndexInParent(const TreeNode* node)
{
    const auto& siblings = node->parent->children;
    for (size_t i = 0; i < siblings.size(); ++i) {
        if (siblings[i].get() == node) return i;
    }
    return siblings.size();
}

TreeNode* Sibling(TreeNode* node, int step)
{
    if (node->parent == nullptr) return nullptr;
    const auto index = static_cast<long long>(IndexInParent(node)) + step;
    const auto& siblings = node->parent->children;
    if (index < 0 || index >= static_cast<long long>(siblings.size())) return nullptr;
    return siblings[static_cast<size_t>(index)].get();
}

// The items a user sees, top to bottom: those whose ancestors are expanded.
void CollectVisible(TreeNode* node, std::vector<TreeNode*>* out)
{
    for (auto& child : node->children) {
        out->push_back(child.get());
        if (Expanded(child.get())) CollectVisible(child.get(), out);
    }
}

std::vector<TreeNode*> Visible(TreeState* state)
{
    std::vector<TreeNode*> rows;
    CollectVisible(&state->root, &rows);
    return rows;
}

int Level(const TreeNode* node)
{
    int level = 0;
    for (const TreeNode* p = node->parent; p != nullptr && p->parent != nullptr; p = p->parent) ++level;
    return level;
}

int ItemHeight(const TreeState* state) { return std::max(FontMetrics(state->font).tmHeight, 16) + kRowPadding; }

int CountOf(const TreeNode* node)
{
    int count = 0;
    for (auto& child : node->children) count += 1 + CountOf(child.get());
    return count;
}

bool IsWithin(const TreeNode* node, const TreeNode* ancestor)
{
    for (; node != nullptr; node = node->parent) {
        if (node == ancestor) return true;
    }
    return false;
}

void Describe(const TreeNode* node, TVITEMA* item)
{
    item->mask = TVIF_HANDLE | TVIF_PARAM | TVIF_STATE;
    item->hItem = node != nullptr ? HandleOf(node) : nullptr;
    item->state = node != nullptr ? node->state : 0;
    item->lParam = node != nullptr ? node->data : 0;
}

LRESULT NotifyTree(HWND hwnd, UINT code, UINT action, const TreeNode* oldNode, const TreeNode* newNode)
{
    NMTREEVIEWA info{};
    info.action = action;
    Describe(oldNode, &info.itemOld);
    Describe(newNode, &info.itemNew);
    return SendNotify(hwnd, &info.hdr, code);
}

// Moves the selection (the caret) with the notifications; false when the
// parent refused.
bool Select(HWND hwnd, TreeState* state, TreeNode* node, UINT action)
{
    TreeNode* old = state->selection;
    if (node == old) return true;
    if (NotifyTree(hwnd, TVN_SELCHANGINGA, action, old, node) != 0) return false;
    if (!IsWindow(hwnd)) return false;
    if (old != nullptr && state->live.count(old) != 0) old->state &= ~TVIS_SELECTED;
    if (node != nullptr && state->live.count(node) == 0) node = nullptr;
    state->selection = node;
    if (node != nullptr) {
        node->state |= TVIS_SELECTED;
        for (TreeNode* p = node->parent; p != nullptr && p->parent != nullptr; p = p->parent) p->state |= TVIS_EXPANDED;
    }
    InvalidateRect(hwnd, nullptr, TRUE);
    NotifyTree(hwnd, TVN_SELCHANGEDA, action, old, node);
    return true;
}

// Expands, collapses or toggles; `notify` for a user's action, which the
// parent may refuse, and for the first expansion by the program.
LRESULT Expand(HWND hwnd, TreeState* state, TreeNode* node, UINT flag, bool byUser)
{
    if (node == nullptr || !HasChildren(node)) return FALSE;
    UINT action = flag & TVE_TOGGLE;
    if (action == TVE_TOGGLE) action = Expanded(node) ? TVE_COLLAPSE : TVE_EXPAND;
    if (action == TVE_EXPAND && Expanded(node)) return TRUE;
    if (action == TVE_COLLAPSE && !Expanded(node)) return FALSE;
    const bool notify = byUser || (action == TVE_EXPAND && !(node->state & TVIS_EXPANDEDONCE));
    if (notify && NotifyTree(hwnd, TVN_ITEMEXPANDINGA, action, nullptr, node) != 0) return FALSE;
    if (!IsWindow(hwnd) || state->live.count(node) == 0) return FALSE;
    if (action == TVE_EXPAND) {
        node->state |= TVIS_EXPANDED | TVIS_EXPANDEDONCE;
    } else {
        node->state &= ~TVIS_EXPANDED;
    }
    InvalidateRect(hwnd, nullptr, TRUE);
    if (notify) NotifyTree(hwnd, TVN_ITEMEXPANDEDA, action, nullptr, node);
    // A selection that disappears into a collapsed item moves onto it.
    if (action == TVE_COLLAPSE && state->selection != nullptr && state->selection != node &&
        IsWithin(state->selection, node)) {
        Select(hwnd, state, node, TVC_UNKNOWN);
    }
    return TRUE;
}

void Store(TreeNode* node, const TVITEMA& item)
{
    if ((item.mask & TVIF_TEXT) && item.pszText != nullptr && item.pszText != LPSTR_TEXTCALLBACKA) {
        node->text = item.pszText;
    }
    if (item.mask & TVIF_PARAM) node->data = item.lParam;
    if (item.mask & TVIF_IMAGE) node->image = item.iImage;
    if (item.mask & TVIF_SELECTEDIMAGE) node->selectedImage = item.iSelectedImage;
    if (item.mask & TVIF_CHILDREN) node->childrenFlag = item.cChildren;
    // The selection is the control's to keep; TVIS_SELECTED follows it.
    if (item.mask & TVIF_STATE) {
        const UINT mask = item.stateMask & ~TVIS_SELECTED;
        node->state = (node->state & ~mask) | (item.state & mask);
    }
}

bool NotAfter(const std::string& a, const std::string& b)
{
    return !std::lexicographical_compare(b.begin(), b.end(), a.begin(), a.end(), [](char x, char y) {
        return std::tolower(static_cast<unsigned char>(x)) < std::tolower(static_cast<unsigned char>(y));
    });
}

// TVI_SORT: after the last sibling whose text sorts before or with the new
// one's, without regard to case.
size_t SortedPosition(const TreeNode* parent, const std::string& text)
{
    size_t index = 0;
    while (index < parent->children.size() && NotAfter(parent->children[index]->text, text)) ++index;
    return index;
}

LRESULT Insert(HWND hwnd, TreeState* state, const TVINSERTSTRUCTA* insert)
{
    if (insert == nullptr) return 0;
    TreeNode* parent = insert->hParent == nullptr || insert->hParent == TVI_ROOT ? &state->root
                                                                                 : NodeOf(state, insert->hParent);
    if (parent == nullptr) return 0;
    auto node = std::make_unique<TreeNode>();
    node->parent = parent;
    Store(node.get(), insert->item);
    size_t position = parent->children.size();
    HTREEITEM after = insert->hInsertAfter;
    if (after == TVI_FIRST) {
        position = 0;
    } else if (after == TVI_SORT) {
        position = SortedPosition(parent, node->text);
    } else if (after != TVI_LAST && after != nullptr) {
        TreeNode* sibling = NodeOf(state, after);
        if (sibling == nullptr || sibling->parent != parent) return 0;
        position = IndexInParent(sibling) + 1;
    }
    TreeNode* added = node.get();
    state->live.insert(added);
    parent->children.insert(parent->children.begin() + static_cast<long>(position), std::move(node));
    InvalidateRect(hwnd, nullptr, TRUE);
    return reinterpret_cast<LRESULT>(HandleOf(added));
}

// Children first, each item told to the parent before it goes.
void Remove(HWND hwnd, TreeState* state, TreeNode* node)
{
    while (!node->children.empty()) Remove(hwnd, state, node->children.back().get());
    NotifyTree(hwnd, TVN_DELETEITEMA, 0, node, nullptr);
    state->live.erase(node);
    auto& siblings = node->parent->children;
    siblings.erase(siblings.begin() + static_cast<long>(IndexInParent(node)));
}

LRESULT Delete(HWND hwnd, TreeState* state, HTREEITEM item)
{
    const bool all = item == nullptr || item == TVI_ROOT;
    TreeNode* node = all ? &state->root : NodeOf(state, item);
    if (node == nullptr) return FALSE;
    if (state->selection != nullptr && IsWithin(state->selection, node)) {
        // The selection moves to what a user would see next in its place.
        TreeNode* next = all ? nullptr : Sibling(node, 1);
        if (next == nullptr && !all && node->parent != &state->root) next = node->parent;
        if (next == nullptr && !all) next = Sibling(node, -1);
        if (next == nullptr) {
            state->selection = nullptr;
        } else {
            Select(hwnd, state, next, TVC_UNKNOWN);
            if (state->selection != nullptr && IsWithin(state->selection, node)) state->selection = nullptr;
        }
    }
    if (all) {
        while (!state->root.children.empty()) Remove(hwnd, state, state->root.children.back().get());
    } else {
        Remove(hwnd, state, node);
    }
    InvalidateRect(hwnd, nullptr, TRUE);
    return TRUE;
}

TreeNode* NextVisible(TreeState* state, TreeNode* node, int step)
{
    std::vector<TreeNode*> rows = Visible(state);
    auto it = std::find(rows.begin(), rows.end(), node);
    if (it == rows.end()) return nullptr;
    const auto index = (it - rows.begin()) + step;
    return index >= 0 && index < static_cast<long>(rows.size()) ? rows[static_cast<size_t>(index)] : nullptr;
}

LRESULT NextItem(TreeState* state, UINT flag, HTREEITEM item)
{
    TreeNode* node = item == nullptr || item == TVI_ROOT ? nullptr : NodeOf(state, item);
    TreeNode* found = nullptr;
    switch (flag) {
    case TVGN_ROOT:
    case TVGN_FIRSTVISIBLE:
        found = state->root.children.empty() ? nullptr : state->root.children.front().get();
        break;
    case TVGN_CHILD: {
        TreeNode* parent = node != nullptr ? node : &state->root;
        found = parent->children.empty() ? nullptr : parent->children.front().get();
        break;
    }
    case TVGN_NEXT: found = node != nullptr ? Sibling(node, 1) : nullptr; break;
    case TVGN_PREVIOUS: found = node != nullptr ? Sibling(node, -1) : nullptr; break;
    case TVGN_PARENT:
        found = node != nullptr && node->parent != &state->root ? node->parent : nullptr;
        break;
    case TVGN_CARET: found = state->selection; break;
    case TVGN_NEXTVISIBLE: found = node != nullptr ? NextVisible(state, node, 1) : nullptr; break;
    case TVGN_PREVIOUSVISIBLE: found = node != nullptr ? NextVisible(state, node, -1) : nullptr; break;
    default: break;
    }
    return reinterpret_cast<LRESULT>(found != nullptr ? HandleOf(found) : nullptr);
}

LRESULT GetItem(TreeState* state, TVITEMA* item)
{
    if (item == nullptr) return FALSE;
    TreeNode* node = NodeOf(state, item->hItem);
    if (node == nullptr) return FALSE;
    if ((item->mask & TVIF_TEXT) && item->pszText != nullptr && item->cchTextMax > 0) {
        const size_t count = std::min(node->text.size(), static_cast<size_t>(item->cchTextMax - 1));
        std::memcpy(item->pszText, node->text.data(), count);
        item->pszText[count] = '\0';
    }
    if (item->mask & TVIF_PARAM) item->lParam = node->data;
    if (item->mask & TVIF_IMAGE) item->iImage = node->image;
    if (item->mask & TVIF_SELECTEDIMAGE) item->iSelectedImage = node->selectedImage;
    if (item->mask & TVIF_CHILDREN) item->cChildren = HasChildren(node) ? 1 : 0;
    if (item->mask & TVIF_STATE) item->state = node->state & item->stateMask;
    return TRUE;
}

// The row of a visible item; false for one hidden in a collapsed parent.
bool ItemRect(TreeState* state, TreeNode* node, bool labelOnly, RECT* rect)
{
    std::vector<TreeNode*> rows = Visible(state);
    auto it = std::find(rows.begin(), rows.end(), node);
    if (it == rows.end()) return false;
    const int height = ItemHeight(state);
    const int top = static_cast<int>(it - rows.begin()) * height;
    if (!labelOnly) {
        *rect = RECT{0, top, 0x7FFF, top + height};
        return true;
    }
    const int left = (Level(node) + 1) * kIndent + (state->images != nullptr ? kImageWidth : 0);
    const int width = static_cast<int>(node->text.size()) * FontMetrics(state->font).tmAveCharWidth + 4;
    *rect = RECT{left, top, left + width, top + height};
    return true;
}

TreeNode* HitTest(TreeState* state, POINT point)
{
    if (point.y < 0) return nullptr;
    std::vector<TreeNode*> rows = Visible(state);
    const auto row = static_cast<size_t>(point.y / ItemHeight(state));
    return row < rows.size() ? rows[row] : nullptr;
}

LRESULT Keyboard(HWND hwnd, TreeState* state, WPARAM key)
{
    TreeNode* current = state->selection;
    if (current == nullptr) {
        if (!state->root.children.empty()) Select(hwnd, state, state->root.children.front().get(), TVC_BYKEYBOARD);
        return 0;
    }
    switch (key) {
    case VK_UP:
    case VK_DOWN:
        if (TreeNode* next = NextVisible(state, current, key == VK_UP ? -1 : 1)) {
            Select(hwnd, state, next, TVC_BYKEYBOARD);
        }
        break;
    case VK_LEFT:
        if (Expanded(current)) {
            Expand(hwnd, state, current, TVE_COLLAPSE, true);
        } else if (current->parent != &state->root) {
            Select(hwnd, state, current->parent, TVC_BYKEYBOARD);
        }
        break;
    case VK_RIGHT:
        if (!Expanded(current)) {
            Expand(hwnd, state, current, TVE_EXPAND, true);
        } else if (!current->children.empty()) {
            Select(hwnd, state, current->children.front().get(), TVC_BYKEYBOARD);
        }
        break;
    case VK_RETURN: {
        NMHDR header{};
        SendNotify(hwnd, &header, NM_RETURN);
        break;
    }
    default:
        break;
    }
    return 0;
}

LRESULT TreeMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, TreeState* state)
{
    switch (message) {
    case TVM_INSERTITEMA:
        return Insert(hwnd, state, reinterpret_cast<const TVINSERTSTRUCTA*>(lParam));
    case TVM_DELETEITEM:
        return Delete(hwnd, state, reinterpret_cast<HTREEITEM>(lParam));
    case TVM_EXPAND:
        return Expand(hwnd, state, NodeOf(state, reinterpret_cast<HTREEITEM>(lParam)), static_cast<UINT>(wParam),
                      false);
    case TVM_GETCOUNT:
        return CountOf(&state->root);
    case TVM_GETNEXTITEM:
        return NextItem(state, static_cast<UINT>(wParam), reinterpret_cast<HTREEITEM>(lParam));
    case TVM_SELECTITEM: {
        if (wParam != TVGN_CARET) return FALSE;
        TreeNode* node = lParam == 0 ? nullptr : NodeOf(state, reinterpret_cast<HTREEITEM>(lParam));
        if (lParam != 0 && node == nullptr) return FALSE;
        return Select(hwnd, state, node, TVC_UNKNOWN) ? TRUE : FALSE;
    }
    case TVM_ENSUREVISIBLE: {
        TreeNode* node = NodeOf(state, reinterpret_cast<HTREEITEM>(lParam));
        if (node == nullptr) return FALSE;
        for (TreeNode* p = node->parent; p != nullptr && p->parent != nullptr; p = p->parent) {
            Expand(hwnd, state, p, TVE_EXPAND, false);
        }
        return TRUE;
    }
    case TVM_GETITEMA:
        return GetItem(state, reinterpret_cast<TVITEMA*>(lParam));
    case TVM_SETITEMA: {
        const auto* item = reinterpret_cast<const TVITEMA*>(lParam);
        TreeNode* node = item != nullptr ? NodeOf(state, item->hItem) : nullptr;
        if (node == nullptr) return FALSE;
        Store(node, *item);
        InvalidateRect(hwnd, nullptr, TRUE);
        return TRUE;
    }
    case TVM_GETITEMRECT: {
        auto* rect = reinterpret_cast<RECT*>(lParam);
        if (rect == nullptr) return FALSE;
        HTREEITEM item = nullptr;
        std::memcpy(&item, rect, sizeof(item));  // the item comes in the rectangle's first bytes
        TreeNode* node = NodeOf(state, item);
        return node != nullptr && ItemRect(state, node, wParam != 0, rect) ? TRUE : FALSE;
    }
    case TVM_GETVISIBLECOUNT: {
        RECT client;
        GetClientRect(hwnd, &client);
        return client.bottom / ItemHeight(state);
    }
    case TVM_HITTEST: {
        auto* info = reinterpret_cast<TVHITTESTINFO*>(lParam);
        if (info == nullptr) return 0;
        TreeNode* node = HitTest(state, info->pt);
        info->hItem = node != nullptr ? HandleOf(node) : nullptr;
        info->flags = node != nullptr ? TVHT_ONITEMLABEL : TVHT_NOWHERE;
        return reinterpret_cast<LRESULT>(info->hItem);
    }
    case TVM_GETIMAGELIST:
        return reinterpret_cast<LRESULT>(wParam == TVSIL_STATE ? state->stateImages : state->images);
    case TVM_SETIMAGELIST: {
        HIMAGELIST& slot = wParam == TVSIL_STATE ? state->stateImages : state->images;
        HIMAGELIST previous = slot;
        slot = reinterpret_cast<HIMAGELIST>(lParam);
        InvalidateRect(hwnd, nullptr, TRUE);
        return reinterpret_cast<LRESULT>(previous);
    }
    default:
        return 0;
    }
}

TreeNode* NodeAt(TreeState* state, LPARAM lParam)
{
    return HitTest(state, POINT{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)});
}

}  // namespace

LRESULT CALLBACK TreeViewProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    auto* state = StateOf<TreeState>(hwnd);
    if (message >= TV_FIRST && message < TV_FIRST + 0x40) return TreeMessage(hwnd, message, wParam, lParam, state);
    switch (message) {
    case WM_DESTROY:
        Delete(hwnd, state, TVI_ROOT);
        return 0;
    case WM_GETDLGCODE:
        return DLGC_WANTARROWS | DLGC_WANTCHARS;
    case WM_KEYDOWN:
        return Keyboard(hwnd, state, wParam);
    case WM_LBUTTONDOWN: {
        // The clicked item is selected before the tree takes the focus, which
        // then finds a selection to keep.
        if (TreeNode* node = NodeAt(state, lParam)) Select(hwnd, state, node, TVC_BYMOUSE);
        if (IsWindow(hwnd)) SetFocus(hwnd);
        return 0;
    }
    case WM_LBUTTONUP: {
        NMHDR header{};
        SendNotify(hwnd, &header, NM_CLICK);
        return 0;
    }
    case WM_LBUTTONDBLCLK: {
        NMHDR header{};
        TreeNode* node = NodeAt(state, lParam);
        if (SendNotify(hwnd, &header, NM_DBLCLK) == 0 && node != nullptr && IsWindow(hwnd) &&
            state->live.count(node) != 0) {
            Expand(hwnd, state, node, TVE_TOGGLE, true);
        }
        return 0;
    }
    case WM_SETFOCUS:
    case WM_KILLFOCUS: {
        // A tree with nothing selected selects its top item as it gains the
        // focus, so the keys have an item to move from.
        if (message == WM_SETFOCUS && state->selection == nullptr) {
            const std::vector<TreeNode*> rows = Visible(state);
            if (!rows.empty()) Select(hwnd, state, rows.front(), TVC_UNKNOWN);
            if (!IsWindow(hwnd)) return 0;
        }
        NMHDR header{};
        InvalidateRect(hwnd, nullptr, FALSE);
        SendNotify(hwnd, &header, message == WM_SETFOCUS ? NM_SETFOCUS : NM_KILLFOCUS);
        return 0;
    }
    default:
        return ControlDefProc<TreeState>(hwnd, message, wParam, lParam);
    }
}

}  // namespace winsim::ui
