#include "assistant/app/device_list.h"

#include "assistant/app/assistant_dlg.h"
#include "assistant/app/com_information.h"
#include "assistant/app/port_list_lines.h"
#include "assistant/app/port_name_list.h"
#include "assistant/app/port_remap.h"
#include "assistant/app/product_strings.h"
#include "assistant/app/text_format.h"
#include "assistant/res/resource.h"

using assistant::Format;

namespace {

const int kToolTipControls[] = {IDC_MAPPING_INFO,       IDC_DELETE_ALL_MAPPINGS, IDC_SHOW_ALL_ASSIGNMENTS,
                                IDC_MAPPING_LABEL,      IDC_MAPPING_MODE_GROUP,  IDC_COM_NUMBER_LIST,
                                IDC_PORT_NAME_LIST,     IDC_MAPPING_DYNAMIC,     IDC_MAPPING_GEOGRAPHIC};

constexpr const char* kModalTitle = "Com Port Mappings";
constexpr int kNameStop = 35;
constexpr int kStateStop = 60;
// What rememberedCom may hold before it counts as no selection.
constexpr int kRememberedLimit = 255;

constexpr UINT kWarning = MB_OK | MB_ICONEXCLAMATION;
constexpr UINT kQuestion = MB_YESNO | MB_ICONEXCLAMATION | MB_DEFBUTTON2;

constexpr const char* kBusyText =
    "The selected device port currently has an open connection to an application.\r\rYou must close this "
    "connection before remapping this device port to a different COM name";
constexpr const char* kBusyCaption = "Tessary Serial Adapter -- Comport Remap: Open Connection Warning";
constexpr const char* kFreeQuestion =
    "You are about to change the COM Port name for the selected device from COM%d to COM%d.\r\rDo you want to "
    "continue?";
constexpr const char* kFreeCaption = "Tessary Serial Adapter -- COM Port Name Setting Change";
constexpr const char* kInUseQuestion =
    "You are about to change the COM Port name for the selected device from COM%d to COM%d.\r\r*** Warning: The "
    "port you're trying to assign to the selected Tessary adapter is already in use by another device.  If you "
    "continue, serious problems may result. ***\r\rDo you want to continue?";
constexpr const char* kInUseCaption = "Tessary Serial Adapter -- Comport Remap: Mapped COM Port Name Warning";
constexpr const char* kErrorCaption = "Tessary Serial Adapter -- COM Port Remap Request Error";
constexpr const char* kNotFoundText =
    "Error: The selected device's configuration record was not found. Restart the Assistant and try again. If the "
    "problem persists you may have to re-install the device.";
constexpr const char* kRefusedText =
    "Error: The Config Update request to the driver failed.Restart the Assistant and try again. If the problem "
    "persists you may have to re-install the device.";
constexpr const char* kDoneText = "The Port remapping request succeeded.";
constexpr const char* kDoneCaption = "Tessary Serial Adapter -- COM Port Remap";

}  // namespace

CDeviceList::CDeviceList(HINSTANCE module, CAssistantDlg& owner)
    : MappedDialog(module, IDD_PORT_MAPPING), owner(owner)
{
}

const fw::MessageMap<CDeviceList>& CDeviceList::Messages()
{
    static const auto map = fw::MessageMap<CDeviceList>()
                                .Command(IDC_PORT_NAME_LIST, LBN_SELCHANGE, &CDeviceList::OnPortLineChosen)
                                .Command(IDC_SHOW_ALL_ASSIGNMENTS, &CDeviceList::OnShowAll)
                                .Command(IDC_DELETE_ALL_MAPPINGS, &CDeviceList::OnDeleteAll)
                                .Command(IDC_MAPPING_DYNAMIC, &CDeviceList::OnDynamic)
                                .Command(IDC_MAPPING_GEOGRAPHIC, &CDeviceList::OnGeographic)
                                .Command(IDC_COM_NUMBER_LIST, CBN_SELCHANGE, &CDeviceList::OnComNumberChosen)
                                .Message(WM_DRAWITEM, &CDeviceList::OnDrawItem);
    return map;
}

