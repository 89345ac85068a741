// Enhanced metafiles record what is drawn through their DC in drawing order;
// the clipboard takes them over, belongs to whoever emptied it, and deletes
// what it holds when it is emptied again.
#include <cstring>
#include <string>
#include <vector>

#include "ui_test.h"

namespace winsim::ui::test {
namespace {

using MetafileTest = UiTest;
using ClipboardTest = UiTest;

struct Record {
    DWORD type;
    std::string text;
    COLORREF color = 0;
};

std::vector<Record> RecordsOf(HENHMETAFILE metafile)
{
    const UINT size = GetEnhMetaFileBits(metafile, 0, nullptr);
    std::vector<BYTE> bytes(size);
    EXPECT_EQ(GetEnhMetaFileBits(metafile, size, bytes.data()), size);
    std::vector<Record> records;
    for (size_t at = 0; at < bytes.size();) {
        EMR emr;
        std::memcpy(&emr, bytes.data() + at, sizeof(emr));
        Record record{emr.iType, ""};
        if (emr.iType == EMR_EXTTEXTOUTA) {
            EMREXTTEXTOUTA text;
            std::memcpy(&text, bytes.data() + at, sizeof(text));
            record.text.assign(reinterpret_cast<const char*>(bytes.data() + at + text.emrtext.offString),
                               text.emrtext.nChars);
        } else if (emr.iType == EMR_SETTEXTCOLOR) {
            EMRSETTEXTCOLOR color;
            std::memcpy(&color, bytes.data() + at, sizeof(color));
            record.color = color.crColor;
        }
        records.push_back(record);
        if (emr.nSize == 0) break;
        at += emr.nSize;
    }
    return records;
}

HENHMETAFILE DrawLines()
{
    HDC dc = CreateEnhMetaFileA(nullptr, nullptr, nullptr, nullptr);
    TextOutA(dc, 5, 10, "0000", 4);
    SetTextColor(dc, RGB(255, 0, 0));
    TextOutA(dc, 50, 10, "TX 41 42 43", -1);
    SetTextColor(dc, RGB(0, 0, 255));
    RECT box{50, 25, 300, 40};
    DrawTextA(dc, "RX 0D 0A", -1, &box, DT_SINGLELINE);
    Rectangle(dc, 0, 0, 10, 10);
    return CloseEnhMetaFile(dc);
}

TEST_F(MetafileTest, RecordsTheTextInDrawingOrderWithItsColours)
{
    HENHMETAFILE metafile = DrawLines();
    ASSERT_NE(metafile, nullptr);
    const std::vector<Record> records = RecordsOf(metafile);
    std::vector<DWORD> types;
    std::vector<std::string> texts;
    for (const Record& r : records) {
        types.push_back(r.type);
        if (r.type == EMR_EXTTEXTOUTA) texts.push_back(r.text);
    }
    EXPECT_EQ(types, (std::vector<DWORD>{EMR_HEADER, EMR_EXTTEXTOUTA, EMR_SETTEXTCOLOR, EMR_EXTTEXTOUTA,
                                         EMR_SETTEXTCOLOR, EMR_EXTTEXTOUTA, EMR_RECTANGLE, EMR_EOF}));
    EXPECT_EQ(texts, (std::vector<std::string>{"0000", "TX 41 42 43", "RX 0D 0A"}));
    EXPECT_EQ(records[2].color, RGB(255, 0, 0));

    ENHMETAHEADER header{};
    ASSERT_EQ(GetEnhMetaFileHeader(metafile, sizeof(header), &header), sizeof(header));
    EXPECT_EQ(header.dSignature, static_cast<DWORD>(ENHMETA_SIGNATURE));
    EXPECT_EQ(header.nRecords, records.size());
    EXPECT_EQ(header.nBytes, GetEnhMetaFileBits(metafile, 0, nullptr));

    // A buffer too small gets nothing; the enumeration stops when told to.
    BYTE small[16];
    EXPECT_EQ(GetEnhMetaFileBits(metafile, sizeof(small), small), 0u);
    int visited = 0;
    auto count = [](HDC, HANDLETABLE*, const ENHMETARECORD* record, int, LPARAM data) -> int {
        ++*reinterpret_cast<int*>(data);
        return record->iType != EMR_SETTEXTCOLOR;
    };
    EXPECT_FALSE(EnumEnhMetaFile(nullptr, metafile, count, &visited, nullptr));
    EXPECT_EQ(visited, 3);

    // A copy is a metafile of its own.
    HENHMETAFILE copy = CopyEnhMetaFileA(metafile, nullptr);
    EXPECT_TRUE(DeleteEnhMetaFile(metafile));
    EXPECT_FALSE(DeleteEnhMetaFile(metafile));
    EXPECT_EQ(RecordsOf(copy).size(), records.size());
    EXPECT_TRUE(DeleteEnhMetaFile(copy));
}

TEST_F(MetafileTest, TheRecordingDcIsGoneOnceTheMetafileIsClosed)
{
    HDC dc = CreateEnhMetaFileA(nullptr, nullptr, nullptr, nullptr);
    const int64_t withDc = program_->gdiObjects.load();
    HENHMETAFILE metafile = CloseEnhMetaFile(dc);
    EXPECT_EQ(program_->gdiObjects.load(), withDc);  // the DC went, the metafile came
    EXPECT_FALSE(TextOutA(dc, 0, 0, "late", 4));
    EXPECT_EQ(CloseEnhMetaFile(dc), nullptr);
    EXPECT_EQ(CreateEnhMetaFileA(nullptr, "C:\\out.emf", nullptr, nullptr), nullptr);  // memory metafiles only
    DeleteEnhMetaFile(metafile);
}

TEST_F(ClipboardTest, ItTakesTheMetafileAndBelongsToWhoeverEmptiedIt)
{
    RegisterHandlerClass("ClipOwner");
    int destroyed = 0;
    HWND first = CreateHandlerWindow("ClipOwner", "first", WS_OVERLAPPED, nullptr, 0,
                                     [&](HWND, UINT message, WPARAM, LPARAM, LRESULT*) {
                                         destroyed += message == WM_DESTROYCLIPBOARD;
                                         return false;
                                     });
    HWND second = CreateHandlerWindow("ClipOwner", "second", WS_OVERLAPPED, nullptr, 0,
                                      [](HWND, UINT, WPARAM, LPARAM, LRESULT*) { return false; });
    HENHMETAFILE metafile = DrawLines();

    SetLastError(0);
    EXPECT_EQ(SetClipboardData(CF_ENHMETAFILE, metafile), nullptr);  // not opened
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_CLIPBOARD_NOT_OPEN));
    EXPECT_FALSE(EmptyClipboard());

