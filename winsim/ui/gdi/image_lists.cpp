// Image lists: images of one size copied from icons. A list is its image
// bitmap and, with ILC_MASK, a mask bitmap: two GDI objects of the program
// that created it until ImageList_Destroy. Controls that show a list never
// destroy it; it stays its creator's. Each image keeps the pixels of the
// icon it was copied from, where they are known, for pictures.
#include <commctrl.h>

#include <mutex>
#include <set>
#include <vector>

#include "ui/gdi/icons.h"
#include "ui/gdi/image_lists.h"
#include "ui/program.h"

using namespace winsim::ui;

struct _IMAGELIST {
    Program* program = nullptr;
    int cx = 0;
    int cy = 0;
    UINT flags = 0;
    std::vector<std::shared_ptr<const IconPixels>> images;
};

namespace {

struct ImageListTable {
    std::mutex lock;
    std::set<HIMAGELIST> lists;
};

ImageListTable& Table()
{
    static ImageListTable table;
    return table;
}

int GdiObjectsOf(UINT flags) { return (flags & ILC_MASK) ? 2 : 1; }

// Runs `fn` on a live list under the table's lock; `otherwise` for a handle
// that is no list.
template <typename Fn, typename R>
R WithList(HIMAGELIST himl, R otherwise, Fn&& fn)
{
    std::lock_guard<std::mutex> guard(Table().lock);
    if (Table().lists.count(himl) == 0) return otherwise;
    return fn(*himl);
}

}  // namespace

extern "C" {

HIMAGELIST WINAPI ImageList_Create(int cx, int cy, UINT flags, int cInitial, int cGrow)
{
    if (cx <= 0 || cy <= 0 || cInitial < 0 || cGrow < 0) return nullptr;
    auto* list = new _IMAGELIST{&CurrentProgram(), cx, cy, flags, {}};
    list->program->gdiObjects += GdiObjectsOf(flags);
    std::lock_guard<std::mutex> guard(Table().lock);
    Table().lists.insert(list);
    return list;
}

BOOL WINAPI ImageList_Destroy(HIMAGELIST himl)
{
    {
        std::lock_guard<std::mutex> guard(Table().lock);
        if (Table().lists.erase(himl) == 0) return FALSE;
    }
    himl->program->gdiObjects -= GdiObjectsOf(himl->flags);
    delete himl;
    return TRUE;
}

int WINAPI ImageList_GetImageCount(HIMAGELIST himl)
{
    return WithList(himl, 0, [](_IMAGELIST& list) { return static_cast<int>(list.images.size()); });
}

BOOL WINAPI ImageList_GetIconSize(HIMAGELIST himl, int* cx, int* cy)
{
    if (cx == nullptr || cy == nullptr) return FALSE;
    return WithList(himl, FALSE, [&](_IMAGELIST& list) {
        *cx = list.cx;
        *cy = list.cy;
        return TRUE;
    });
}

// The icon is copied (scaled to the list's size); the caller keeps it.
int WINAPI ImageList_ReplaceIcon(HIMAGELIST himl, int i, HICON hicon)
{
    int width = 0;
    int height = 0;
    if (!IconSize(hicon, &width, &height)) return -1;
    std::shared_ptr<const IconPixels> pixels = PixelsOf(hicon);
    return WithList(himl, -1, [&](_IMAGELIST& list) {
        if (i == -1) {
            list.images.push_back(std::move(pixels));
            return static_cast<int>(list.images.size()) - 1;
        }
        if (i < 0 || i >= static_cast<int>(list.images.size())) return -1;
        list.images[static_cast<size_t>(i)] = std::move(pixels);
        return i;
    });
}

BOOL WINAPI ImageList_Remove(HIMAGELIST himl, int i)
{
    return WithList(himl, FALSE, [&](_IMAGELIST& list) {
        if (i == -1) {
            list.images.clear();
            return TRUE;
        }
        if (i < 0 || i >= static_cast<int>(list.images.size())) return FALSE;
        list.images.erase(list.images.begin() + i);
        return TRUE;
    });
}

}  // extern "C"

namespace winsim::ui {

std::shared_ptr<const IconPixels> ImagePixelsOf(HIMAGELIST himl, int index)
{
    return WithList(himl, std::shared_ptr<const IconPixels>(), [&](_IMAGELIST& list) {
        if (index < 0 || index >= static_cast<int>(list.images.size())) return std::shared_ptr<const IconPixels>();
        return list.images[static_cast<size_t>(index)];
    });
}

}  // namespace winsim::ui
