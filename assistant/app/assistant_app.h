// The Assistant's application object: one running copy per logon, the main
// dialog run modally, then the process ends.
#pragma once

#include "assistant/framework/application.h"

class CAssistantApp : public fw::Application {
public:
    using fw::Application::Application;

protected:
    bool InitInstance() override;

private:
    HANDLE singleInstanceMutex = nullptr;
};

// What WinMain does: the process exit code.
int AssistantMain(HINSTANCE module);
