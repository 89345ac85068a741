// comctl32's initialisation: the common control classes are system classes
// here, registered with the others on first use, so there is nothing left
// to register.
#include <commctrl.h>

extern "C" {

void WINAPI InitCommonControls(void) {}

BOOL WINAPI InitCommonControlsEx(const INITCOMMONCONTROLSEX* picce)
{
    return picce != nullptr && picce->dwSize == sizeof(INITCOMMONCONTROLSEX) ? TRUE : FALSE;
}

}  // extern "C"
