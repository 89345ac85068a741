#include "assistant/framework/application.h"

namespace fw {

int Application::Run()
{
    if (!InitInstance()) {
        return 0;
    }
    MSG message{};
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    return static_cast<int>(message.wParam);
}

void Application::EnableDialogControls()
{
    INITCOMMONCONTROLSEX classes{};
    classes.dwSize = sizeof(classes);
    classes.dwICC = ICC_STANDARD_CLASSES | ICC_TAB_CLASSES | ICC_TREEVIEW_CLASSES | ICC_PROGRESS_CLASS |
                    ICC_BAR_CLASSES | ICC_WIN95_CLASSES;
    InitCommonControlsEx(&classes);
}

}  // namespace fw