void CDeviceList::DoDataExchange(fw::DataExchange& exchange)
{
    exchange.Control(IDC_MAPPING_INFO, infoText);
    exchange.Control(IDC_DELETE_ALL_MAPPINGS, deleteAllButton);
    exchange.Control(IDC_SHOW_ALL_ASSIGNMENTS, showAll);
    exchange.Control(IDC_MAPPING_LABEL, mappingLabel);
    exchange.Control(IDC_MAPPING_MODE_GROUP, modeGroup);
    exchange.Control(IDC_COM_NUMBER_LIST, comNumbers);
    exchange.Control(IDC_PORT_NAME_LIST, portList);
    exchange.Control(IDC_MAPPING_DYNAMIC, dynamicButton);
    exchange.Control(IDC_MAPPING_GEOGRAPHIC, geographicButton);
}

BOOL CDeviceList::OnInitDialog()
{
    fw::Dialog::OnInitDialog();
    if (RunsAsDialog()) {
        SetText(kModalTitle);
        SetUpToolTips();
        EnableToolTips(owner.helpPage.Item(ID_ENABLE_TOOL_TIPS).Checked());
    }
    deleteAllButton.SetText(Format("Delete All %s COM Port Mappings", assistant::kDisplayName));
    BuildPortList();
    owner.rememberedCom = static_cast<int>(portList.ItemValue(0));
    FillComNumbers(0);
    ShowInformation(0);
    return TRUE;
}

void CDeviceList::SetUpToolTips()
{
    CreateToolTipsFor(kToolTipControls);
}

void CDeviceList::BuildPortList()
{
    const bool everyPort = showAll.Checked();
    portList.Reset();
    portList.SetTabStops({kNameStop, kStateStop});
    PortNameList* scan = BuildPortNameList();
    if (scan == nullptr) {
        return;
    }
    owner.portsInUse.Refresh();
    for (const assistant::PortListLine& line :
         assistant::PortListLines(*scan, owner.portsInUse, owner.infoTable, everyPort)) {
        portList.SetItemValue(portList.Add(line.text), line.comNumber);
    }
    FreePortNameList(scan);
    portList.FitHorizontalExtent();
}

void CDeviceList::RefreshPortMapping()
{
    BuildPortList();
    if (owner.rememberedCom < 0 || owner.rememberedCom > kRememberedLimit) {
        owner.rememberedCom = static_cast<int>(portList.ItemValue(0));
    }
    int line = 0;
    const int count = portList.Count();
    while (line < count && portList.ItemValue(line) != owner.rememberedCom) {
        ++line;
    }
    if (line == count) {
        owner.rememberedCom = static_cast<int>(portList.ItemValue(0));
        line = 0;
    }
    portList.Select(line);
    FillComNumbers(static_cast<unsigned>(owner.rememberedCom - 1));
    ShowInformation(line);
}

void CDeviceList::FillComNumbers(unsigned position)
{
    owner.portsInUse.Refresh();
    comNumbers.Fill(owner.portsInUse, position);
}

void CDeviceList::ShowModeButtons()
{
    dynamicButton.SetChecked(owner.mappingMode == 0);
    geographicButton.SetChecked(owner.mappingMode != 0);
}

void CDeviceList::SelectComNumber(int comNumber) const
{
    comNumbers.Select(assistant::ComPortUsage::InRange(comNumber) ? comNumber - 1 : -1);
}

void CDeviceList::EnableUnpluggedCommands(bool enabled) const
{
    for (const fw::Window* control : {&modeGroup, &geographicButton, &dynamicButton, &deleteAllButton}) {
        control->Enable(enabled);
    }
}

