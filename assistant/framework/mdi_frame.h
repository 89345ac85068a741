// Multiple-document frames and their child windows, with the toolbar and the
// status bar a frame carries. A frame lives on the heap and deletes itself
// once its window is gone; a child belongs to the object that created it and
// is destroyed with the frame's client area.
//
// Menu items and toolbar buttons follow the commands' update handlers
// (UpdateCommand entries of the derived frame's message map, reached through
// HandleMessage): menu items as their pop-up opens, toolbar buttons after
// every command the frame handles and whenever the derived frame calls
// UpdateToolbar after a change of its own.
#pragma once

#include <string>
#include <vector>

#include "assistant/framework/command_ui.h"
#include "assistant/framework/window.h"

namespace fw {

class MdiFrame : public Window {
public:
    virtual ~MdiFrame() = default;
    MdiFrame(const MdiFrame&) = delete;
    MdiFrame& operator=(const MdiFrame&) = delete;

    // Creates the overlapped frame with the menu of the given resource;
    // its MDI client area is there when OnCreate runs.
    bool Create(HINSTANCE module, UINT menuId, const std::string& title);
    HWND Client() const { return client_; }
    HINSTANCE Module() const { return module_; }

protected:
    MdiFrame() = default;

    virtual void OnCreate() {}
    // The window is gone; by default the frame deletes itself.
    virtual void OnFinalDestroy() { delete this; }
    // What the derived class did not handle comes here.
    virtual bool HandleMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);

    // Toolbar of square images from one bitmap, one per command in order,
    // docked at the top; tool tips are the commands' string resources.
    bool CreateToolbar(UINT bitmapId, const std::vector<UINT>& commands, int imageSize);
    // Sets each button whose command has an update handler to the state the handler gives.
    void UpdateToolbar();
    // A button whose command has no update handler.
    void EnableButton(UINT command, bool enabled) const;
    bool ButtonEnabled(UINT command) const;
    // Status bar with panes sized for the texts (string resource ids, 0 for
    // the stretching message pane) plus the extra pixels asked for.
    bool CreateStatusBar(const std::vector<UINT>& paneTexts, const std::vector<int>& extraWidths);
    void SetPaneText(int pane, const std::string& text) const;
    std::string PaneText(int pane) const;
    void RecalcLayout();

private:
    static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    bool HandleBarCommand(UINT command);
    void UpdateBarCommand(CommandUi& command) const;
    // False when the command has no update handler.
    bool AskCommand(CommandUi& command);
    void UpdateMenuItems(HMENU popup);
    void ShowMenuText(UINT item, UINT flags);
    void LayoutPanes();

    HINSTANCE module_ = nullptr;
    HWND client_ = nullptr;
    HWND toolbar_ = nullptr;
    HWND statusBar_ = nullptr;
    std::vector<UINT> paneTexts_;
    std::vector<int> paneExtras_;
};

class MdiChild : public Window {
public:
    virtual ~MdiChild();
    MdiChild(const MdiChild&) = delete;
    MdiChild& operator=(const MdiChild&) = delete;

    bool Create(const MdiFrame& frame, const std::string& title, DWORD style, const RECT& place);

protected:
    MdiChild() = default;

    virtual void OnCreate() {}
    // The window is gone and this object no longer has one.
    virtual void OnFinalDestroy() {}
    virtual bool HandleMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);

private:
    static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
};

}  // namespace fw
