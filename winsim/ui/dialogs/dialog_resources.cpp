// The dialog functions that name a template resource of a module.
#include "ui/dialogs/dialog_manager.h"
#include "ui/resources/module_resources.h"

using namespace winsim::ui;

extern "C" {

HWND WINAPI CreateDialogParamA(HINSTANCE hInstance, LPCSTR lpTemplateName, HWND hWndParent, DLGPROC lpDialogFunc,
                               LPARAM dwInitParam)
{
    auto dialog = resources::LoadDialogTemplate(hInstance, lpTemplateName);
    if (!dialog) {
        SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
        return nullptr;
    }
    return CreateDialogFromTemplate(*dialog, hInstance, hWndParent, lpDialogFunc, dwInitParam);
}

INT_PTR WINAPI DialogBoxParamA(HINSTANCE hInstance, LPCSTR lpTemplateName, HWND hWndParent, DLGPROC lpDialogFunc,
                               LPARAM dwInitParam)
{
    auto dialog = resources::LoadDialogTemplate(hInstance, lpTemplateName);
    if (!dialog) {
        SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
        return -1;
    }
    return DialogBoxFromTemplate(*dialog, hInstance, hWndParent, lpDialogFunc, dwInitParam);
}

}  // extern "C"
