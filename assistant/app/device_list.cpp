#include "assistant/app/device_list.h"

#include "assistant/app/product_strings.h"
#include "assistant/app/text_format.h"
#include "assistant/res/resource.h"

namespace {
const int kToolTipControls[] = {IDC_MAPPING_INFO,       IDC_DELETE_ALL_MAPPINGS, IDC_SHOW_ALL_ASSIGNMENTS,
                                IDC_MAPPING_LABEL,      IDC_MAPPING_MODE_GROUP,  IDC_COM_NUMBER_LIST,
                                IDC_PORT_NAME_LIST,     IDC_MAPPING_DYNAMIC,     IDC_MAPPING_GEOGRAPHIC};
}

CDeviceList::CDeviceList(HINSTANCE module, CAssistantDlg& owner)
    : fw::Dialog(module, IDD_PORT_MAPPING), owner(owner)
{
}

void CDeviceList::DoDataExchange(fw::DataExchange& exchange)
{
    exchange.Control(IDC_DELETE_ALL_MAPPINGS, deleteAllButton);
}

BOOL CDeviceList::OnInitDialog()
{
    fw::Dialog::OnInitDialog();
    deleteAllButton.SetText(assistant::Format("Delete All %s COM Port Mappings", assistant::kDisplayName));
    return TRUE;
}

void CDeviceList::SetUpToolTips()
{
    CreateToolTips();
    for (int id : kToolTipControls) {
        AddToolTip(id);
    }
}
