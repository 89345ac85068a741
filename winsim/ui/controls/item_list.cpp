#include "ui/controls/item_list.h"

#include <algorithm>
#include <cctype>
#include <cstring>

namespace winsim::ui {

namespace {

int CompareNoCase(const std::string& a, const std::string& b)
{
    const size_t count = std::min(a.size(), b.size());
    for (size_t i = 0; i < count; ++i) {
        const int ca = std::tolower(static_cast<unsigned char>(a[i]));
        const int cb = std::tolower(static_cast<unsigned char>(b[i]));
        if (ca != cb) return ca - cb;
    }
    return static_cast<int>(a.size()) - static_cast<int>(b.size());
}

}  // namespace

void ItemList::Configure(bool sorted, bool hasStrings)
{
    sorted_ = sorted && hasStrings;
    hasStrings_ = hasStrings;
}

ListItem ItemList::Make(LPARAM value) const
{
    ListItem item;
    if (hasStrings_) {
        item.text = value != 0 ? reinterpret_cast<const char*>(value) : "";
    } else {
        item.data = static_cast<ULONG_PTR>(value);
    }
    return item;
}

int ItemList::Add(LPARAM value)
{
    ListItem item = Make(value);
    int index = Count();
    if (sorted_) {
        auto it = std::upper_bound(items_.begin(), items_.end(), item, [](const ListItem& a, const ListItem& b) {
            return CompareNoCase(a.text, b.text) < 0;
        });
        index = static_cast<int>(it - items_.begin());
    }
    return Place(index, std::move(item));
}

int ItemList::Insert(int index, LPARAM value)
{
    if (index == -1) index = Count();
    if (index < 0 || index > Count()) return -1;
    return Place(index, Make(value));
}

int ItemList::Place(int index, ListItem item)
{
    items_.insert(items_.begin() + index, std::move(item));
    if (selection >= index) ++selection;
    return index;
}

bool ItemList::Delete(int index)
{
    if (!Valid(index)) return false;
    items_.erase(items_.begin() + index);
    if (selection == index) {
        selection = -1;
    } else if (selection > index) {
        --selection;
    }
    top = std::clamp(top, 0, std::max(0, Count() - 1));
    return true;
}

void ItemList::Reset()
{
    items_.clear();
    selection = -1;
    top = 0;
}

int ItemList::Find(int start, const char* text, bool exact) const
{
    if (!hasStrings_ || text == nullptr || items_.empty()) return -1;
    const std::string wanted = text;
    const int count = Count();
    const int first = Valid(start) ? start + 1 : 0;
    for (int step = 0; step < count; ++step) {
        const ListItem& item = At((first + step) % count);
        const std::string candidate = exact ? item.text : item.text.substr(0, wanted.size());
        if (CompareNoCase(candidate, wanted) == 0) return (first + step) % count;
    }
    return -1;
}

LRESULT ItemList::CopyText(int index, LPARAM buffer) const
{
    if (!Valid(index) || buffer == 0) return -1;
    if (!hasStrings_) {
        std::memcpy(reinterpret_cast<void*>(buffer), &At(index).data, sizeof(ULONG_PTR));
        return sizeof(ULONG_PTR);
    }
    const std::string& text = At(index).text;
    std::memcpy(reinterpret_cast<char*>(buffer), text.c_str(), text.size() + 1);
    return static_cast<LRESULT>(text.size());
}

LRESULT ItemList::TextLength(int index) const
{
    if (!Valid(index)) return -1;
    return hasStrings_ ? static_cast<LRESULT>(At(index).text.size()) : static_cast<LRESULT>(sizeof(ULONG_PTR));
}

}  // namespace winsim::ui
