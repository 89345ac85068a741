// A frame's menu items and toolbar buttons follow the commands' update
// handlers: as a pop-up opens, after each command the frame handles, and
// when the frame asks after a change of its own. Commands without a handler
// keep the state they were given. The MDI client lies below the toolbar.
#include <string>

#include "assistant/framework/mdi_frame.h"
#include "assistant/framework/message_map.h"
#include "ui_test.h"

namespace {

constexpr UINT kStart = 101;
constexpr UINT kStop = 102;
constexpr UINT kHex = 103;
constexpr UINT kSave = 104;  // no update handler
constexpr UINT kViewToolbar = 0xE800;

class TestFrame final : public fw::MdiFrame {
public:
    explicit TestFrame(bool* gone) : gone_(gone) {}

    bool running = false;
    bool hex = false;
    HMENU commands = nullptr;
    HMENU view = nullptr;

    void Changed() { UpdateToolbar(); }
    bool Button(UINT command, BYTE flag) const
    {
        HWND toolbar = GetDlgItem(Handle(), 0xE800);
        return (SendMessageA(toolbar, TB_GETSTATE, command, 0) & flag) != 0;
    }
    void SetSaveButton(bool enabled) const { EnableButton(kSave, enabled); }

private:
    static const fw::MessageMap<TestFrame>& Messages()
    {
        static const auto map = fw::MessageMap<TestFrame>()
                                    .Command(kStart, &TestFrame::OnStart)
                                    .Command(kStop, &TestFrame::OnStop)
                                    .UpdateCommand(kStart, &TestFrame::OnUpdateStart)
                                    .UpdateCommand(kStop, &TestFrame::OnUpdateStop)
                                    .UpdateCommand(kHex, &TestFrame::OnUpdateHex);
        return map;
    }

    void OnCreate() override
    {
        HMENU bar = CreateMenu();
        commands = CreatePopupMenu();
        AppendMenuA(commands, MF_STRING, kStart, "&Start");
        AppendMenuA(commands, MF_STRING, kStop, "S&top");
        AppendMenuA(commands, MF_SEPARATOR, 0, nullptr);
        AppendMenuA(commands, MF_STRING | MF_GRAYED, kSave, "Sa&ve");
        view = CreatePopupMenu();
        AppendMenuA(view, MF_STRING, kHex, "&Hex");
        AppendMenuA(view, MF_STRING, kViewToolbar, "&Toolbar");
        AppendMenuA(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(commands), "&Run");
        AppendMenuA(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(view), "&View");
        SetMenu(Handle(), bar);
        CreateToolbar(0, {kStart, kStop, kHex, kSave}, 16);
    }
    void OnFinalDestroy() override
    {
        *gone_ = true;
        delete this;
    }
    bool HandleMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override
    {
        return Messages().Dispatch(*this, message, wParam, lParam, result) ||
               MdiFrame::HandleMessage(message, wParam, lParam, result);
    }

    void OnStart() { running = true; }
    void OnStop() { running = false; }
    void OnUpdateStart(fw::CommandUi& command) const { command.Enable(!running); }
    void OnUpdateStop(fw::CommandUi& command) const { command.Enable(running); }
    void OnUpdateHex(fw::CommandUi& command) const { command.SetCheck(hex); }

    bool* gone_;
};

class CommandUpdateTest : public winsim::ui::test::UiTest {
protected:
    void SetUp() override
    {
        UiTest::SetUp();
        frame_ = new TestFrame(&gone_);
        ASSERT_TRUE(frame_->Create(nullptr, 0, "Frame"));
        ShowWindow(frame_->Handle(), SW_SHOW);
    }
    void TearDown() override
    {
        if (!gone_)
            DestroyWindow(frame_->Handle());
        EXPECT_TRUE(gone_);
        UiTest::TearDown();
    }

    void OpenPopup(HMENU popup) const
    {
        SendMessageA(frame_->Handle(), WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(popup), 0);
    }
    static bool Gray(HMENU menu, UINT id) { return (GetMenuState(menu, id, MF_BYCOMMAND) & MF_GRAYED) != 0; }
    static bool Checked(HMENU menu, UINT id)
    {
        return (GetMenuState(menu, id, MF_BYCOMMAND) & MF_CHECKED) != 0;
    }

