// Cursors and icons as objects (the system's shared ones, a program's own
// copies), and the mouse capture.
#include "ui_test.h"

namespace winsim::ui::test {
namespace {

using CursorTest = UiTest;

TEST_F(CursorTest, SystemCursorsAreSharedAndAThreadKeepsTheOneItSet)
{
    HCURSOR arrow = LoadCursorA(nullptr, IDC_ARROW);
    ASSERT_NE(arrow, nullptr);
    EXPECT_EQ(LoadCursorA(nullptr, IDC_ARROW), arrow);
    HCURSOR hand = LoadCursorA(nullptr, IDC_HAND);
    ASSERT_NE(hand, nullptr);
    EXPECT_NE(hand, arrow);
    EXPECT_EQ(LoadCursorA(nullptr, MAKEINTRESOURCEA(32600)), nullptr);
    EXPECT_EQ(LoadCursorA(reinterpret_cast<HINSTANCE>(0x7C200000), MAKEINTRESOURCEA(106)), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_RESOURCE_NAME_NOT_FOUND));
    SetCursor(arrow);
    EXPECT_EQ(SetCursor(hand), arrow);
    EXPECT_EQ(SetCursor(nullptr), hand);
}

TEST_F(CursorTest, ACopyIsTheProgramsOwnUntilDestroyedWhileSharedOnesStay)
{
    HCURSOR arrow = LoadCursorA(nullptr, IDC_ARROW);
    const int64_t before = program_->userObjects.load();
    HCURSOR copy = CopyCursor(arrow);
    ASSERT_NE(copy, nullptr);
    EXPECT_NE(copy, arrow);
    EXPECT_EQ(program_->userObjects.load(), before + 1);
    SetCursor(copy);
    EXPECT_EQ(GetCursor(), copy);
    EXPECT_TRUE(DestroyCursor(copy));
    EXPECT_EQ(program_->userObjects.load(), before);
    EXPECT_EQ(GetCursor(), nullptr) << "a destroyed cursor is shown no longer";
    EXPECT_FALSE(DestroyCursor(copy));
    EXPECT_TRUE(DestroyCursor(arrow)) << "the system's stay, whatever DestroyCursor is told";
    EXPECT_EQ(LoadCursorA(nullptr, IDC_ARROW), arrow);
    EXPECT_EQ(CopyIcon(reinterpret_cast<HICON>(0x77)), nullptr);
}

TEST_F(CursorTest, TheWindowLosingTheCaptureHearsWhoTookIt)
{
    RegisterHandlerClass("Capture");
    MessageLog log;
    auto logging = [&log](const char* who) {
        return [&log, who](HWND, UINT message, WPARAM, LPARAM lParam, LRESULT*) {
            if (message == WM_CAPTURECHANGED) log.Add(std::string(who) + (lParam == 0 ? " lost" : " lost to one"));
            return false;
        };
    };
    HWND first = CreateHandlerWindow("Capture", "first", WS_OVERLAPPEDWINDOW, nullptr, 0, logging("first"));
    HWND second = CreateHandlerWindow("Capture", "second", WS_OVERLAPPEDWINDOW, nullptr, 0, logging("second"));
    EXPECT_EQ(SetCapture(first), nullptr);
    EXPECT_EQ(GetCapture(), first);
    EXPECT_EQ(SetCapture(second), first);
    EXPECT_TRUE(ReleaseCapture());
    EXPECT_EQ(GetCapture(), nullptr);
    EXPECT_EQ(log.lines, (std::vector<std::string>{"first lost to one", "second lost"}));
    SetCapture(first);
    DestroyWindow(first);
    EXPECT_EQ(GetCapture(), nullptr) << "a destroyed window holds nothing";
    DestroyWindow(second);
}

TEST_F(CursorTest, PointsMapBetweenClientAreasAndTheScreen)
{
    RegisterHandlerClass("Map");
    HWND top = CreateHandlerWindow("Map", "top", WS_POPUP, nullptr, 0, nullptr);
    SetWindowPos(top, nullptr, 100, 50, 300, 200, SWP_NOZORDER);
    HWND child = CreateHandlerWindow("Map", "child", WS_CHILD, top, 7, nullptr);
    SetWindowPos(child, nullptr, 10, 20, 50, 50, SWP_NOZORDER);
    POINT points[2] = {{1, 2}, {3, 4}};
    const int offset = MapWindowPoints(child, nullptr, points, 2);
    EXPECT_EQ(points[0].x, 111);
    EXPECT_EQ(points[0].y, 72);
    EXPECT_EQ(points[1].x, 113);
    EXPECT_EQ(LOWORD(offset), 110);
    EXPECT_EQ(HIWORD(offset), 70);
    MapWindowPoints(nullptr, top, points, 1);
    EXPECT_EQ(points[0].x, 11);
    EXPECT_EQ(points[0].y, 22);
    EXPECT_FALSE(IsIconic(top));
    DestroyWindow(top);
}

}  // namespace
}  // namespace winsim::ui::test