void CDeviceList::ShowInformation(int line)
{
    ShowModeButtons();
    const int adapters = owner.infoTable.count;
    if (adapters == 0) {
        mappingLabel.Enable(false);
        comNumbers.Enable(false);
        // Nothing is open, so the commands that want the adapters unplugged are open to the user.
        EnableUnpluggedCommands(true);
        infoText.SetText("");
        return;
    }
    if (adapters < 0 || line < 0 || line >= portList.Count()) {
        mappingLabel.Enable(false);
        comNumbers.Enable(false);
        infoText.SetText("*** INVALID SELECTION ***");
        return;
    }
    const int comNumber = static_cast<int>(portList.ItemValue(line));
    const assistant::MappingEnabling enabling = assistant::MappingEnablingFor(owner.infoTable, comNumber);
    // A number outside the COM number list has no entry to move from.
    const bool remap = enabling.remapAllowed && assistant::ComPortUsage::InRange(comNumber);
    mappingLabel.Enable(remap);
    comNumbers.Enable(remap);
    EnableUnpluggedCommands(enabling.allIdle);
    portList.Select(line);
    SelectComNumber(comNumber);

    PortNameList* scan = BuildPortNameList();
    if (scan == nullptr) {
        infoText.SetText("*** failed to get port info ***");
        return;
    }
    owner.portsInUse.Refresh();
    const assistant::ComFacts facts =
        assistant::GatherComFacts(*scan, owner.portsInUse, owner.infoTable, comNumber);
    FreePortNameList(scan);
    infoText.SetText(assistant::ComInformationText(facts));
}

void CDeviceList::OnPortLineChosen()
{
    const int line = portList.Selection();
    owner.rememberedCom = static_cast<int>(portList.ItemValue(line));
    ShowInformation(line);
}

void CDeviceList::OnDeleteAll()
{
    owner.CleanRegistry();
    RefreshPortMapping();
}

void CDeviceList::SelectMappingMode(int mode)
{
    bool& running = mode == 0 ? changingToDynamic : changingToGeographic;
    if (running) {
        return;
    }
    running = true;
    owner.ChangeMappingMode(mode);
    ShowModeButtons();
    RefreshPortMapping();
    running = false;
}

HWND CDeviceList::BoxOwner() const
{
    return RunsAsDialog() ? Handle() : owner.Handle();
}

bool CDeviceList::RefusedAsBusy(int oldCom, int newCom) const
{
    if (!assistant::ComPortBusy(owner.infoTable, oldCom) && !assistant::ComPortBusy(owner.infoTable, newCom)) {
        return false;
    }
    MessageBoxA(BoxOwner(), kBusyText, kBusyCaption, kWarning);
    return true;
}

void CDeviceList::OnComNumberChosen()
{
    const int line = portList.Selection();
    if (line < 0) {
        return;
    }
    const int oldCom = static_cast<int>(portList.ItemValue(line));
    const int newCom = comNumbers.Selection() + 1;
    if (oldCom == newCom || RefusedAsBusy(oldCom, newCom)) {
        return;
    }
    const bool free = comNumbers.ItemValue(newCom - 1) == CMyComboBox::kFree;
    const std::string question = Format(free ? kFreeQuestion : kInUseQuestion, oldCom, newCom);
    if (MessageBoxA(BoxOwner(), question.c_str(), free ? kFreeCaption : kInUseCaption, kQuestion) != IDYES) {
        SelectComNumber(oldCom);
        return;
    }
    // The poll ran while the question was open: a port may have been opened since.
    if (RefusedAsBusy(oldCom, newCom)) {
        SelectComNumber(oldCom);
        return;
    }
    const assistant::RemapOutcome outcome =
        assistant::RemapComPort(owner.driver, owner.configSnapshot, owner.configWorking, oldCom, newCom);
    if (outcome != assistant::RemapOutcome::kDone) {
        const char* text = outcome == assistant::RemapOutcome::kRecordNotFound ? kNotFoundText : kRefusedText;
        MessageBoxA(BoxOwner(), text, kErrorCaption, kWarning);
        SelectComNumber(oldCom);
        return;
    }
    MessageBoxA(BoxOwner(), kDoneText, kDoneCaption, MB_OK | MB_ICONINFORMATION);
    owner.rememberedCom = newCom;
    RefreshPortMapping();
}

bool CDeviceList::OnDrawItem(WPARAM wParam, LPARAM lParam, LRESULT& result)
{
    if (wParam != IDC_COM_NUMBER_LIST) {
        return false;
    }
    comNumbers.DrawItem(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
    result = TRUE;
    return true;
}
