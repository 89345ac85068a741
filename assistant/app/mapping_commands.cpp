// The main dialog's commands that change how adapter ports get their COM
// numbers: the mapping mode, the registry clean and the modal mapping dialog.
// The unplug questions repeat until the poll, which the message boxes keep
// running, sees no adapter.
#include "assistant/app/assistant_dlg.h"
#include "assistant/app/product_strings.h"
#include "assistant/app/text_format.h"
#include "cl84prreg64.h"

using assistant::Format;
using assistant::kDisplayName;
using assistant::kDisplayNameUpper;

namespace {

constexpr UINT kYesNo = MB_YESNO | MB_ICONEXCLAMATION | MB_DEFBUTTON2;
constexpr UINT kOkCancel = MB_OKCANCEL | MB_ICONEXCLAMATION | MB_DEFBUTTON2;
constexpr UINT kInformation = MB_OK | MB_ICONINFORMATION;

constexpr const char* kModeCaption = "Tessary Serial Adapter -- Configure COM Port Mapping Mode";
constexpr const char* kModeQuestion =
    "You are about to change the method by which the %s driver maps devices to COM ports. This will erase all "
    "existing COM port assignments in the registry for the %s, and change the method by which COM ports are "
    "assigned to future instances of the Adapter. All %s devices on your system must be unplugged before continuing "
    "with this operation.\r\rDo you want to continue?";
constexpr const char* kModeUnplug =
    "Please UNPLUG all %s devices then PRESS OK TO CONTINUE (or press Cancel to return to the Assistant).";
constexpr const char* kModeDone = "Port Mapping Mode Configuration Update Complete.\rYou may now reconnect your %s devices";
constexpr const char* kModeDoneCaption = "Tessary Serial Adapter";

constexpr const char* kCleanCaption = "%s Assistant -- Important Warning";
constexpr const char* kCleanQuestion =
    "You are about to delete all %s COM Port mappings from your system registry. This command should be used only "
    "when attempting to repair or remap COM Port mappings. All %sS must be removed before executing this command. "
    "After this action completes, you may re-insert your %sS. The system will automatically assign new COM Ports "
    "for each adapter.\r\n\r\nREMOVE YOUR %sS NOW THEN PRESS \"OK\", OR PRESS CANCEL TO RETURN TO THE ASSISTANT.";
constexpr const char* kCleanUnplug =
    "You must unplug all %sS in order to delete the associated COM Port mappings from the system registry.\r\n"
    "REMOVE YOUR %sS NOW THEN PRESS \"OK\" OR PRESS CANCEL TO RETURN TO THE ASSISTANT.";
constexpr const char* kCleanDone = "Registry Clean Operation Complete.\r\rYou may now reconnect your %sS.";
constexpr const char* kCleanDoneCaption = "%s Assistant -- Registry Clean";

}  // namespace

HWND CAssistantDlg::QuestionOwner() const
{
    return modalPortMapping != nullptr ? modalPortMapping->Handle() : Handle();
}

void CAssistantDlg::ChangeMappingMode(int mode)
{
    if (mode == mappingMode) {
        return;
    }
    const std::string question = Format(kModeQuestion, kDisplayName, kDisplayName, kDisplayName);
    if (MessageBoxA(QuestionOwner(), question.c_str(), kModeCaption, kYesNo) != IDYES) {
        return;
    }
    const std::string unplug = Format(kModeUnplug, kDisplayName);
    while (infoTable.count != 0) {
        if (MessageBoxA(QuestionOwner(), unplug.c_str(), kModeCaption, kOkCancel) != IDOK) {
            return;
        }
    }
    mappingMode = mode;
    fnSetDriverConfig(static_cast<unsigned>(mappingMode));
    mappingModeSaved = mappingMode;
    fnClqtrreg();
    MessageBoxA(QuestionOwner(), Format(kModeDone, kDisplayName).c_str(), kModeDoneCaption, kInformation);
}

void CAssistantDlg::CleanRegistry()
{
    const std::string caption = Format(kCleanCaption, kDisplayName);
    const std::string question =
        Format(kCleanQuestion, kDisplayNameUpper, kDisplayNameUpper, kDisplayNameUpper, kDisplayNameUpper);
    if (MessageBoxA(QuestionOwner(), question.c_str(), caption.c_str(), kOkCancel) == IDOK) {
        const std::string unplug = Format(kCleanUnplug, kDisplayNameUpper, kDisplayNameUpper);
        while (!driver.NoDevices()) {
            if (MessageBoxA(QuestionOwner(), unplug.c_str(), caption.c_str(), kOkCancel) != IDOK) {
                return;
            }
        }
        fnClqtrreg();
        MessageBoxA(QuestionOwner(), Format(kCleanDone, kDisplayNameUpper).c_str(),
                    Format(kCleanDoneCaption, kDisplayName).c_str(), kInformation);
    }
    mappingPage.RefreshPortMapping();
}

void CAssistantDlg::OnMappingDynamic()
{
    mappingPage.SelectMappingMode(0);
}

void CAssistantDlg::OnMappingGeographic()
{
    mappingPage.SelectMappingMode(1);
}

void CAssistantDlg::OnModifyMappings()
{
    CDeviceList dialog(Module(), *this);
    modalPortMapping = &dialog;
    dialog.RunModal(Handle());
    modalPortMapping = nullptr;
}
