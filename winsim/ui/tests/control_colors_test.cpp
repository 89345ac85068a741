// Controls ask their parent for colours as they paint (WM_CTLCOLORSTATIC
// and its kin): the parent's text colour and brush show in what they draw,
// and a parent that picks none leaves the system's colours.
#include <vector>

#include "ui/gdi/display_list.h"
#include "ui_test.h"

namespace winsim::ui::test {
namespace {

using ControlColorsTest = UiTest;

struct ColorRequest {
    UINT message;
    HWND control;
};

// A parent that records each colour request and answers with `textColor`
// and `brush`; a null brush answer leaves the request to DefWindowProc.
struct ColoringParent {
    std::vector<ColorRequest> requests;
    COLORREF textColor = RGB(0, 0, 255);
    HBRUSH brush = nullptr;
    HWND window = nullptr;

    ColoringParent()
    {
        RegisterHandlerClass("ColoringParent");
        window = CreateHandlerWindow("ColoringParent", "Parent", WS_POPUP | WS_VISIBLE, nullptr, 0,
                                     [this](HWND, UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) {
                                         if (message < WM_CTLCOLORMSGBOX || message > WM_CTLCOLORSTATIC) return false;
                                         auto* dc = reinterpret_cast<HDC>(wParam);
                                         requests.push_back({message, reinterpret_cast<HWND>(lParam)});
                                         if (brush == nullptr) return false;
                                         // Drawn through the control's own DC, so it shows in its paint.
                                         TextOutA(dc, 0, 0, "parent", 6);
                                         SetTextColor(dc, textColor);
                                         SetBkMode(dc, TRANSPARENT);
                                         *result = reinterpret_cast<LRESULT>(brush);
                                         return true;
                                     });
    }
    ~ColoringParent() { DestroyWindow(window); }

