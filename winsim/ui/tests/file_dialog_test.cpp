// GetSaveFileNameA: the dialog waits for an answer with its owner disabled;
// Save gives the typed name with the default extension, Cancel gives FALSE
// with no extended error, an existing file is replaced only when the user
// agrees, and a buffer too small is said so.
#include <atomic>
#include <string>

#include "ui/ui_events.h"
#include "ui_test.h"

namespace winsim::ui::test {
namespace {

using FileDialogTest = UiTest;

constexpr const char* kTitle = "Tessary QTR84PX-1 Serial Adapter -- Save Event Log File As";

struct Outcome {
    std::atomic<BOOL> result{-1};
    std::atomic<DWORD> error{0xFFFF};
    std::string path;
    WORD fileOffset = 0;
    WORD extensionOffset = 0;
    DWORD flags = 0;
};

// The Assistant's save: proposed name, "txt" by default, asking before an
// existing file is replaced.
void AskForPath(HWND owner, Outcome* outcome, DWORD size = MAX_PATH)
{
    char path[MAX_PATH] = "TessaryEventLog.txt";
    OPENFILENAMEA ofn{};
    ofn.lStructSize = sizeof(ofn);
    ofn.hwndOwner = owner;
    ofn.lpstrFilter = "Text File (*.txt)\0*.txt\0\0";
    ofn.lpstrFile = path;
    ofn.nMaxFile = size;
    ofn.lpstrTitle = kTitle;
    ofn.lpstrDefExt = "txt";
    ofn.Flags = OFN_OVERWRITEPROMPT | OFN_HIDEREADONLY;
    const BOOL result = GetSaveFileNameA(&ofn);
    outcome->error = CommDlgExtendedError();
    outcome->path = path;
    outcome->fileOffset = ofn.nFileOffset;
    outcome->extensionOffset = ofn.nFileExtension;
    outcome->flags = ofn.Flags;
    outcome->result = result;
}

HWND OpenDialog()
{
    Scheduler::Instance().Settle();
    return FindWindowA("#32770", kTitle);
}

void Answer(HWND dialog, const char* typed)
{
    if (typed != nullptr) SetDlgItemTextA(dialog, edt1, typed);
    PostMessageA(GetDlgItem(dialog, typed != nullptr ? IDOK : IDCANCEL), BM_CLICK, 0, 0);
    Scheduler::Instance().Settle();
}

TEST_F(FileDialogTest, StaysOpenUntilSavedAndAddsTheDefaultExtension)
{
    TakeEvents();
    Outcome outcome;
    {
        UiThread ui(program_.get(), [&](HWND owner) { AskForPath(owner, &outcome); });
        HWND dialog = OpenDialog();
        ASSERT_NE(dialog, nullptr);
        EXPECT_FALSE(IsWindowEnabled(ui.Owner()));
        std::vector<UiEvent> events = TakeEvents();
        ASSERT_EQ(events.size(), 2u);  // the owner opened, then the dialog: not as a window
        EXPECT_EQ(events[1].kind, UiEvent::Kind::kFileDialog);
        EXPECT_EQ(events[1].title, kTitle);
        EXPECT_EQ(events[1].text, "TessaryEventLog.txt");
        char proposed[64];
        GetDlgItemTextA(dialog, edt1, proposed, sizeof(proposed));
        EXPECT_STREQ(proposed, "TessaryEventLog.txt");
        EXPECT_EQ(SendDlgItemMessageA(dialog, cmb1, CB_GETCOUNT, 0, 0), 1);

        const int ticks = ui.Ticks();
        Advance(1250);  // between ticks, so the count does not race the tick
        EXPECT_EQ(ui.Ticks() - ticks, 2);  // the owner's timer keeps running
        EXPECT_EQ(outcome.result.load(), -1);

        Answer(dialog, "");  // nothing typed: stays open
        EXPECT_TRUE(IsWindow(dialog));
        Answer(dialog, "C:\\Logs\\events");
        EXPECT_FALSE(IsWindow(dialog));
    }
    EXPECT_EQ(outcome.result.load(), TRUE);
    EXPECT_EQ(outcome.error.load(), 0u);
    EXPECT_EQ(outcome.path, "C:\\Logs\\events.txt");
    EXPECT_EQ(outcome.fileOffset, 8);
    EXPECT_EQ(outcome.extensionOffset, 15);
    EXPECT_FALSE(outcome.flags & OFN_EXTENSIONDIFFERENT);
}

TEST_F(FileDialogTest, CancelGivesFalseWithoutAnError)
{
    Outcome outcome;
    {
        UiThread ui(program_.get(), [&](HWND owner) { AskForPath(owner, &outcome); });
        HWND dialog = OpenDialog();
        ASSERT_NE(dialog, nullptr);
        Answer(dialog, nullptr);
    }
    EXPECT_EQ(outcome.result.load(), FALSE);
    EXPECT_EQ(outcome.error.load(), 0u);
    EXPECT_EQ(outcome.path, "TessaryEventLog.txt");  // untouched
}

TEST_F(FileDialogTest, AnExistingFileIsReplacedOnlyWhenTheUserAgrees)
{
    HANDLE file = CreateFileA("C:\\kept.log", GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    CloseHandle(file);
    TakeEvents();
    Outcome outcome;
    {
        UiThread ui(program_.get(), [&](HWND owner) { AskForPath(owner, &outcome); });
        HWND dialog = OpenDialog();
        ASSERT_NE(dialog, nullptr);
        Answer(dialog, "C:\\kept.log");
        HWND question = FindWindowA("#32770", "Confirm Save As");
        ASSERT_NE(question, nullptr);
        const std::vector<UiEvent> events = TakeEvents();
        ASSERT_FALSE(events.empty());
        EXPECT_EQ(events.back().kind, UiEvent::Kind::kMessageBox);
        EXPECT_EQ(events.back().text, "kept.log already exists.\nDo you want to replace it?");
        PostMessageA(GetDlgItem(question, IDNO), BM_CLICK, 0, 0);
        Settle();
        EXPECT_TRUE(IsWindow(dialog));  // back to the dialog
        Answer(dialog, "C:\\kept.log");
        question = FindWindowA("#32770", "Confirm Save As");
        ASSERT_NE(question, nullptr);
        PostMessageA(GetDlgItem(question, IDYES), BM_CLICK, 0, 0);
        Settle();
        EXPECT_FALSE(IsWindow(dialog));
    }
    EXPECT_EQ(outcome.result.load(), TRUE);
    EXPECT_EQ(outcome.path, "C:\\kept.log");  // it has an extension of its own
    EXPECT_TRUE(outcome.flags & OFN_EXTENSIONDIFFERENT);
    DeleteFileA("C:\\kept.log");
}

TEST_F(FileDialogTest, ABufferTooSmallIsAnErrorWithTheSizeNeeded)
{
    Outcome outcome;
    {
        UiThread ui(program_.get(), [&](HWND owner) { AskForPath(owner, &outcome, 24); });
        HWND dialog = OpenDialog();
        ASSERT_NE(dialog, nullptr);
        Answer(dialog, "C:\\Logs\\a much longer name");
    }
    EXPECT_EQ(outcome.result.load(), FALSE);
    EXPECT_EQ(outcome.error.load(), static_cast<DWORD>(FNERR_BUFFERTOOSMALL));
    const std::string needed = "C:\\Logs\\a much longer name.txt";
    EXPECT_EQ(static_cast<unsigned char>(outcome.path[0]) | (static_cast<unsigned char>(outcome.path[1]) << 8),
              static_cast<int>(needed.size() + 1));
}

}  // namespace
}  // namespace winsim::ui::test
