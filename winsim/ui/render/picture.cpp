#include "ui/render/picture.h"

#include <cairo.h>
#include <commctrl.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "ui/gdi/display_list.h"
#include "ui/gdi/icons.h"
#include "ui/gdi/image_lists.h"
#include "ui/render/cell_geometry.h"
#include "ui/render/window_facts.h"

namespace winsim::ui::render {

namespace {

struct Rgb {
    double r, g, b;
};

Rgb FromColor(COLORREF color)
{
    return Rgb{GetRValue(color) / 255.0, GetGValue(color) / 255.0, GetBValue(color) / 255.0};
}

const Rgb kFace = FromColor(RGB(240, 240, 240));
const Rgb kWhite{1, 1, 1};
const Rgb kBorder = FromColor(RGB(122, 122, 122));
const Rgb kShadow = FromColor(RGB(160, 160, 160));
const Rgb kButton = FromColor(RGB(225, 225, 225));
const Rgb kButtonBorder = FromColor(RGB(173, 173, 173));
const Rgb kHighlight = FromColor(RGB(0, 120, 215));
const Rgb kInactiveCaption = FromColor(RGB(191, 205, 219));
const Rgb kProgress = FromColor(RGB(6, 176, 37));
const Rgb kGrayText = FromColor(RGB(109, 109, 109));
constexpr int kMenuPadding = 7;  // each side of a menu bar item's text

class Painter {
public:
    Painter(cairo_t* cr, POINT origin, HWND focus) : cr_(cr), origin_(origin), focus_(focus)
    {
        cairo_select_font_face(cr_, "DejaVu Sans Mono", CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_NORMAL);
    }

    void TopLevel(HWND hwnd, bool active)
    {
        active_ = active;
        const RECT rect = Local(WindowRect(hwnd));
        Fill(rect, kFace);
        const DWORD style = StyleOf(hwnd);
        if (style & (WS_BORDER | WS_DLGFRAME | WS_THICKFRAME))
            Stroke(rect, kBorder);
        if ((style & WS_CAPTION) == WS_CAPTION)
            Caption(hwnd, rect, active);
        const RECT client = ClientRect(hwnd);
        if (GetMenu(hwnd) != nullptr)
            MenuBar(hwnd, rect, client);
        Edges(hwnd, client);
        ScrollBars(hwnd, client);
        Clip(client, [&] {
            Texts(hwnd);
            Children(hwnd);
        });
        for (HWND combo : dropped_)
            DroppedList(combo);
    }

private:
    RECT WindowRect(HWND hwnd)
    {
        RECT rect{};
        GetWindowRect(hwnd, &rect);
        return rect;
    }

    RECT Local(RECT screen) const
    {
        OffsetRect(&screen, -origin_.x, -origin_.y);
        return screen;
    }

    // The client area in picture coordinates.
    RECT ClientRect(HWND hwnd) const
    {
        RECT client{};
        GetClientRect(hwnd, &client);
        POINT corner{0, 0};
        ClientToScreen(hwnd, &corner);
        OffsetRect(&client, corner.x - origin_.x, corner.y - origin_.y);
        return client;
    }

    void Color(const Rgb& c) { cairo_set_source_rgb(cr_, c.r, c.g, c.b); }

    void Fill(const RECT& r, const Rgb& c)
    {
        Color(c);
        cairo_rectangle(cr_, r.left, r.top, r.right - r.left, r.bottom - r.top);
        cairo_fill(cr_);
    }

    void Stroke(const RECT& r, const Rgb& c)
    {
        Color(c);
        cairo_set_line_width(cr_, 1);
        cairo_rectangle(cr_, r.left + 0.5, r.top + 0.5, r.right - r.left - 1, r.bottom - r.top - 1);
        cairo_stroke(cr_);
    }

    void FocusRect(RECT r)
    {
        InflateRect(&r, -2, -2);
        const double dash[] = {1, 1};
        cairo_set_dash(cr_, dash, 2, 0);
        Stroke(r, Rgb{0, 0, 0});
        cairo_set_dash(cr_, nullptr, 0, 0);
    }