    HWND Child(const char* className, const char* text, DWORD style)
    {
        return CreateWindowExA(0, className, text, WS_CHILD | WS_VISIBLE | style, 0, 0, 80, 40, window, nullptr,
                               nullptr, nullptr);
    }
};

std::vector<DisplayItem> ItemsOf(HWND hwnd, DisplayItem::Kind kind)
{
    std::vector<DisplayItem> found;
    for (const DisplayItem& item : DisplayListOf(hwnd)) {
        if (item.kind == kind) found.push_back(item);
    }
    return found;
}

// Paints the control and returns the one colour request it made.
ColorRequest PaintedRequest(ColoringParent& parent, HWND control)
{
    parent.requests.clear();
    InvalidateRect(control, nullptr, TRUE);
    UpdateWindow(control);
    EXPECT_EQ(parent.requests.size(), 1u);
    return parent.requests.empty() ? ColorRequest{} : parent.requests.front();
}

TEST_F(ControlColorsTest, AStaticPaintsWithTheColoursItsParentPicks)
{
    ColoringParent parent;
    parent.brush = GetSysColorBrush(COLOR_HIGHLIGHT);
    HWND label = parent.Child("Static", "COM3", SS_LEFT);
    const ColorRequest request = PaintedRequest(parent, label);
    EXPECT_EQ(request.message, static_cast<UINT>(WM_CTLCOLORSTATIC));
    EXPECT_EQ(request.control, label);

    const std::vector<DisplayItem> fills = ItemsOf(label, DisplayItem::Kind::kFill);
    ASSERT_EQ(fills.size(), 1u);
    EXPECT_EQ(fills[0].color, GetSysColor(COLOR_HIGHLIGHT));
    EXPECT_EQ(fills[0].rect.right, 80);
    EXPECT_EQ(fills[0].rect.bottom, 40);
    const std::vector<DisplayItem> texts = ItemsOf(label, DisplayItem::Kind::kText);
    ASSERT_EQ(texts.size(), 2u);
    EXPECT_EQ(texts[0].text, "parent");  // the request came with the static's own DC
    EXPECT_EQ(texts[1].text, "COM3");
    EXPECT_EQ(texts[1].color, RGB(0, 0, 255));
}

// What a control drew when its parent answered with a stock brush and a
// text colour: whether it filled its background, and its own text last.
struct Painted {
    bool filled;
    DisplayItem text;
};

Painted PaintUnder(int stockBrush, COLORREF textColor, const char* className, const char* text, DWORD style)
{
    ColoringParent parent;
    parent.brush = static_cast<HBRUSH>(GetStockObject(stockBrush));
    parent.textColor = textColor;
    HWND control = parent.Child(className, text, style);
    PaintedRequest(parent, control);
    const std::vector<DisplayItem> texts = ItemsOf(control, DisplayItem::Kind::kText);
    return Painted{!ItemsOf(control, DisplayItem::Kind::kFill).empty(),
                   texts.empty() ? DisplayItem{DisplayItem::Kind::kText, {}, "", CLR_INVALID} : texts.back()};
}

TEST_F(ControlColorsTest, ALinkOverTheNullBrushLeavesItsBackgroundUnpainted)
{
    const Painted link = PaintUnder(NULL_BRUSH, RGB(128, 0, 128), "Static", "visited", SS_NOTIFY);
    EXPECT_FALSE(link.filled);
    EXPECT_EQ(link.text.text, "visited");
    EXPECT_EQ(link.text.color, RGB(128, 0, 128));
}

TEST_F(ControlColorsTest, EachControlAsksWithTheMessageOfItsKind)
{
    ColoringParent parent;
    parent.brush = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
    struct Case {
        const char* className;
        DWORD style;
        UINT expected;
    };
    const Case cases[] = {
        {"Edit", 0, WM_CTLCOLOREDIT},
        {"Edit", ES_READONLY | ES_MULTILINE, WM_CTLCOLORSTATIC},
        {"Edit", WS_DISABLED, WM_CTLCOLORSTATIC},
        {"ListBox", 0, WM_CTLCOLORLISTBOX},
        {"Button", BS_PUSHBUTTON, WM_CTLCOLORBTN},
        {"Button", BS_AUTOCHECKBOX, WM_CTLCOLORSTATIC},
        {"Button", BS_AUTORADIOBUTTON, WM_CTLCOLORSTATIC},
        {"Button", BS_GROUPBOX, WM_CTLCOLORSTATIC},
        {"Static", SS_ICON, WM_CTLCOLORSTATIC},
    };
    for (const Case& c : cases) {
        HWND control = parent.Child(c.className, "", c.style);
        const ColorRequest request = PaintedRequest(parent, control);
        EXPECT_EQ(request.message, c.expected) << c.className << " style " << std::hex << c.style;
        EXPECT_EQ(request.control, control);
        DestroyWindow(control);
    }
}

TEST_F(ControlColorsTest, FramesAndRectanglesKeepTheSystemsColours)
{
    ColoringParent parent;
    parent.brush = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
    HWND frame = parent.Child("Static", "", SS_ETCHEDFRAME);
    InvalidateRect(frame, nullptr, TRUE);
    UpdateWindow(frame);
    EXPECT_TRUE(parent.requests.empty());
}

TEST_F(ControlColorsTest, WithoutAnAnswerStaticsGetTheFaceColourAndEditsAndListsTheWindowColour)
{
    ColoringParent parent;  // answers no brush
    HWND label = parent.Child("Static", "text", SS_LEFT);
    HWND edit = parent.Child("Edit", "typed", 0);
    HWND list = parent.Child("ListBox", "", 0);
    for (HWND control : {label, edit, list}) PaintedRequest(parent, control);
    const auto fillOf = [](HWND hwnd) {
        const std::vector<DisplayItem> fills = ItemsOf(hwnd, DisplayItem::Kind::kFill);
        return fills.empty() ? CLR_INVALID : fills.front().color;
    };
    EXPECT_EQ(fillOf(label), GetSysColor(COLOR_BTNFACE));
    EXPECT_EQ(fillOf(edit), GetSysColor(COLOR_WINDOW));
    EXPECT_EQ(fillOf(list), GetSysColor(COLOR_WINDOW));
    EXPECT_EQ(ItemsOf(label, DisplayItem::Kind::kText).at(0).color, GetSysColor(COLOR_WINDOWTEXT));
}

TEST_F(ControlColorsTest, ListItemsTakeTheParentsTextColourAndTheSelectionStaysHighlighted)
{
    ColoringParent parent;
    parent.brush = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
    parent.textColor = RGB(0, 128, 0);
    HWND list = parent.Child("ListBox", "", 0);
    for (const char* item : {"COM3", "COM4"}) SendMessageA(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item));
    SendMessageA(list, LB_SETCURSEL, 1, 0);
    PaintedRequest(parent, list);
    const std::vector<DisplayItem> texts = ItemsOf(list, DisplayItem::Kind::kText);
    ASSERT_EQ(texts.size(), 3u);  // the parent's mark and the two items
    EXPECT_EQ(texts[1].color, RGB(0, 128, 0));
    EXPECT_EQ(texts[2].color, GetSysColor(COLOR_HIGHLIGHTTEXT));
}

TEST_F(ControlColorsTest, APushButtonKeepsTheSystemsColoursAndACheckBoxTakesItsParents)
{
    const Painted push = PaintUnder(BLACK_BRUSH, RGB(255, 0, 0), "Button", "OK", BS_PUSHBUTTON);
    EXPECT_FALSE(push.filled);
    EXPECT_EQ(push.text.text, "OK");
    EXPECT_EQ(push.text.color, GetSysColor(COLOR_BTNTEXT));
    const Painted check = PaintUnder(BLACK_BRUSH, RGB(255, 0, 0), "Button", "Log", BS_AUTOCHECKBOX);
    EXPECT_TRUE(check.filled);
    EXPECT_EQ(check.text.color, RGB(255, 0, 0));
}

TEST_F(ControlColorsTest, BrushesPaintTheirColoursAndSystemBrushesAreNeverFreed)
{
    ColoringParent parent;
    HWND target = parent.Child("Static", "", SS_ETCHEDFRAME);
    HDC dc = GetDC(target);
    const RECT area{0, 0, 10, 10};
    EXPECT_TRUE(FillRect(dc, &area, GetSysColorBrush(COLOR_WINDOW)));
    EXPECT_TRUE(FillRect(dc, &area, reinterpret_cast<HBRUSH>(COLOR_HIGHLIGHT + 1)));
    EXPECT_TRUE(FillRect(dc, &area, static_cast<HBRUSH>(GetStockObject(GRAY_BRUSH))));
    EXPECT_TRUE(FillRect(dc, &area, static_cast<HBRUSH>(GetStockObject(NULL_BRUSH))));  // paints nothing
    EXPECT_FALSE(FillRect(dc, &area, reinterpret_cast<HBRUSH>(0x7777)));
    ReleaseDC(target, dc);
    std::vector<COLORREF> colors;
    for (const DisplayItem& fill : ItemsOf(target, DisplayItem::Kind::kFill)) colors.push_back(fill.color);
    EXPECT_EQ(colors, (std::vector<COLORREF>{GetSysColor(COLOR_WINDOW), GetSysColor(COLOR_HIGHLIGHT),
                                             RGB(128, 128, 128)}));

    HBRUSH face = GetSysColorBrush(COLOR_BTNFACE);
    EXPECT_NE(face, GetSysColorBrush(COLOR_WINDOW));
    EXPECT_TRUE(DeleteObject(face));
    EXPECT_EQ(GetSysColorBrush(COLOR_BTNFACE), face);
    EXPECT_EQ(program_->gdiObjects.load(), 0);
}

TEST_F(ControlColorsTest, ADcKeepsItsColoursAndBackgroundModeUntilReleased)
{
    ColoringParent parent;
    HWND target = parent.Child("Static", "", SS_ETCHEDFRAME);
    HDC dc = GetDC(target);
    EXPECT_EQ(GetBkMode(dc), OPAQUE);
    EXPECT_EQ(SetBkMode(dc, TRANSPARENT), OPAQUE);
    EXPECT_EQ(GetBkMode(dc), TRANSPARENT);
    SetTextColor(dc, RGB(1, 2, 3));
    EXPECT_EQ(GetTextColor(dc), RGB(1, 2, 3));
    SetBkColor(dc, RGB(4, 5, 6));
    EXPECT_EQ(GetBkColor(dc), RGB(4, 5, 6));
    ReleaseDC(target, dc);
    EXPECT_EQ(GetTextColor(dc), CLR_INVALID);  // released: no DC any more
}

}  // namespace
}  // namespace winsim::ui::test
