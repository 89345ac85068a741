// CDlgMonChanSelect: "Select Monitor Channel", the ports not yet monitored.
#pragma once

#include <vector>

#include "assistant/diag/channel_choices.h"
#include "assistant/framework/dialog.h"

class CDlgMonChanSelect : public fw::Dialog {
public:
    CDlgMonChanSelect(HINSTANCE module, const DeviceInfoTable& table, const diag::MonitorState& monitor);

    // The COM number picked, once the dialog ended with OK.
    ULONG Selected() const { return selected; }

protected:
    BOOL OnInitDialog() override;
    // OK needs a selection; without one the dialog stays.
    void OnOK() override;

private:
    std::vector<diag::ChannelChoice> choices;
    ULONG selected = 0;
};
