// Pictures of MDI frames: the menu bar, the MDI client with its children
// (caption, frame, what their WM_PAINT drew, in the font it drew with, the
// controls on them) and the toolbar's button images, at the pixels winsim
// laid them out.
#include <cairo.h>
#include <commctrl.h>
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <string>

#include "ui/render/picture.h"
#include "ui_test.h"

namespace winsim::ui::test {
namespace {

constexpr int kHeadLeft = 5;
constexpr int kTextTop = 10;
constexpr int kNarrowFont = 10;  // a cell 10 pixels high: 5 wide
const char kHead[] = "0123456789";

struct Pixels {
    cairo_surface_t* surface;
    ~Pixels() { cairo_surface_destroy(surface); }
    uint32_t At(LONG x, LONG y) const
    {
        if (x < 0 || y < 0 || x >= cairo_image_surface_get_width(surface) ||
            y >= cairo_image_surface_get_height(surface)) {
            ADD_FAILURE() << "no pixel " << x << ", " << y;
            return 0;
        }
        const unsigned char* row = cairo_image_surface_get_data(surface) + y * cairo_image_surface_get_stride(surface);
        return reinterpret_cast<const uint32_t*>(row)[x] & 0xFFFFFF;
    }
    static int Red(uint32_t c) { return static_cast<int>(c >> 16 & 0xFF); }
    static int Green(uint32_t c) { return static_cast<int>(c >> 8 & 0xFF); }
    static int Blue(uint32_t c) { return static_cast<int>(c & 0xFF); }
    // Whether any pixel of the box passes `test`.
    template <typename Test>
    bool Any(const RECT& box, Test test) const
    {
        for (LONG y = box.top; y < box.bottom; ++y)
            for (LONG x = box.left; x < box.right; ++x)
                if (test(At(x, y))) return true;
        return false;
    }
};

bool Dark(uint32_t c) { return Pixels::Red(c) < 80 && Pixels::Green(c) < 80 && Pixels::Blue(c) < 80; }
bool Reddish(uint32_t c) { return Pixels::Red(c) > 150 && Pixels::Green(c) < 120 && Pixels::Blue(c) < 120; }

// A line as a monitor view draws it: a black head in a narrow fixed font and
// red data right after it, where the font's width puts it.
LRESULT CALLBACK DocProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message != WM_PAINT) return DefMDIChildProcA(hwnd, message, wParam, lParam);
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(hwnd, &ps);
    HFONT font = CreateFontA(kNarrowFont, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                             OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, FIXED_PITCH, "courier");
    HGDIOBJ old = SelectObject(dc, font);
    SIZE head{};
    GetTextExtentPoint32A(dc, kHead, 10, &head);
    SetBkMode(dc, TRANSPARENT);
    TextOutA(dc, kHeadLeft, kTextTop, kHead, 10);
    SetTextColor(dc, RGB(255, 0, 0));
    TextOutA(dc, kHeadLeft + head.cx, kTextTop, "TX:ABC", 6);
    SelectObject(dc, old);
    DeleteObject(font);
    EndPaint(hwnd, &ps);
    return 0;
}

class PictureTest : public UiTest {
protected:
    std::filesystem::path file = std::filesystem::temp_directory_path() /
                                 ("winsim-picture-" + std::to_string(getpid()) + ".png");

    void SetUp() override
    {
        UiTest::SetUp();
        WNDCLASSEXA cls{};
        cls.cbSize = sizeof(cls);
        cls.lpfnWndProc = DocProc;
        cls.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
        cls.lpszClassName = "Doc";
        RegisterClassExA(&cls);
        RegisterHandlerClass("Frame");
        HMENU bar = CreateMenu();
        AppendMenuA(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(CreatePopupMenu()), "&File");
        AppendMenuA(bar, MF_POPUP | MF_GRAYED, reinterpret_cast<UINT_PTR>(CreatePopupMenu()), "&Window");
        frame_ = CreateHandlerWindow("Frame", "Monitor", WS_OVERLAPPEDWINDOW | WS_VISIBLE, nullptr, 0,
                                     [this](HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) {
                                         *result = DefFrameProcA(hwnd, client_, message, wParam, lParam);
                                         return true;
                                     });
        SetMenu(frame_, bar);
        CLIENTCREATESTRUCT create{nullptr, 0xFF00};
        client_ = CreateWindowExA(WS_EX_CLIENTEDGE, "MDICLIENT", nullptr, WS_CHILD | WS_VISIBLE, 0, 0, 500, 300,
                                  frame_, nullptr, nullptr, &create);
        // The frame's WM_SIZE fits the client into it.
        SetWindowPos(frame_, nullptr, 0, 0, 560, 400, SWP_NOMOVE | SWP_NOZORDER);
        MDICREATESTRUCTA child{"Doc", "COM3 (ChannelID: 3)", nullptr, 10, 10, 300, 150, WS_VISIBLE, 0};
        child_ = reinterpret_cast<HWND>(SendMessageA(client_, WM_MDICREATE, 0, reinterpret_cast<LPARAM>(&child)));
    }
    void TearDown() override
    {
        DestroyWindow(frame_);
        std::filesystem::remove(file);
        UiTest::TearDown();
    }

    static void Pump()
    {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
    }

    Pixels Picture()
    {
        Pump();
        std::string error;
        EXPECT_TRUE(render::SavePicture(frame_, true, file.string(), &error)) << error;
        return Pixels{cairo_image_surface_create_from_png(file.c_str())};
    }

