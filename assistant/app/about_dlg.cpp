#include "assistant/app/about_dlg.h"

#include "assistant/app/assistant_dlg.h"
#include "assistant/app/driver_access.h"
#include "assistant/app/module_info.h"
#include "assistant/app/product_strings.h"
#include "assistant/app/text_format.h"
#include "assistant/res/resource.h"

using assistant::Format;

namespace {

struct ModuleFile {
    const char* column;
    const char* fileName;
    bool driverFolder;  // under the Windows directory's system32\drivers
};

const ModuleFile kModules[] = {
    {"Assistant", "qtr84px1asst64.exe", false},
    {"CleanReg", "cl84prreg64.dll", false},
    {"USB Driver", "84prusb64.sys", true},
    {"Port Driver", "84prport64.sys", true},
};

const int kModuleListTabStops[] = {45, 70, 125, 158};

std::string ModulePath(const ModuleFile& module)
{
    if (!module.driverFolder) {
        return module.fileName;
    }
    char windows[MAX_PATH] = "";
    GetWindowsDirectoryA(windows, sizeof(windows));
    return Format("%s\\system32\\drivers\\%s", windows, module.fileName);
}

}  // namespace


CAboutDlg::CAboutDlg(HINSTANCE module, CAssistantDlg& owner) : MappedDialog(module, IDD_ABOUT), owner(owner) {}

const fw::MessageMap<CAboutDlg>& CAboutDlg::Messages()
{
    static const auto map =
        fw::MessageMap<CAboutDlg>().Command(ID_ENABLE_TOOL_TIPS, &CAboutDlg::OnEnableToolTips);
    return map;
}

BOOL CAboutDlg::OnInitDialog()
{
    fw::Dialog::OnInitDialog();
    // Without a target of their own the links open their texts.
    homePage.Attach(Handle(), IDC_HOME_PAGE_LINK);
    manual.Attach(Handle(), IDC_MANUAL_LINK);
    FillModuleList();
    return TRUE;
}

void CAboutDlg::FillModuleList()
{
    fw::Window list = Item(IDC_MODULE_LIST);
    list.Send(EM_SETTABSTOPS, std::size(kModuleListTabStops),
              reinterpret_cast<LPARAM>(const_cast<int*>(kModuleListTabStops)));
    Item(IDC_ABOUT_ICON).SetIcon(LoadIconA(Module(), MAKEINTRESOURCEA(IDI_ASSISTANT)));
    SetText("About");
    Item(IDC_PRODUCT_NAME).SetText(assistant::kDisplayName);
    Item(IDC_MODEL_NAME).SetText(assistant::kModelName);
    std::string text = "Module\tFilename\tVer\tBuild Date\r\n\r\n";
    for (const ModuleFile& module : kModules) {
        const std::string path = ModulePath(module);
        text += Format("%s\t%s\t%s\t%s\r\n", module.column, module.fileName,
                       assistant::ModuleVersionText(path).c_str(), assistant::ModuleFileDateText(path).c_str());
    }
    text += Format("\r\n%s  \"%s\"", "Firmware Version String:", assistant::GetFirmwareVersionString().c_str());
    list.SetText(text);
}

void CAboutDlg::OnEnableToolTips()
{
    owner.EnableToolTips(Item(ID_ENABLE_TOOL_TIPS).Checked());
}