    // Text with its top-left corner at (x, y), one cell height tall.
    void Text(double x, double y, const std::string& text, const Rgb& c)
    {
        Text(x, y, text, c, CellWidth(), CellHeight());
    }

    // Text in a font of its own: each character `advance` wide, `height` tall.
    void Text(double x, double y, const std::string& text, const Rgb& c, double advance, double height)
    {
        // DejaVu Sans Mono advances 0.602 em.
        cairo_set_font_size(cr_, advance / 0.602);
        cairo_font_extents_t font;
        cairo_font_extents(cr_, &font);
        Color(c);
        cairo_move_to(cr_, x, y + (height + font.ascent - font.descent) / 2);
        cairo_show_text(cr_, text.c_str());
    }

    template <typename Fn>
    void Clip(const RECT& r, Fn&& draw)
    {
        cairo_save(cr_);
        cairo_rectangle(cr_, r.left, r.top, r.right - r.left, r.bottom - r.top);
        cairo_clip(cr_);
        draw();
        cairo_restore(cr_);
    }

    // The frame's width as the window system lays it out.
    static int FrameWidth(DWORD style)
    {
        if (style & (WS_THICKFRAME | WS_DLGFRAME))
            return GetSystemMetrics(SM_CXFRAME);
        return (style & WS_BORDER) ? GetSystemMetrics(SM_CXBORDER) : 0;
    }

    // The extended styles' edges between the frame and the client area.
    static int EdgeWidth(DWORD exStyle)
    {
        return ((exStyle & WS_EX_CLIENTEDGE) ? 2 : 0) + ((exStyle & WS_EX_STATICEDGE) ? 1 : 0);
    }

    // One row above the client area and its edges, the items' texts in a
    // row with their mnemonic prefixes dropped.
    void MenuBar(HWND hwnd, const RECT& rect, const RECT& client)
    {
        const int frame = FrameWidth(StyleOf(hwnd));
        const LONG bottom = client.top - EdgeWidth(ExStyleOf(hwnd));
        const RECT bar{rect.left + frame, bottom - GetSystemMetrics(SM_CYMENU), rect.right - frame, bottom};
        Fill(bar, kWhite);
        double x = bar.left + 2;
        const double top = (bar.top + bar.bottom - CellHeight()) / 2.0;
        for (const MenuBarItem& item : MenuBarItems(hwnd)) {
            Text(x + kMenuPadding, top, item.label, item.grayed ? kGrayText : Rgb{0, 0, 0});
            x += static_cast<double>(item.label.size()) * CellWidth() + 2 * kMenuPadding;
        }
    }

    void Caption(HWND hwnd, const RECT& rect, bool active)
    {
        const int frame = FrameWidth(StyleOf(hwnd));
        const RECT bar{rect.left + frame, rect.top + frame, rect.right - frame,
                       rect.top + frame + GetSystemMetrics(SM_CYCAPTION)};
        Fill(bar, active ? kHighlight : kInactiveCaption);
        const Rgb ink = active ? kWhite : Rgb{0, 0, 0};
        const double middle = (bar.top + bar.bottom - CellHeight()) / 2.0;
        Text(bar.left + 6, middle, TextOf(hwnd), ink);
        if (!(StyleOf(hwnd) & WS_SYSMENU))
            return;
        const double x = bar.right - 16, y = (bar.top + bar.bottom) / 2.0;
        Color(ink);
        cairo_set_line_width(cr_, 1.2);
        cairo_move_to(cr_, x - 4, y - 4);
        cairo_line_to(cr_, x + 4, y + 4);
        cairo_move_to(cr_, x + 4, y - 4);
        cairo_line_to(cr_, x - 4, y + 4);
        cairo_stroke(cr_);
    }

    // What the window's WM_PAINT drew, at its client coordinates: the
    // backgrounds it filled under its text and shapes.
    void Texts(HWND hwnd)
    {
        Fills(hwnd);
        Marks(hwnd, 0, 0);
    }

    void Fills(HWND hwnd)
    {
        const RECT client = ClientRect(hwnd);
        for (const DisplayItem& item : DisplayListOf(hwnd)) {
            RECT r = item.rect;
            OffsetRect(&r, client.left, client.top);
            if (item.kind == DisplayItem::Kind::kFill)
                Fill(r, FromColor(item.color));
        }
    }

