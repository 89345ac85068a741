// "Port Mapping": the system's serial ports and the COM number of the
// selected adapter port, the remap, and the way to the mapping mode and the
// registry clean. Also run on its own as the modal "Com Port Mappings" dialog.
#pragma once

#include "assistant/app/com_number_combo.h"
#include "assistant/app/mapped_dialog.h"
#include "assistant/framework/list_controls.h"
#include "assistant/framework/message_map.h"

class CAssistantDlg;

class CDeviceList : public assistant::MappedDialog<CDeviceList> {
public:
    CDeviceList(HINSTANCE module, CAssistantDlg& owner);

    void SetUpToolTips();
    void EnableToolTips(bool enabled) const { ActivateToolTips(enabled); }
    // Rebuilds the port list, keeps the remembered line selected and shows its information.
    void RefreshPortMapping();
    // The mapping mode change with the radio buttons following the mode, then a refresh.
    void SelectMappingMode(int mode);

protected:
    BOOL OnInitDialog() override;
    void DoDataExchange(fw::DataExchange& exchange) override;

private:
    friend class assistant::MappedDialog<CDeviceList>;
    static const fw::MessageMap<CDeviceList>& Messages();

    void OnPortLineChosen();
    void OnShowAll() { RefreshPortMapping(); }
    void OnDeleteAll();
    void OnDynamic() { SelectMappingMode(0); }
    void OnGeographic() { SelectMappingMode(1); }
    void OnComNumberChosen();
    bool OnDrawItem(WPARAM wParam, LPARAM lParam, LRESULT& result);

    void BuildPortList();
    void ShowInformation(int line);
    void FillComNumbers(unsigned position);
    void ShowModeButtons();
    // The mapping mode and the clean, which want every adapter port closed.
    void EnableUnpluggedCommands(bool enabled) const;
    // The COM number list shows comNumber again (nothing for one outside it).
    void SelectComNumber(int comNumber) const;
    bool RunsAsDialog() const { return (GetWindowLongPtrA(Handle(), GWL_STYLE) & WS_CHILD) == 0; }
    // Questions go to the window the user works in.
    HWND BoxOwner() const;
    // The open-connection warning when the port moving, or the port holding newCom, is open.
    bool RefusedAsBusy(int oldCom, int newCom) const;

    fw::Window infoText;
    fw::Window deleteAllButton;
    fw::Window showAll;
    fw::Window mappingLabel;
    fw::Window modeGroup;
    CMyComboBox comNumbers;
    fw::ListBox portList;
    fw::Window dynamicButton;
    fw::Window geographicButton;
    CAssistantDlg& owner;
    bool changingToDynamic = false;
    bool changingToGeographic = false;
};
