// "Help" page and About box: product, module versions and dates, firmware
// text, and the switch for the tool tips.
#pragma once

#include <string>

#include "assistant/app/mapped_dialog.h"
#include "assistant/diag/hyperlink.h"
#include "assistant/framework/message_map.h"

class CAssistantDlg;

class CAboutDlg : public assistant::MappedDialog<CAboutDlg> {
public:
    CAboutDlg(HINSTANCE module, CAssistantDlg& owner);

    void FillModuleList();

protected:
    BOOL OnInitDialog() override;

private:
    friend class assistant::MappedDialog<CAboutDlg>;
    static const fw::MessageMap<CAboutDlg>& Messages();
    void OnEnableToolTips();

    CAssistantDlg& owner;
    CHyperLink homePage;
    CHyperLink manual;
};