    // The text and shapes; `skip` characters of each text left out and the
    // rest moved right by `shift`.
    void Marks(HWND hwnd, size_t skip, double shift)
    {
        const RECT client = ClientRect(hwnd);
        for (const DisplayItem& item : DisplayListOf(hwnd)) {
            RECT r = item.rect;
            OffsetRect(&r, client.left, client.top);
            switch (item.kind) {
            case DisplayItem::Kind::kText: {
                const std::string text = item.text.substr(std::min(skip, item.text.size()));
                // The item's box is as wide as its font drew it.
                const double advance = item.text.empty() ? CellWidth()
                                                         : static_cast<double>(r.right - r.left) /
                                                               static_cast<double>(item.text.size());
                Text(r.left + shift, r.top, text, FromColor(item.color), advance,
                     r.bottom - r.top);
                break;
            }
            case DisplayItem::Kind::kRectangle:
                Stroke(r, kButtonBorder);
                break;
            case DisplayItem::Kind::kFill:
                break;
            case DisplayItem::Kind::kIcon:
                Icon(r, item.icon);
                break;
            case DisplayItem::Kind::kImage:
                Image(r, *item.image);
                break;
            }
        }
    }

    // The icon's image scaled into r; a framed square stands for one whose
    // pixels are not known (the system's icons, PNG-compressed images).
    void Icon(const RECT& r, HICON icon)
    {
        if (std::shared_ptr<const IconPixels> pixels = PixelsOf(icon)) {
            Image(r, *pixels);
            return;
        }
        Fill(r, kHighlight);
        RECT inner = r;
        InflateRect(&inner, -6, -6);
        Fill(inner, kWhite);
    }

    void Image(const RECT& r, const IconPixels& pixels)
    {
        cairo_surface_t* surface =
            cairo_image_surface_create(CAIRO_FORMAT_ARGB32, pixels.width, pixels.height);
        cairo_surface_flush(surface);
        unsigned char* data = cairo_image_surface_get_data(surface);
        const int stride = cairo_image_surface_get_stride(surface);
        for (int y = 0; y < pixels.height; ++y) {
            auto* row = reinterpret_cast<uint32_t*>(data + static_cast<size_t>(y) * stride);
            for (int x = 0; x < pixels.width; ++x)
                row[x] = Premultiplied(pixels.argb[static_cast<size_t>(y) * pixels.width + x]);
        }
        cairo_surface_mark_dirty(surface);
        cairo_save(cr_);
        cairo_translate(cr_, r.left, r.top);
        cairo_scale(cr_, static_cast<double>(r.right - r.left) / pixels.width,
                    static_cast<double>(r.bottom - r.top) / pixels.height);
        cairo_set_source_surface(cr_, surface, 0, 0);
        cairo_paint(cr_);
        cairo_restore(cr_);
        cairo_surface_destroy(surface);
    }

    // Cairo keeps colour multiplied by alpha.
    static uint32_t Premultiplied(uint32_t argb)
    {
        const uint32_t alpha = argb >> 24;
        auto channel = [&](int shift) { return ((argb >> shift & 0xFF) * alpha / 255) << shift; };
        return alpha << 24 | channel(16) | channel(8) | channel(0);
    }

    void Children(HWND parent)
    {
        for (HWND child : DrawingOrder(parent)) {
            const RECT rect = Local(WindowRect(child));
            Clip(rect, [&] { Control(child, rect); });
            if (child == focus_ && (StyleOf(child) & WS_CAPTION) != WS_CAPTION)
                FocusRect(rect);
            Clip(ClientRect(child), [&] { Children(child); });
        }
    }

