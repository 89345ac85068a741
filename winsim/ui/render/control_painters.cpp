#include "ui/render/control_painters.h"

#include <commctrl.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <string>
#include <string_view>

#include "ui/render/display_text.h"
#include "ui/render/hit_map.h"
#include "ui/render/window_facts.h"

namespace winsim::ui::render {

namespace {

int Height(const CellRect& rect)
{
    return rect.bottom - rect.top;
}

// The row of a control one line high: its middle, where dialogs centre
// the labels beside it.
int LineRow(const PaintJob& job)
{
    RECT rect{};
    GetWindowRect(job.hwnd, &rect);
    return RowOf(job.at, (rect.top + rect.bottom) / 2);
}

// A one-line field: [text      ] with an optional mark before the closing bracket.
void Field(const PaintJob& job, int row, const char* mark)
{
    const CellRect area = job.clip;
    job.grid.Put(row, job.rect.left, '[', {}, area);
    job.grid.Put(row, job.rect.right - 1, ']', {}, area);
    if (*mark != '\0')
        job.grid.Put(row, job.rect.right - 2, *mark, {}, area);
}

// Text of a one-line field, moved onto the field's row.
void FieldText(const PaintJob& job, int row, const std::string& text, int reserve)
{
    const CellRect inner{row, job.rect.left + 1, row + 1, job.rect.right - 1 - reserve};
    job.grid.Text(row, inner.left, text, {}, inner.Intersect(job.clip));
}

Painted Boxed(const PaintJob& job, bool lines)
{
    CellRect inside = job.rect;
    if (Framed(job.hwnd) && Height(job.rect) >= 3) {
        job.grid.Box(job.rect, false, job.clip);
        inside = job.rect.Inset(1);
    }
    PaintScrollBars(job, &inside);
    int row = inside.top;
    if (lines) {
        PlaceLines(job.grid, job.hwnd, inside, job.clip);
    } else {
        const int first = PlaceText(job.grid, job.at, job.hwnd, inside.Intersect(job.clip));
        if (first >= 0)
            row = first;
    }
    return Painted{inside, row};
}

// A child window with a title bar of its own (an MDI child): opaque, framed,
// its title on the first row inside the frame.
Painted Captioned(const PaintJob& job)
{
    job.grid.Clear(job.rect, job.clip);
    job.grid.Box(job.rect, false, job.clip);
    CellRect inside = job.rect.Inset(1);
    CellStyle title;
    title.title = true;
    const CellRect bar = CellRect{inside.top, inside.left, inside.top + 1, inside.right}.Intersect(job.clip);
    job.grid.Mark(bar, title, job.clip);
    job.grid.Text(bar.top, inside.left, " " + TextOf(job.hwnd), title, bar);
    if (StyleOf(job.hwnd) & WS_SYSMENU)
        job.grid.Text(bar.top, inside.right - 3, "[X]", title, bar);
    for (int col = bar.left; col < bar.right; ++col) {
        job.grid.SetHit(bar.top, col,
                        Hit{job.hwnd, POINT{}, col >= inside.right - 3 ? HitPart::kClose : HitPart::kCaption},
                        job.clip);
    }
    inside.top++;
    PaintScrollBars(job, &inside);
    PlaceText(job.grid, job.at, job.hwnd, inside.Intersect(job.clip));
    return Painted{inside, bar.top};
}

Painted Button(const PaintJob& job)
{
    const DWORD type = StyleOf(job.hwnd) & BS_TYPEMASK;
    if (type == BS_GROUPBOX) {
        job.grid.Box(job.rect, false, job.clip);
        const std::string text = TextOf(job.hwnd);
        if (!text.empty())
            job.grid.Text(job.rect.top, job.rect.left + 1, " " + text + " ", {}, job.clip);
        return Painted{job.rect.Inset(1), job.rect.top};
    }
    const int first = PlaceText(job.grid, job.at, job.hwnd, job.rect.Intersect(job.clip));
    const int row = first >= 0 ? first : LineRow(job);
    if (type == BS_PUSHBUTTON || type == BS_DEFPUSHBUTTON)
        Field(job, row, "");
    return Painted{job.rect, row};
}

Painted Static(const PaintJob& job)
{
    const DWORD type = StyleOf(job.hwnd) & SS_TYPEMASK;
    if (type == SS_ETCHEDHORZ) {
        job.grid.HorizontalLine(LineRow(job), job.rect.left, job.rect.right, false, job.clip);
        return Painted{job.rect, job.rect.top};
    }
    if (type == SS_ETCHEDFRAME || type == SS_BLACKFRAME || type == SS_GRAYFRAME || type == SS_WHITEFRAME) {
        job.grid.Box(job.rect, false, job.clip);
        return Painted{job.rect.Inset(1), job.rect.top};
    }
    return Boxed(job, false);
}

Painted Edit(const PaintJob& job)
{
    if (Framed(job.hwnd) && !(StyleOf(job.hwnd) & ES_MULTILINE)) {
        const int row = LineRow(job);
        Field(job, row, "");
        std::string text = TextOf(job.hwnd);
        if (StyleOf(job.hwnd) & ES_PASSWORD)
            text.assign(text.size(), '*');
        FieldText(job, row, text, 0);
        return Painted{job.rect, row};
    }
    return Boxed(job, (StyleOf(job.hwnd) & ES_MULTILINE) != 0);
}

// A drop-down list: the field, and while it is dropped the list below it in
// a box over whatever lies there.
Painted Combo(const PaintJob& job)
{
    const int row = LineRow(job);
    Field(job, row, "v");
    FieldText(job, row, ComboField(job.hwnd), 1);
    if (SendMessageA(job.hwnd, CB_GETDROPPEDSTATE, 0, 0)) {
        const auto selection = static_cast<int>(SendMessageA(job.hwnd, CB_GETCURSEL, 0, 0));
        const auto count = static_cast<int>(SendMessageA(job.hwnd, CB_GETCOUNT, 0, 0));
        std::vector<std::string> items;
        for (int i = 0; i < count; ++i)
            items.push_back(ComboItem(job.hwnd, i));
        const CellRect box{row + 1, job.rect.left, row + 3 + std::max(count, 1), job.rect.right};
        // The list opens below the window, whose height is its field's.
        RECT window{};
        GetWindowRect(job.hwnd, &window);
        const LONG field = window.bottom - window.top;
        const auto itemHeight = static_cast<LONG>(SendMessageA(job.hwnd, CB_GETITEMHEIGHT, 0, 0));
        CharGrid* grid = &job.grid;
        HWND combo = job.hwnd;
        job.overlays->push_back([grid, box, items, selection, combo, field, itemHeight] {
            grid->Clear(box, grid->Bounds());
            grid->Box(box, false, grid->Bounds());
            const CellRect inside = box.Inset(1);
            for (size_t i = 0; i < items.size(); ++i) {
                const int line = inside.top + static_cast<int>(i);
                CellStyle style;
                style.highlight = static_cast<int>(i) == selection;
                if (style.highlight)
                    grid->Mark(CellRect{line, inside.left, line + 1, inside.right}, style, inside);
                grid->Text(line, inside.left, items[i], style, inside);
                MapLine(*grid, combo, line, inside, inside, field + static_cast<LONG>(i) * itemHeight);
            }
        });
    }
    return Painted{job.rect, row};
}

// The tabs in a row on top, the chosen one in brackets, and the frame of the
// display area under them.
Painted Tabs(const PaintJob& job)
{
    const auto count = static_cast<int>(SendMessageA(job.hwnd, TCM_GETITEMCOUNT, 0, 0));
    const auto selection = static_cast<int>(SendMessageA(job.hwnd, TCM_GETCURSEL, 0, 0));
    const CellRect frame{job.rect.top + 1, job.rect.left, job.rect.bottom, job.rect.right};
    job.grid.Box(frame, false, job.clip);
    int col = job.rect.left;
    for (int i = 0; i < count; ++i) {
        const std::string label = TabLabel(job.hwnd, i);
        const bool chosen = i == selection;
        CellStyle style;
        style.highlight = chosen;
        job.grid.Text(job.rect.top, col, chosen ? "[" + label + "]" : " " + label + " ", style, job.clip);
        RECT tab{};
        SendMessageA(job.hwnd, TCM_GETITEMRECT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&tab));
        const POINT middle{(tab.left + tab.right) / 2, (tab.top + tab.bottom) / 2};
        for (int at = col; at < col + static_cast<int>(label.size()) + 2; ++at) {
            job.grid.SetHit(job.rect.top, at, Hit{job.hwnd, middle, HitPart::kClient}, job.clip);
        }
        col += static_cast<int>(label.size()) + 2;
    }
    return Painted{frame.Inset(1), job.rect.top};
}

HTREEITEM NextItem(HWND tree, HTREEITEM item, WPARAM how)
{
    return reinterpret_cast<HTREEITEM>(
        SendMessageA(tree, TVM_GETNEXTITEM, how, reinterpret_cast<LPARAM>(item)));
}

// The items a user sees, one to a row, indented by level, with [+] or [-]
// before an item that has children.
Painted Tree(const PaintJob& job)
{
    CellRect inside = job.rect;
    if (Framed(job.hwnd) && Height(job.rect) >= 3) {
        job.grid.Box(job.rect, false, job.clip);
        inside = job.rect.Inset(1);
    }
    PaintScrollBars(job, &inside);
    const CellRect area = inside.Intersect(job.clip);
    int row = inside.top;
    for (HTREEITEM item = NextItem(job.hwnd, nullptr, TVGN_FIRSTVISIBLE);
         item != nullptr && row < inside.bottom; item = NextItem(job.hwnd, item, TVGN_NEXTVISIBLE), ++row) {
        char text[256] = {};
        TVITEMA info{};
        info.mask = TVIF_TEXT | TVIF_STATE | TVIF_CHILDREN;
        info.hItem = item;
        info.stateMask = TVIS_EXPANDED | TVIS_SELECTED;
        info.pszText = text;
        info.cchTextMax = sizeof(text);
        SendMessageA(job.hwnd, TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&info));
        int level = 0;
        for (HTREEITEM parent = NextItem(job.hwnd, item, TVGN_PARENT); parent != nullptr;
             parent = NextItem(job.hwnd, parent, TVGN_PARENT)) {
            ++level;
        }
        RECT line{};
        std::memcpy(&line, &item, sizeof(item));  // TVM_GETITEMRECT reads the item from the rectangle
        if (SendMessageA(job.hwnd, TVM_GETITEMRECT, FALSE, reinterpret_cast<LPARAM>(&line))) {
            MapLine(job.grid, job.hwnd, row, inside, job.clip, line.top);
        }
        const char* button = !info.cChildren ? "    " : (info.state & TVIS_EXPANDED) ? "[-] " : "[+] ";
        const int col = inside.left + 2 * level;
        job.grid.Text(row, col, button, {}, area);
        CellStyle style;
        style.highlight = (info.state & TVIS_SELECTED) != 0;
        job.grid.Text(row, col + 4, text, style, area);
    }
    return Painted{inside, inside.top};
}

