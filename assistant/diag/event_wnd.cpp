#include "assistant/diag/event_wnd.h"

#include <stdio.h>
#include <string.h>

namespace diag {

namespace {

constexpr int kTopMargin = 10;
constexpr int kLabelX = 5;
constexpr int kTextX = 50;


}  // namespace

void EventLineLabel(int index, char (&label)[6])
{
    char formatted[16];
    snprintf(formatted, sizeof(formatted), "%04d: ", index);
    memcpy(label, formatted, 5);
    label[5] = 0;
}

void EventWnd::OnCreate()
{
    fonts.Create(Handle(), 12);
}

void EventWnd::OnFinalDestroy()
{
    slot = nullptr;
    delete this;
}

void EventWnd::AppendLine(const char* text)
{
    lines.Append(text, lineCounter++);
    scroll.ScrollToEnd(lines.LineCount());
    ShowScrollBar();
    InvalidateRect(Handle(), nullptr, TRUE);
}

void EventWnd::ClearView()
{
    lines.Clear();
    scroll.Reset();
    Layout();
}

void EventWnd::Layout()
{
    HWND parent = GetParent(Handle());
    RECT area{};
    GetClientRect(parent, &area);
    MoveWindow(Handle(), 0, 0, area.right, area.bottom, TRUE);
    RECT client{};
    GetClientRect(Handle(), &client);
    scroll.SetRows(client.top, client.bottom, fonts.lineHeight);
    scroll.Fit(lines.LineCount());
    ShowScrollBar();
    InvalidateRect(Handle(), nullptr, TRUE);
}

void EventWnd::ShowScrollBar()
{
    const bool shown = scroll.BarShown(lines.LineCount());
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

void EventWnd::Scroll(int request, int thumb)
{
    if (!scroll.Scroll(request, thumb)) {
        return;
    }
    SetScrollPos(Handle(), SB_VERT, scroll.FirstVisible(), TRUE);
    InvalidateRect(Handle(), nullptr, TRUE);
}

void EventWnd::Paint()
{
    PAINTSTRUCT paint{};
    HDC dc = BeginPaint(Handle(), &paint);
    HGDIOBJ old = SelectObject(dc, fonts.courier);
    const BYTE* entry = lines.EntryAt(static_cast<ULONG>(scroll.FirstVisible()));
    for (int row = 0; row < scroll.Rows() && entry != nullptr; ++row, entry = LineArena::Next(entry)) {
        const int y = kTopMargin + row * fonts.lineHeight;
        char label[6];
        EventLineLabel(scroll.FirstVisible() + row, label);
        TextOutA(dc, kLabelX, y, label, 5);
        const char* text = LineArena::Text(entry);
        TextOutA(dc, kTextX, y, text, static_cast<int>(strlen(text)));
    }
    SelectObject(dc, old);
    EndPaint(Handle(), &paint);
}

bool EventWnd::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result)
{
    switch (message) {
    case WM_PAINT:
        Paint();
        return true;
    case WM_VSCROLL:
        Scroll(LOWORD(wParam), HIWORD(wParam));
        return true;
    case WM_KEYDOWN: {
        const int request = ScrollRequestForKey(static_cast<UINT>(wParam));
        if (request < 0) {
            return false;
        }
        Scroll(request, 0);
        return true;
    }
    default:
        return false;
    }
}

}  // namespace diag