    void Control(HWND hwnd, const RECT& rect)
    {
        const std::string cls = ClassOf(hwnd);
        if (cls == "button")
            return Button(hwnd, rect);
        if (cls == "mdiclient")
            Fill(rect, FromColor(GetSysColor(COLOR_APPWORKSPACE)));
        if ((StyleOf(hwnd) & WS_CAPTION) == WS_CAPTION)
            return Captioned(hwnd, rect);
        if (cls == "msctls_statusbar32")
            Panes(hwnd);
        if (cls == "edit" || cls == "listbox" || cls == "systreeview32")
            Fill(rect, kWhite);
        if (cls == "combobox")
            return Combo(hwnd, rect);
        if (cls == "systabcontrol32")
            return Tabs(hwnd);
        if (cls == "msctls_progress32")
            return Progress(hwnd, rect);
        if (StyleOf(hwnd) & WS_BORDER)
            Stroke(rect, kBorder);
        Edges(hwnd, ClientRect(hwnd));
        ScrollBars(hwnd, ClientRect(hwnd));
        if (cls == "systreeview32")
            return Tree(hwnd);
        Clip(ClientRect(hwnd), [&] { Texts(hwnd); });
    }

    // A child window with a title bar of its own (an MDI child): its caption
    // shows active while it is the active child of the active window.
    void Captioned(HWND hwnd, const RECT& rect)
    {
        Fill(rect, kFace);
        Stroke(rect, kBorder);
        Caption(hwnd, rect, active_ && IsActiveMdiChild(hwnd));
        const RECT client = ClientRect(hwnd);
        Edges(hwnd, client);
        ScrollBars(hwnd, client);
        Clip(client, [&] { Texts(hwnd); });
    }

    // Each pane of a status bar in a thin sunken frame.
    void Panes(HWND hwnd)
    {
        const RECT client = ClientRect(hwnd);
        const auto count = static_cast<int>(SendMessageA(hwnd, SB_GETPARTS, 0, 0));
        for (int i = 0; i < count; ++i) {
            RECT pane{};
            if (!SendMessageA(hwnd, SB_GETRECT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&pane)))
                continue;
            OffsetRect(&pane, client.left, client.top);
            Stroke(pane, kShadow);
        }
    }

    void Button(HWND hwnd, const RECT& rect)
    {
        const DWORD type = StyleOf(hwnd) & BS_TYPEMASK;
        if (type == BS_GROUPBOX) {
            RECT frame = rect;
            frame.top += CellHeight() / 2;
            Stroke(frame, kButtonBorder);
            const std::string text = TextOf(hwnd);
            Fill(RECT{rect.left + 6, rect.top, rect.left + 10 + static_cast<LONG>(text.size()) * CellWidth(),
                      rect.top + CellHeight()},
                 kFace);
            Text(rect.left + 8, rect.top, text, Rgb{0, 0, 0});
            return;
        }
        if (type == BS_PUSHBUTTON || type == BS_DEFPUSHBUTTON) {
            Fill(rect, kButton);
            Stroke(rect, type == BS_DEFPUSHBUTTON ? kHighlight : kButtonBorder);
            Clip(ClientRect(hwnd), [&] { Texts(hwnd); });
            return;
        }
        // The marker the button draws for the terminal ("[X] ") becomes a box
        // or a circle; the text keeps its place after it.
        Clip(ClientRect(hwnd), [&] { Fills(hwnd); });
        const bool radio = type == BS_RADIOBUTTON || type == BS_AUTORADIOBUTTON;
        const LRESULT check = SendMessageA(hwnd, BM_GETCHECK, 0, 0);
        const double top = rect.top + (CellHeight() - 13) / 2.0 + 1;
        Color(kWhite);
        if (radio) {
            cairo_arc(cr_, rect.left + 7, top + 6, 6, 0, 6.2832);
            cairo_fill_preserve(cr_);
            Color(Rgb{0.2, 0.2, 0.2});
            cairo_set_line_width(cr_, 1);
            cairo_stroke(cr_);
            if (check == BST_CHECKED) {
                cairo_arc(cr_, rect.left + 7, top + 6, 3, 0, 6.2832);
                cairo_fill(cr_);
            }
        } else {
            const RECT box{rect.left + 1, static_cast<LONG>(top), rect.left + 14,
                           static_cast<LONG>(top) + 13};
            Fill(box, kWhite);
            Stroke(box, Rgb{0.2, 0.2, 0.2});
            if (check != BST_UNCHECKED) {
                cairo_set_line_width(cr_, 2);
                cairo_move_to(cr_, box.left + 3, box.top + 6);
                cairo_line_to(cr_, box.left + 5.5, box.top + 9.5);
                cairo_line_to(cr_, box.left + 10, box.top + 3);
                cairo_stroke(cr_);
            }
        }
        Clip(ClientRect(hwnd), [&] { Marks(hwnd, 4, 18); });
    }

