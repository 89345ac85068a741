// Image lists: images of one size copied from icons. A list is its image
// bitmap and, with ILC_MASK, a mask bitmap: two GDI objects of the program
// that created it until ImageList_Destroy. Controls that show a list never
// destroy it; it stays its creator's.
#include <commctrl.h>

#include <mutex>
#include <set>
#include <vector>

#include "ui/gdi/icons.h"
#include "ui/program.h"

using namespace winsim::ui;

struct _IMAGELIST {
    Program* program = nullptr;
    int cx = 0;
    int cy = 0;
    UINT flags = 0;
    int images = 0;
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
    auto* list = new _IMAGELIST{&CurrentProgram(), cx, cy, flags, 0};
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
    return WithList(himl, 0, [](_IMAGELIST& list) { return list.images; });
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
    return WithList(himl, -1, [&](_IMAGELIST& list) {
        if (i == -1) return list.images++;
        return i >= 0 && i < list.images ? i : -1;
    });
}

BOOL WINAPI ImageList_Remove(HIMAGELIST himl, int i)
{
    return WithList(himl, FALSE, [&](_IMAGELIST& list) {
        if (i == -1) {
            list.images = 0;
            return TRUE;
        }
        if (i < 0 || i >= list.images) return FALSE;
        list.images--;
        return TRUE;
    });
}

}  // extern "C"