    ASSERT_TRUE(OpenClipboard(first));
    EXPECT_TRUE(EmptyClipboard());
    EXPECT_EQ(GetClipboardOwner(), first);
    const int64_t before = program_->gdiObjects.load();
    EXPECT_EQ(SetClipboardData(CF_ENHMETAFILE, metafile), metafile);
    EXPECT_EQ(program_->gdiObjects.load(), before - 1);  // the clipboard's now
    EXPECT_FALSE(DeleteEnhMetaFile(metafile));
    EXPECT_EQ(SetClipboardData(CF_TEXT, metafile), nullptr);  // metafiles only
    EXPECT_TRUE(CloseClipboard());
    EXPECT_FALSE(CloseClipboard());

    EXPECT_TRUE(IsClipboardFormatAvailable(CF_ENHMETAFILE));
    EXPECT_EQ(GetClipboardData(CF_ENHMETAFILE), nullptr);  // only while open
    ASSERT_TRUE(OpenClipboard(nullptr));
    EXPECT_EQ(GetClipboardData(CF_ENHMETAFILE), metafile);
    EXPECT_EQ(EnumClipboardFormats(0), static_cast<UINT>(CF_ENHMETAFILE));
    EXPECT_EQ(RecordsOf(static_cast<HENHMETAFILE>(GetClipboardData(CF_ENHMETAFILE))).size(), 8u);
    CloseClipboard();

    // Emptied by another window: the old owner hears of it, the data goes.
    ASSERT_TRUE(OpenClipboard(second));
    EXPECT_TRUE(EmptyClipboard());
    EXPECT_EQ(destroyed, 1);
    EXPECT_EQ(GetClipboardOwner(), second);
    EXPECT_FALSE(IsClipboardFormatAvailable(CF_ENHMETAFILE));
    EXPECT_EQ(GetEnhMetaFileBits(metafile, 0, nullptr), 0u);
    CloseClipboard();

    // Emptied by an opener without a window, it takes no data.
    HENHMETAFILE orphan = DrawLines();
    ASSERT_TRUE(OpenClipboard(nullptr));
    EXPECT_TRUE(EmptyClipboard());
    EXPECT_EQ(GetClipboardOwner(), nullptr);
    EXPECT_EQ(SetClipboardData(CF_ENHMETAFILE, orphan), nullptr);
    CloseClipboard();
    EXPECT_TRUE(DeleteEnhMetaFile(orphan));
    DestroyWindow(first);
    DestroyWindow(second);
}

}  // namespace
}  // namespace winsim::ui::test