    // A small filled triangle pointing along (dx, dy).
    void Arrow(double x, double y, int dx, int dy)
    {
        Color(Rgb{0.3, 0.3, 0.3});
        cairo_move_to(cr_, x + 3 * dx, y + 3 * dy);
        cairo_line_to(cr_, x - 2 * dx + 4 * dy, y - 2 * dy + 4 * dx);
        cairo_line_to(cr_, x - 2 * dx - 4 * dy, y - 2 * dy - 4 * dx);
        cairo_close_path(cr_);
        cairo_fill(cr_);
    }

    // The window is the field and its drop button; its list drops below it.
    // The field's text stops at the button.
    void Combo(HWND hwnd, const RECT& box)
    {
        Fill(box, kWhite);
        Stroke(box, kBorder);
        const RECT button{box.right - 1 - GetSystemMetrics(SM_CXVSCROLL), box.top + 1, box.right - 1, box.bottom - 1};
        Fill(button, kButton);
        Arrow((button.left + button.right) / 2.0, (box.top + box.bottom) / 2.0, 0, 1);
        Clip(RECT{box.left + 1, box.top + 1, button.left, box.bottom - 1},
             [&] { Text(box.left + 3, box.top + 3, ComboField(hwnd), Rgb{0, 0, 0}); });
        if (SendMessageA(hwnd, CB_GETDROPPEDSTATE, 0, 0))
            dropped_.push_back(hwnd);
    }

    // Over everything else, as the list's own pop-up window is.
    void DroppedList(HWND combo)
    {
        const RECT rect = Local(WindowRect(combo));
        const auto height = static_cast<LONG>(SendMessageA(combo, CB_GETITEMHEIGHT, 0, 0));
        const auto count = static_cast<int>(SendMessageA(combo, CB_GETCOUNT, 0, 0));
        const auto selection = static_cast<int>(SendMessageA(combo, CB_GETCURSEL, 0, 0));
        const RECT list{rect.left, rect.bottom, rect.right, rect.bottom + count * height + 2};
        Fill(list, kWhite);
        Stroke(list, kBorder);
        for (int i = 0; i < count; ++i) {
            const LONG top = list.top + 1 + i * height;
            if (i == selection)
                Fill(RECT{list.left + 1, top, list.right - 1, top + height}, kHighlight);
            Text(list.left + 3, top, ComboItem(combo, i), i == selection ? kWhite : Rgb{0, 0, 0});
        }
    }

    void Tabs(HWND hwnd)
    {
        RECT body = ClientRect(hwnd);
        const RECT client = body;
        SendMessageA(hwnd, TCM_ADJUSTRECT, FALSE, reinterpret_cast<LPARAM>(&body));
        InflateRect(&body, 2, 2);
        // The classic look: the pages' dialog face continues the tabs'.
        Fill(body, kFace);
        Stroke(body, kButtonBorder);
        const auto count = static_cast<int>(SendMessageA(hwnd, TCM_GETITEMCOUNT, 0, 0));
        const auto selection = static_cast<int>(SendMessageA(hwnd, TCM_GETCURSEL, 0, 0));
        for (int i = 0; i < count; ++i) {
            RECT tab{};
            SendMessageA(hwnd, TCM_GETITEMRECT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&tab));
            OffsetRect(&tab, client.left, client.top);
            if (i == selection)
                InflateRect(&tab, 2, 2);
            tab.bottom = body.top + (i == selection ? 1 : 0);
            Fill(tab, kFace);
            Stroke(RECT{tab.left, tab.top, tab.right, tab.bottom + (i == selection ? 0 : 1)}, kButtonBorder);
            const std::string text = TabLabel(hwnd, i);
            Text((tab.left + tab.right - static_cast<double>(text.size()) * CellWidth()) / 2.0,
                 (tab.top + tab.bottom - CellHeight()) / 2.0, text, Rgb{0, 0, 0});
        }
    }

