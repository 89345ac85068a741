// "Help" page and About box: product, module versions and dates, firmware
// text, and the switch for the tool tips.
#pragma once

#include <string>

#include "assistant/diag/hyperlink.h"
#include "assistant/framework/dialog.h"
#include "assistant/framework/message_map.h"

class CAssistantDlg;

class CAboutDlg : public fw::Dialog {
public:
    CAboutDlg(HINSTANCE module, CAssistantDlg& owner);

    void FillModuleList();

protected:
    BOOL OnInitDialog() override;
    bool HandleMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

private:
    static const fw::MessageMap<CAboutDlg>& Messages();
    void OnEnableToolTips();

    CAssistantDlg& owner;
    CHyperLink homePage;
    CHyperLink manual;
};
