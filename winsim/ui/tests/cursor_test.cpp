// The system's cursors are shared handles; cursor resources of modules are
// not there to be had.
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

}  // namespace
}  // namespace winsim::ui::test
