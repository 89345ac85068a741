#include "assistant/diag/df_mon.h"

#include "assistant/app/text_format.h"
#include "assistant/diag/monitor_row.h"

namespace diag {

namespace {

constexpr int kTopMargin = 10;


COLORREF Colour(int index)
{
    switch (index) {
    case kColourSent: return RGB(255, 0, 0);
    case kColourReceived: return RGB(0, 0, 255);
    default: return RGB(0, 0, 0);
    }
}

}  // namespace

// The store is allocated once with the window: adding a record never allocates.
DfMon::DfMon(ULONG channelId, const int& hexMode, MonitorChannelEntry& entry)
    : channelId(channelId), titleId(channelId), hexMode(hexMode), entry(&entry),
      store(std::make_unique<MonitorStore>())
{
    entry.channelId = channelId;
    entry.window = this;
}

DfMon::~DfMon()
{
    entry->window = nullptr;
}

void DfMon::OnCreate()
{
    fonts.Create(Handle(), 10);
    SetScrollRange(Handle(), SB_HORZ, 0, kMonitorColumns, FALSE);
    ClearStore();
    RefreshTitle();
}

void DfMon::RefreshTitle()
{
    titleId = channelId;
    SetWindowTextA(Handle(), assistant::Format("COM%u (ChannelID: %u)", static_cast<unsigned>(titleId),
                                               static_cast<unsigned>(channelId))
                                 .c_str());
}

void DfMon::AddRecord(const MonitorRecord& record)
{
    store->Add(record);
    scroll.ScrollToEnd(store->Used());
    ShowScrollBar();
    InvalidateRect(Handle(), nullptr, TRUE);
}

void DfMon::ClearStore()
{
    store->Clear();
    scroll.Reset();
    text.ResetTimeBase();
    Layout();
}

void DfMon::Layout()
{
    RECT client{};
    GetClientRect(Handle(), &client);
    scroll.SetRows(client.top, client.bottom, fonts.lineHeight);
    scroll.Fit(store->Used());
    ShowScrollBar();
    SetScrollRange(Handle(), SB_HORZ, 0, kMonitorColumns, TRUE);
    InvalidateRect(Handle(), nullptr, TRUE);
}

void DfMon::ShowScrollBar()
{
    const bool shown = scroll.BarShown(store->Used());
    if (shown) {
        SCROLLINFO info{};
        info.cbSize = sizeof(info);
        info.fMask = SIF_RANGE | SIF_POS;
        info.nMin = 0;
        info.nMax = scroll.MaxFirst();
        info.nPos = scroll.FirstVisible();
        SetScrollInfo(Handle(), SB_VERT, &info, TRUE);
    }
    ::ShowScrollBar(Handle(), SB_VERT, shown ? TRUE : FALSE);
}

void DfMon::DrawRows(HDC dc, ULONG first, ULONG rows)
{
    HGDIOBJ old = SelectObject(dc, fonts.courier);
    SetBkMode(dc, TRANSPARENT);
    MonitorTexts texts;
    MonitorRow row;
    for (ULONG i = 0; i < rows; ++i) {
        const MonitorRecord* record = store->Record(first + i);
        if (record == nullptr) {
            break;
        }
        text.Format(*record, hexMode != 0, texts);
        LayoutMonitorRow(first + i + 1, texts, hOffset, fonts.charWidth, row);
        const int y = kTopMargin + static_cast<int>(i) * fonts.lineHeight;
        SetTextColor(dc, RGB(0, 0, 0));
        if (row.headCount > 0) {
            TextOutA(dc, row.headX, y, row.headText, row.headCount);
        }
        SetTextColor(dc, Colour(row.colour));
        if (row.dataCount > 0) {
            TextOutA(dc, row.dataX, y, row.dataText, row.dataCount);
        }
    }
    SelectObject(dc, old);
}

void DfMon::CopyContents()
{
    HDC reference = GetDC(Handle());
    HDC metafileDc = CreateEnhMetaFileA(reference, nullptr, nullptr, nullptr);
    ReleaseDC(Handle(), reference);
    if (metafileDc == nullptr) {
        return;
    }
    DrawRows(metafileDc, 0, store->Used());
    HENHMETAFILE metafile = CloseEnhMetaFile(metafileDc);
    if (metafile == nullptr) {
        return;
    }
    if (!OpenClipboard(Handle())) {
        DeleteEnhMetaFile(metafile);
        return;
    }
    EmptyClipboard();
    // The clipboard owns the metafile once it takes it.
    if (SetClipboardData(CF_ENHMETAFILE, metafile) == nullptr) {
        DeleteEnhMetaFile(metafile);
    }
    CloseClipboard();
}

void DfMon::ScrollVertically(int request, int thumb)
{
    if (!scroll.Scroll(request, thumb)) {
        return;
    }
    SetScrollPos(Handle(), SB_VERT, scroll.FirstVisible(), TRUE);
    InvalidateRect(Handle(), nullptr, TRUE);
}

void DfMon::ScrollHorizontally(int request, int thumb)
{
    const int moved = ScrollColumns(hOffset, request, thumb);
    if (moved == hOffset) {
        return;
    }
    hOffset = moved;
    SetScrollPos(Handle(), SB_HORZ, hOffset, TRUE);
    InvalidateRect(Handle(), nullptr, TRUE);
}

bool DfMon::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result)
{
    switch (message) {
    case WM_PAINT: {
        PAINTSTRUCT paint{};
        HDC dc = BeginPaint(Handle(), &paint);
        DrawRows(dc, static_cast<ULONG>(scroll.FirstVisible()), static_cast<ULONG>(scroll.Rows()));
        EndPaint(Handle(), &paint);
        return true;
    }
    case WM_SIZE:
        Layout();
        return false;  // the MDI child's own handling follows
    case WM_VSCROLL:
        ScrollVertically(LOWORD(wParam), HIWORD(wParam));
        return true;
    case WM_HSCROLL:
        ScrollHorizontally(LOWORD(wParam), HIWORD(wParam));
        return true;
    case WM_KEYDOWN: {
        const int request = ScrollRequestForKey(static_cast<UINT>(wParam));
        if (request < 0) {
            return false;
        }
        ScrollVertically(request, 0);
        return true;
    }
    default:
        return false;
    }
}

}  // namespace diag
