// Multiple-document frames and their child windows, with the toolbar and the
// status bar a frame carries. A frame lives on the heap and deletes itself
// once its window is gone; a child belongs to the object that created it and
// is destroyed with the frame's client area.
#pragma once

#include <string>
#include <vector>

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
    // The menu is about to open: derived frames enable and disable its items.
    virtual void UpdateMenu(HMENU) {}
    // The window is gone; by default the frame deletes itself.
    virtual void OnFinalDestroy() { delete this; }
    // What the derived class did not handle comes here.
    virtual bool HandleMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);

    // Toolbar of square images from one bitmap, one per command in order,
    // docked at the top; tool tips are the commands' string resources.
    bool CreateToolbar(UINT bitmapId, const std::vector<UINT>& commands, int imageSize);
    void EnableButton(UINT command, bool enabled) const;
    bool ButtonEnabled(UINT command) const;
    // Status bar with panes sized for the texts (string resource ids, 0 for
    // the stretching message pane) plus the extra pixels asked for.
    bool CreateStatusBar(const std::vector<UINT>& paneTexts, const std::vector<int>& extraWidths);
    void SetPaneText(int pane, const std::string& text) const;
    std::string PaneText(int pane) const;
    void RecalcLayout();

    static void EnableMenuCommand(HMENU menu, UINT command, bool enabled);

private:
    static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    bool HandleBarCommand(UINT command);
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
