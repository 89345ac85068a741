#include "assistant/app/assistant_app.h"

#include "assistant/app/assistant_dlg.h"
#include "assistant/app/product_strings.h"
#include "assistant/app/text_format.h"

namespace {
constexpr const char* kSingleInstanceMutex = "TQTRASSTAPP84PR";
constexpr const char* kDialogClass = "#32770";
}  // namespace

bool CAssistantApp::InitInstance()
{
    singleInstanceMutex = CreateMutexA(nullptr, TRUE, kSingleInstanceMutex);
    if (singleInstanceMutex == nullptr) {
        MessageBoxA(nullptr, "TDMR Assistant: CreateMutex 'mutexOneInstanceOnly' FAILED", "TDMRASST",
                    MB_OK | MB_ICONERROR);
        return false;
    }
    if (GetLastError() == ERROR_ALREADY_EXISTS) {
        // Another copy runs: bring its window forward and go.
        const std::string title = assistant::Format(assistant::kMainTitleFormat, assistant::kDisplayName);
        SetForegroundWindow(FindWindowA(kDialogClass, title.c_str()));
        CloseHandle(singleInstanceMutex);
        singleInstanceMutex = nullptr;
        return false;
    }
    EnableDialogControls();
    CAssistantDlg dialog(Module());
    SetMainWindow(&dialog);
    dialog.RunModal(nullptr);
    SetMainWindow(nullptr);
    CloseHandle(singleInstanceMutex);
    singleInstanceMutex = nullptr;
    return false;
}

int AssistantMain(HINSTANCE module)
{
    CAssistantApp application(module);
    return application.Run();
}
