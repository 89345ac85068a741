#include "assistant/diag/monitor_channel_dlg.h"

#include "assistant/res/resource.h"

CDlgMonChanSelect::CDlgMonChanSelect(HINSTANCE module, const DeviceInfoTable& table,
                                     const diag::MonitorState& monitor)
    : fw::Dialog(module, IDD_MONITOR_CHANNEL), choices(diag::MonitorChannelChoices(table, monitor))
{
}

BOOL CDlgMonChanSelect::OnInitDialog()
{
    fw::Dialog::OnInitDialog();
    const fw::Window list = Item(IDC_CHANNEL_LIST);
    for (size_t i = 0; i < choices.size(); ++i) {
        const LRESULT at = list.Send(LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(choices[i].text.c_str()));
        list.Send(LB_SETITEMDATA, static_cast<WPARAM>(at), static_cast<LPARAM>(i));
    }
    return TRUE;
}

void CDlgMonChanSelect::OnOK()
{
    const fw::Window list = Item(IDC_CHANNEL_LIST);
    const LRESULT at = list.Send(LB_GETCURSEL);
    if (at == LB_ERR) {
        return;
    }
    const auto index = static_cast<size_t>(list.Send(LB_GETITEMDATA, static_cast<WPARAM>(at)));
    if (index >= choices.size()) {
        return;
    }
    selected = choices[index].comNumber;
    EndModal(IDOK);
}
