// The Windows entry point; on the simulated PC the bench starts AssistantMain as a process.
#include "assistant/app/assistant_app.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int)
{
    return AssistantMain(instance);
}
