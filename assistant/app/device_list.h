// "Port Mapping": the system's serial ports and the COM number of the
// selected adapter port. Also run on its own as a modal dialog.
#pragma once

#include "assistant/framework/dialog.h"

class CAssistantDlg;

class CDeviceList : public fw::Dialog {
public:
    CDeviceList(HINSTANCE module, CAssistantDlg& owner);

    void SetUpToolTips();
    void EnableToolTips(bool enabled) const { ActivateToolTips(enabled); }

protected:
    BOOL OnInitDialog() override;
    void DoDataExchange(fw::DataExchange& exchange) override;

private:
    fw::Window deleteAllButton;
    CAssistantDlg& owner;
};
