// The non-client area around a window's client area: borders, the edges of
// the extended styles (a client edge is two pixels, a static edge one) and
// scroll bars, in GetClientRect, ClientToScreen and AdjustWindowRectEx alike.
#include "ui_test.h"

namespace winsim::ui::test {
namespace {

using NonClientTest = UiTest;

struct Geometry {
    RECT client;
    POINT origin;  // the client area's corner in the parent's client coordinates
};

Geometry Measure(HWND parent, DWORD exStyle, DWORD style)
{
    HWND window = CreateWindowExA(exStyle, "Static", "", WS_CHILD | WS_VISIBLE | style, 10, 20, 100, 60, parent,
                                  nullptr, nullptr, nullptr);
    Geometry geometry{};
    GetClientRect(window, &geometry.client);
    ClientToScreen(window, &geometry.origin);
    ScreenToClient(parent, &geometry.origin);
    DestroyWindow(window);
    return geometry;
}

TEST_F(NonClientTest, EdgesTakeTheirWidthFromTheClientArea)
{
    HWND parent = CreateWindowExA(0, "Static", "", WS_POPUP | WS_VISIBLE, 0, 0, 300, 200, nullptr, nullptr, nullptr,
                                  nullptr);
    const Geometry plain = Measure(parent, 0, 0);
    EXPECT_EQ(plain.client.right, 100);
    EXPECT_EQ(plain.client.bottom, 60);
    EXPECT_EQ(plain.origin.x, 10);

    const Geometry sunken = Measure(parent, WS_EX_CLIENTEDGE, 0);
    EXPECT_EQ(sunken.client.right, 96);
    EXPECT_EQ(sunken.client.bottom, 56);
    EXPECT_EQ(sunken.origin.x, 12);
    EXPECT_EQ(sunken.origin.y, 22);

    const Geometry bordered = Measure(parent, WS_EX_CLIENTEDGE, WS_BORDER | WS_VSCROLL);
    EXPECT_EQ(bordered.client.right, 100 - 2 * 3 - GetSystemMetrics(SM_CXVSCROLL));
    EXPECT_EQ(bordered.client.bottom, 54);

    const Geometry flat = Measure(parent, WS_EX_STATICEDGE, 0);
    EXPECT_EQ(flat.client.right, 98);
    EXPECT_EQ(flat.origin.y, 21);
    DestroyWindow(parent);
}

TEST_F(NonClientTest, AdjustWindowRectExAddsTheEdges)
{
    RECT rect{0, 0, 100, 50};
    AdjustWindowRectEx(&rect, WS_CHILD | WS_BORDER, FALSE, WS_EX_CLIENTEDGE);
    EXPECT_EQ(rect.left, -3);
    EXPECT_EQ(rect.right, 103);
    EXPECT_EQ(rect.bottom, 53);
}

}  // namespace
}  // namespace winsim::ui::test