    // A window's client rectangle in the picture's pixels.
    RECT ClientInPicture(HWND hwnd) const
    {
        RECT frame{};
        GetWindowRect(frame_, &frame);
        RECT client{};
        GetClientRect(hwnd, &client);
        POINT corner{0, 0};
        ClientToScreen(hwnd, &corner);
        OffsetRect(&client, corner.x - frame.left, corner.y - frame.top);
        return client;
    }

    HWND frame_ = nullptr;
    HWND client_ = nullptr;
    HWND child_ = nullptr;
};

TEST_F(PictureTest, TheMenuBarShowsItsItemsAboveTheClientArea)
{
    const Pixels picture = Picture();
    ASSERT_EQ(cairo_surface_status(picture.surface), CAIRO_STATUS_SUCCESS);
    const RECT client = ClientInPicture(frame_);
    const RECT bar{client.left, client.top - GetSystemMetrics(SM_CYMENU), client.right, client.top};
    // "File" in black; "Window", grayed, in no darker a shade than gray text.
    EXPECT_TRUE(picture.Any(RECT{bar.left, bar.top, bar.left + 40, bar.bottom}, Dark));
    const RECT window{bar.left + 45, bar.top, bar.left + 100, bar.bottom};
    EXPECT_TRUE(picture.Any(window, [](uint32_t c) { return c != 0xFFFFFFu; }));
    EXPECT_FALSE(picture.Any(window, Dark));
    EXPECT_EQ(picture.At(bar.right - 5, bar.top + 2), 0xFFFFFFu);
}

TEST_F(PictureTest, AnMdiChildShowsItsCaptionFrameAndWhatItPaintedOverTheClientsWorkspace)
{
    const RECT client = ClientInPicture(client_);
    const RECT inside = ClientInPicture(child_);
    {
        const Pixels picture = Picture();
        // The workspace around the child, the active child's caption above its
        // client area, the class brush under what it drew.
        EXPECT_EQ(picture.At(client.right - 5, client.bottom - 5), 0xABABABu);
        EXPECT_EQ(picture.At(inside.right - 30, inside.top - 10), 0x0078D7u);
        EXPECT_EQ(picture.At(inside.right - 5, inside.bottom - 5), 0xFFFFFFu);
        // The caption's text in white on it.
        EXPECT_TRUE(picture.Any(RECT{inside.left, inside.top - 20, inside.left + 60, inside.top - 3}, [](uint32_t c) {
            return Pixels::Red(c) > 200 && Pixels::Green(c) > 200 && Pixels::Blue(c) > 200;
        }));
    }
    // A frame that is not active shows its active child's caption inactive.
    std::string error;
    ASSERT_TRUE(render::SavePicture(frame_, false, file.string(), &error)) << error;
    const Pixels inactive{cairo_image_surface_create_from_png(file.c_str())};
    EXPECT_NE(inactive.At(inside.right - 30, inside.top - 10), 0x0078D7u);
}

TEST_F(PictureTest, TextInANarrowFontEndsWhereItsFontPutsItAndWhatFollowsKeepsItsColour)
{
    const Pixels picture = Picture();
    const RECT inside = ClientInPicture(child_);
    const LONG dataLeft = inside.left + kHeadLeft + 10 * 5;  // ten characters five pixels wide
    const LONG top = inside.top + kTextTop;
    const RECT head{inside.left + kHeadLeft, top, dataLeft - 1, top + kNarrowFont};
    const RECT data{dataLeft + 1, top, dataLeft + 6 * 5, top + kNarrowFont};
    EXPECT_TRUE(picture.Any(head, Dark));
    EXPECT_FALSE(picture.Any(data, Dark));  // the head's digits stop before the data
    EXPECT_TRUE(picture.Any(data, Reddish));
    EXPECT_FALSE(picture.Any(RECT{data.right + 2, top, data.right + 40, top + kNarrowFont}, Reddish));
}

bool White(uint32_t c) { return Pixels::Red(c) > 200 && Pixels::Green(c) > 200 && Pixels::Blue(c) > 200; }

TEST_F(PictureTest, AListsSelectedRowShowsEveryColumnOfItsTextOnTheHighlight)
{
    HWND list = CreateWindowExA(0, "ListBox", nullptr, WS_CHILD | WS_VISIBLE | LBS_USETABSTOPS, 20, 40, 200, 60,
                                child_, nullptr, nullptr, nullptr);
    SendMessageA(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>("started\tok"));
    SendMessageA(list, LB_SETCURSEL, 0, 0);
    const auto row = static_cast<LONG>(SendMessageA(list, LB_GETITEMHEIGHT, 0, 0));
    const Pixels picture = Picture();
    const RECT inside = ClientInPicture(list);
    const RECT first{inside.left, inside.top, inside.left + 40, inside.top + row};  // "started"
    const RECT end{inside.right - 20, inside.top, inside.right, inside.top + row};  // past "ok"
    EXPECT_TRUE(picture.Any(first, White));
    EXPECT_EQ(picture.At(end.left + 5, end.top + 1), 0x0078D7u);
    EXPECT_FALSE(picture.Any(end, White));
    EXPECT_EQ(picture.At(inside.left + 5, inside.top + row + 5), 0xFFFFFFu);  // the next row is not selected
}

}  // namespace
}  // namespace winsim::ui::test
