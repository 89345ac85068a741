// DfMon: one line monitor channel window. It keeps up to 32,768 records of
// its COM number in the window itself and formats only the rows it paints.
#pragma once

#include "assistant/diag/view_fonts.h"

#include <memory>

#include "assistant/diag/line_mon_text.h"
#include "assistant/diag/monitor_polling.h"
#include "assistant/diag/monitor_store.h"
#include "assistant/diag/scroll_state.h"
#include "assistant/framework/mdi_frame.h"

namespace diag {

class DfMon final : public fw::MdiChild, public MonitorChannelWindow {
public:
    // Deletes itself when its window is gone, freeing its channel-table entry.
    DfMon(ULONG channelId, const int& hexMode, MonitorChannelEntry& entry);
    ~DfMon() override;

    void AddRecord(const MonitorRecord& record) override;
    void ClearStore();
    void Layout();
    void RefreshTitle();
    // Every record, from the oldest, drawn as on screen into an enhanced
    // metafile on the clipboard.
    void CopyContents();

    ULONG ChannelId() const { return channelId; }
    const MonitorStore& Store() const { return *store; }
    const ScrollState& Scrolling() const { return scroll; }
    int HorizontalOffset() const { return hOffset; }

protected:
    void OnCreate() override;
    void OnFinalDestroy() override { delete this; }
    bool HandleMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

private:
    // Rows first.. of the store from y = 10, at most `rows` of them.
    void DrawRows(HDC dc, ULONG first, ULONG rows);
    void ShowScrollBar();
    void ScrollVertically(int request, int thumb);
    void ScrollHorizontally(int request, int thumb);

    ULONG channelId;
    ULONG titleId;
    const int& hexMode;
    MonitorChannelEntry* entry;
    std::unique_ptr<MonitorStore> store;
    LineMonText text;
    ScrollState scroll;
    int hOffset = 0;
    ViewFonts fonts;
};

}  // namespace diag
