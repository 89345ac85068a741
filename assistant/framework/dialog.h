// A dialog from a resource template, run modally or created as a child page
// of another dialog. Derived classes route messages through their message
// map in HandleMessage and fall back to this class's handling.
#pragma once

#include <vector>

#include "assistant/framework/data_exchange.h"
#include "assistant/framework/tool_tip.h"
#include "assistant/framework/window.h"

namespace fw {

class Dialog : public Window {
public:
    Dialog(HINSTANCE module, UINT templateId) : module_(module), templateId_(templateId) {}
    virtual ~Dialog();
    Dialog(const Dialog&) = delete;
    Dialog& operator=(const Dialog&) = delete;

    // Shows the dialog (a page template as a captioned pop-up) with owner disabled and runs its message loop until
    // EndModal; the window is destroyed before this returns.
    INT_PTR RunModal(HWND owner);
    void EndModal(INT_PTR result);

    // Creates the dialog as a hidden child window of parent (a page inside a
    // tab control of host): host's message loop passes it its messages.
    bool CreatePage(HWND parent, Dialog& host);

    // Runs DoDataExchange in one direction.
    void UpdateData(bool fromControls);

    HINSTANCE Module() const { return module_; }
    UINT TemplateId() const { return templateId_; }

protected:
    // Exchanges data towards the controls; overrides call this first.
    virtual BOOL OnInitDialog();
    virtual void DoDataExchange(DataExchange&) {}
    // Enter and Escape (IDOK and IDCANCEL); both end a modal run.
    virtual void OnOK() { EndModal(IDOK); }
    virtual void OnCancel() { EndModal(IDCANCEL); }
    // What the close box does unless a handler of WM_CLOSE decides otherwise.
    void CloseAsCancel() const { Send(WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0); }
    // What the derived class did not handle comes here.
    virtual bool HandleMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);

    // The dialog's tool tips, whose texts are string resources named by the tool's control id.
    bool CreateToolTips();
    void AddToolTip(int controlId) const { tips_.AddTool(GetDlgItem(Handle(), controlId)); }
    void ActivateToolTips(bool active) const { tips_.Activate(active); }

private:
    // The template as it is, or a child template restyled as a pop-up.
    HWND CreatePopup(HWND owner);
    static INT_PTR CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    INT_PTR Route(UINT message, WPARAM wParam, LPARAM lParam);
    // Before a queued message is dispatched: tool tips see the mouse.
    void PreTranslate(const MSG& message) const;
    bool Contains(HWND window) const { return window == Handle() || IsChild(Handle(), window); }

    HINSTANCE module_;
    UINT templateId_;
    ToolTip tips_;
    std::vector<Dialog*> pages_;
    bool modalEnded_ = false;
    INT_PTR modalResult_ = IDCANCEL;
};

}  // namespace fw
