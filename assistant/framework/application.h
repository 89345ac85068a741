// The one object of a process that holds what is process-wide. WinMain
// creates it and calls Run; the initial-instance hook decides whether the
// process goes on into a message loop or ends at once.
#pragma once

#include "assistant/framework/window.h"

namespace fw {

class Application {
public:
    explicit Application(HINSTANCE module) : module_(module) {}
    virtual ~Application() = default;
    Application(const Application&) = delete;
    Application& operator=(const Application&) = delete;

    // The process exit code.
    int Run();

    HINSTANCE Module() const { return module_; }
    Window* MainWindow() const { return mainWindow_; }

protected:
    // Returns true to run the application's message loop, false to end the process.
    virtual bool InitInstance() = 0;
    void SetMainWindow(Window* window) { mainWindow_ = window; }
    // Registers the common control classes (tab, tree, progress, tool tips)
    // that the dialog templates name.
    static void EnableDialogControls();

private:
    HINSTANCE module_;
    Window* mainWindow_ = nullptr;
};

}  // namespace fw