    TestFrame* frame_ = nullptr;
    bool gone_ = false;
};

TEST_F(CommandUpdateTest, APopupShowsWhatTheHandlersSayAsItOpens)
{
    OpenPopup(frame_->commands);
    EXPECT_FALSE(Gray(frame_->commands, kStart));
    EXPECT_TRUE(Gray(frame_->commands, kStop));

    frame_->running = true;
    EXPECT_TRUE(Gray(frame_->commands, kStop)) << "a closed menu keeps its states";
    OpenPopup(frame_->commands);
    EXPECT_TRUE(Gray(frame_->commands, kStart));
    EXPECT_FALSE(Gray(frame_->commands, kStop));
    EXPECT_TRUE(Gray(frame_->commands, kSave)) << "an item without a handler keeps its state";

    frame_->hex = true;
    OpenPopup(frame_->view);
    EXPECT_TRUE(Checked(frame_->view, kHex));
    EXPECT_TRUE(Checked(frame_->view, kViewToolbar));
}

TEST_F(CommandUpdateTest, ToolbarButtonsFollowTheHandlersAfterEachCommand)
{
    SendMessageA(frame_->Handle(), WM_COMMAND, MAKEWPARAM(kStart, 0), 0);
    EXPECT_TRUE(frame_->running);
    EXPECT_FALSE(frame_->Button(kStart, TBSTATE_ENABLED));
    EXPECT_TRUE(frame_->Button(kStop, TBSTATE_ENABLED));

    SendMessageA(frame_->Handle(), WM_COMMAND, MAKEWPARAM(kStop, 0), 0);
    EXPECT_TRUE(frame_->Button(kStart, TBSTATE_ENABLED));
    EXPECT_FALSE(frame_->Button(kStop, TBSTATE_ENABLED));
}

TEST_F(CommandUpdateTest, AChangeOutsideACommandReachesTheToolbarWhenTheFrameAsks)
{
    frame_->hex = true;
    EXPECT_FALSE(frame_->Button(kHex, TBSTATE_CHECKED));
    frame_->Changed();
    EXPECT_TRUE(frame_->Button(kHex, TBSTATE_CHECKED));

    frame_->SetSaveButton(false);
    frame_->Changed();
    EXPECT_FALSE(frame_->Button(kSave, TBSTATE_ENABLED)) << "a button without a handler keeps its state";
}

TEST_F(CommandUpdateTest, TheToolbarToggleChecksAsTheBarShows)
{
    SendMessageA(frame_->Handle(), WM_COMMAND, MAKEWPARAM(kViewToolbar, 0), 0);
    OpenPopup(frame_->view);
    EXPECT_FALSE(Checked(frame_->view, kViewToolbar));
    SendMessageA(frame_->Handle(), WM_COMMAND, MAKEWPARAM(kViewToolbar, 0), 0);
    OpenPopup(frame_->view);
    EXPECT_TRUE(Checked(frame_->view, kViewToolbar));
}

TEST_F(CommandUpdateTest, TheClientAreaLiesBelowTheToolbarAlsoWhenLaidOutBeforeTheFrameShowed)
{
    HWND toolbar = GetDlgItem(frame_->Handle(), 0xE800);
    HWND client = GetWindow(frame_->Handle(), GW_CHILD);
    char name[16] = "";
    while (client != nullptr && (GetClassNameA(client, name, sizeof(name)), std::string(name) != "MDIClient"))
        client = GetWindow(client, GW_HWNDNEXT);
    ASSERT_NE(client, nullptr);
    RECT bar{};
    GetWindowRect(toolbar, &bar);
    RECT area{};
    GetWindowRect(client, &area);
    EXPECT_EQ(area.top, bar.bottom);

    SendMessageA(frame_->Handle(), WM_COMMAND, MAKEWPARAM(kViewToolbar, 0), 0);
    GetWindowRect(client, &area);
    EXPECT_EQ(area.top, bar.top) << "without the bar the client takes its place";
}

}  // namespace