    HTREEITEM NextItem(HWND tree, HTREEITEM item, WPARAM how)
    {
        return reinterpret_cast<HTREEITEM>(
            SendMessageA(tree, TVM_GETNEXTITEM, how, reinterpret_cast<LPARAM>(item)));
    }

    void Tree(HWND hwnd)
    {
        const RECT client = ClientRect(hwnd);
        auto* images = reinterpret_cast<HIMAGELIST>(SendMessageA(hwnd, TVM_GETIMAGELIST, TVSIL_NORMAL, 0));
        // The room the tree keeps before each label for the item's image.
        int cx = 0;
        int cy = 0;
        if (images == nullptr || !ImageList_GetIconSize(images, &cx, &cy))
            cx = cy = 0;
        Clip(client, [&] {
            for (HTREEITEM item = NextItem(hwnd, nullptr, TVGN_FIRSTVISIBLE); item != nullptr;
                 item = NextItem(hwnd, item, TVGN_NEXTVISIBLE)) {
                char text[256] = {};
                TVITEMA info{};
                info.mask = TVIF_TEXT | TVIF_STATE | TVIF_CHILDREN | TVIF_IMAGE | TVIF_SELECTEDIMAGE;
                info.hItem = item;
                info.stateMask = TVIS_EXPANDED | TVIS_SELECTED;
                info.pszText = text;
                info.cchTextMax = sizeof(text);
                SendMessageA(hwnd, TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&info));
                RECT label{};
                std::memcpy(&label, &item,
                            sizeof(item));  // TVM_GETITEMRECT reads the item from the rectangle
                if (!SendMessageA(hwnd, TVM_GETITEMRECT, TRUE, reinterpret_cast<LPARAM>(&label)))
                    continue;
                OffsetRect(&label, client.left, client.top);
                if (info.cChildren) {
                    const LONG right = label.left - cx - 7;
                    const RECT button{right - 9, (label.top + label.bottom) / 2 - 4, right,
                                      (label.top + label.bottom) / 2 + 5};
                    Fill(button, kWhite);
                    Stroke(button, kBorder);
                    Color(Rgb{0, 0, 0});
                    cairo_set_line_width(cr_, 1);
                    cairo_move_to(cr_, button.left + 2, button.top + 4.5);
                    cairo_line_to(cr_, button.right - 2, button.top + 4.5);
                    if (!(info.state & TVIS_EXPANDED)) {
                        cairo_move_to(cr_, button.left + 4.5, button.top + 2);
                        cairo_line_to(cr_, button.left + 4.5, button.bottom - 2);
                    }
                    cairo_stroke(cr_);
                }
                const bool selected = (info.state & TVIS_SELECTED) != 0;
                if (auto pixels = ImagePixelsOf(images, selected ? info.iSelectedImage : info.iImage)) {
                    const LONG top = (label.top + label.bottom - cy) / 2;
                    Image(RECT{label.left - cx, top, label.left, top + cy}, *pixels);
                }
                if (selected)
                    Fill(label, kHighlight);
                Text(label.left + 2, (label.top + label.bottom - CellHeight()) / 2.0, text,
                     selected ? kWhite : Rgb{0, 0, 0});
            }
        });
    }

    void Progress(HWND hwnd, const RECT& rect)
    {
        Fill(rect, FromColor(RGB(230, 230, 230)));
        Stroke(rect, kButtonBorder);
        PBRANGE range{};
        SendMessageA(hwnd, PBM_GETRANGE, FALSE, reinterpret_cast<LPARAM>(&range));
        const auto position = static_cast<int>(SendMessageA(hwnd, PBM_GETPOS, 0, 0));
        const int span = range.iHigh - range.iLow;
        if (span <= 0)
            return;
        const LONG width = (rect.right - rect.left - 2) * std::clamp(position - range.iLow, 0, span) / span;
        Fill(RECT{rect.left + 1, rect.top + 1, rect.left + 1 + width, rect.bottom - 1}, kProgress);
    }

    // The standard bars beside and below the client area.
    // The extended styles' edges, just outside the client area and its scroll
    // bars: a sunken client edge two pixels wide, a static edge one.
    void Edges(HWND hwnd, const RECT& client)
    {
        const DWORD exStyle = ExStyleOf(hwnd);
        if (!(exStyle & (WS_EX_CLIENTEDGE | WS_EX_STATICEDGE)))
            return;
        RECT edge = client;
        if (StyleOf(hwnd) & WS_VSCROLL)
            edge.right += GetSystemMetrics(SM_CXVSCROLL);
        if (StyleOf(hwnd) & WS_HSCROLL)
            edge.bottom += GetSystemMetrics(SM_CYHSCROLL);
        if (exStyle & WS_EX_CLIENTEDGE) {
            InflateRect(&edge, 1, 1);
            Stroke(edge, kBorder);
            InflateRect(&edge, 1, 1);
            Stroke(edge, kShadow);
        }
        if (exStyle & WS_EX_STATICEDGE) {
            InflateRect(&edge, 1, 1);
            Stroke(edge, kShadow);
        }
    }

    void ScrollBars(HWND hwnd, const RECT& client)
    {
        const DWORD style = StyleOf(hwnd);
        for (int bar : {SB_VERT, SB_HORZ}) {
            if (!(style & (bar == SB_VERT ? WS_VSCROLL : WS_HSCROLL)))
                continue;
            const bool vertical = bar == SB_VERT;
            const int size = GetSystemMetrics(vertical ? SM_CXVSCROLL : SM_CYHSCROLL);
            const RECT track = vertical
                                   ? RECT{client.right, client.top, client.right + size, client.bottom}
                                   : RECT{client.left, client.bottom, client.right, client.bottom + size};
            Fill(track, FromColor(RGB(240, 240, 240)));
            SCROLLINFO info{sizeof(info), SIF_ALL};
            GetScrollInfo(hwnd, bar, &info);
            const int length = vertical ? track.bottom - track.top : track.right - track.left;
            const int room = std::max(length - 2 * size, 1);
            const long long span = static_cast<long long>(info.nMax) - info.nMin + 1;
            const int last = info.nMax - std::max(static_cast<int>(info.nPage) - 1, 0);
            if (vertical) {
                Arrow((track.left + track.right) / 2.0, track.top + size / 2.0, 0, -1);
                Arrow((track.left + track.right) / 2.0, track.bottom - size / 2.0, 0, 1);
            } else {
                Arrow(track.left + size / 2.0, (track.top + track.bottom) / 2.0, -1, 0);
                Arrow(track.right - size / 2.0, (track.top + track.bottom) / 2.0, 1, 0);
            }
            if (info.nPage == 0 || span <= static_cast<long long>(info.nPage) || last <= info.nMin)
                continue;
            const int thumb = std::max(8, static_cast<int>(room * static_cast<long long>(info.nPage) / span));
            const int at = size + (room - thumb) * (info.nPos - info.nMin) / (last - info.nMin);
            const RECT knob =
                vertical ? RECT{track.left + 2, track.top + at, track.right - 2, track.top + at + thumb}
                         : RECT{track.left + at, track.top + 2, track.left + at + thumb, track.bottom - 2};
            Fill(knob, FromColor(RGB(205, 205, 205)));
        }
    }

    cairo_t* cr_;
    POINT origin_;
    HWND focus_;
    bool active_ = false;
    std::vector<HWND> dropped_;
};

}  // namespace

bool SavePicture(HWND hwnd, bool active, const std::string& path, std::string* error)
{
    RECT rect{};
    if (!GetWindowRect(hwnd, &rect)) {
        *error = "no window";
        return false;
    }
    cairo_surface_t* surface =
        cairo_image_surface_create(CAIRO_FORMAT_RGB24, rect.right - rect.left, rect.bottom - rect.top);
    cairo_t* cr = cairo_create(surface);
    Painter(cr, POINT{rect.left, rect.top}, FocusOf(hwnd)).TopLevel(hwnd, active);
    cairo_destroy(cr);
    const cairo_status_t status = cairo_surface_write_to_png(surface, path.c_str());
    cairo_surface_destroy(surface);
    if (status != CAIRO_STATUS_SUCCESS) {
        *error = cairo_status_to_string(status);
        return false;
    }
    return true;
}

}  // namespace winsim::ui::render