// [#####     ] in proportion to the position within the range.
Painted Progress(const PaintJob& job)
{
    const int row = LineRow(job);
    Field(job, row, "");
    PBRANGE range{};
    SendMessageA(job.hwnd, PBM_GETRANGE, FALSE, reinterpret_cast<LPARAM>(&range));
    const auto position = static_cast<int>(SendMessageA(job.hwnd, PBM_GETPOS, 0, 0));
    const int width = job.rect.right - job.rect.left - 2;
    const int span = range.iHigh - range.iLow;
    const int done = span > 0 ? std::clamp((position - range.iLow) * width / span, 0, width) : 0;
    FieldText(job, row, std::string(static_cast<size_t>(done), '#'), 0);
    return Painted{job.rect, row};
}

}  // namespace

void PaintScrollBars(const PaintJob& job, CellRect* inside)
{
    const DWORD style = StyleOf(job.hwnd);
    const bool vertical = (style & WS_VSCROLL) != 0;
    const bool horizontal = (style & WS_HSCROLL) != 0;
    // put(at, ch, part) draws one cell of the bar.
    auto bar = [&](int bar, int first, int last, auto put) {
        SCROLLINFO info{sizeof(info), SIF_ALL};
        GetScrollInfo(job.hwnd, bar, &info);
        const int length = last - first + 1;
        if (length < 2)
            return;
        const bool up = bar == SB_VERT;
        const int track = length - 2;
        const int lastPos = info.nMax - std::max(static_cast<int>(info.nPage) - 1, 0);
        const int thumb = track < 1 || lastPos <= info.nMin
                              ? -1
                              : first + 1 + (info.nPos - info.nMin) * (track - 1) / (lastPos - info.nMin);
        put(first, up ? '^' : '<', up ? HitPart::kLineUp : HitPart::kLineLeft);
        put(last, up ? 'v' : '>', up ? HitPart::kLineDown : HitPart::kLineRight);
        for (int at = first + 1; at < last; ++at) {
            if (at == thumb) {
                put(at, '#', HitPart::kNone);
            } else if (at < thumb || thumb < 0) {
                put(at, ':', up ? HitPart::kPageUp : HitPart::kPageLeft);
            } else {
                put(at, ':', up ? HitPart::kPageDown : HitPart::kPageRight);
            }
        }
    };
    if (vertical) {
        const int col = inside->right - 1;
        const int bottom = inside->bottom - 1 - (horizontal ? 1 : 0);
        bar(SB_VERT, inside->top, bottom, [&](int row, char ch, HitPart part) {
            job.grid.Put(row, col, ch, {}, job.clip);
            MapPart(job.grid, job.hwnd, row, col, part, job.clip);
        });
        inside->right--;
    }
    if (horizontal) {
        const int row = inside->bottom - 1;
        bar(SB_HORZ, inside->left, inside->right - 1, [&](int col, char ch, HitPart part) {
            job.grid.Put(row, col, ch, {}, job.clip);
            MapPart(job.grid, job.hwnd, row, col, part, job.clip);
        });
        inside->bottom--;
    }
}

Painted PaintControl(const PaintJob& job)
{
    const std::string cls = ClassOf(job.hwnd);
    auto is = [&](std::string_view name) {
        return std::equal(cls.begin(), cls.end(), name.begin(), name.end(), [](char a, char b) {
            return std::tolower(static_cast<unsigned char>(a)) == std::tolower(static_cast<unsigned char>(b));
        });
    };
    if (is("Button"))
        return Button(job);
    if (is("Static"))
        return Static(job);
    if (is("Edit"))
        return Edit(job);
    if (is("ListBox"))
        return Boxed(job, true);
    if (is("ComboBox"))
        return Combo(job);
    if (is(WC_TABCONTROLA))
        return Tabs(job);
    if (is(WC_TREEVIEWA))
        return Tree(job);
    if (is(PROGRESS_CLASSA))
        return Progress(job);
    if ((StyleOf(job.hwnd) & WS_CAPTION) == WS_CAPTION)
        return Captioned(job);
    return Boxed(job, Framed(job.hwnd));
}

}  // namespace winsim::ui::render
