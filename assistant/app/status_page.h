// "Adapter Status": a tree of the adapters and their ports with each port's
// COM number and state. Opening an item shows it on the properties page.
#pragma once

#include "assistant/app/mapped_dialog.h"
#include "assistant/framework/message_map.h"
#include "assistant/framework/tree_view.h"

class CAssistantDlg;

class CDlgChildStatus : public assistant::MappedDialog<CDlgChildStatus> {
public:
    CDlgChildStatus(HINSTANCE module, CAssistantDlg& owner);

    void SetUpToolTips();
    void RebuildStatusTree();
    void RefreshStatusTree();
    void DestroyImageList();
    void EnableToolTips(bool enabled) const { ActivateToolTips(enabled); }

protected:
    void DoDataExchange(fw::DataExchange& exchange) override;

private:
    friend class assistant::MappedDialog<CDlgChildStatus>;
    static const fw::MessageMap<CDlgChildStatus>& Messages();
    void OnOpenItem(NMHDR& header, LRESULT& result);
    // The text of adapter i's item and of its port j's item.
    std::string AdapterText(int adapter) const;
    std::string PortText(int adapter, int port, const char* absentWord) const;

    CAssistantDlg& owner;
    fw::TreeView tree;
    HIMAGELIST images = nullptr;
    int adaptersShown = 0;
};
