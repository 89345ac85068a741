#include "assistant/app/assistant_image.h"

#include "AssistantResources.h"
#include "assistant/app/assistant_app.h"

int WINAPI AssistantProgramMain(HINSTANCE instance, HINSTANCE, LPSTR, int)
{
    return AssistantMain(instance);
}

std::span<const unsigned char> AssistantImageResources()
{
    return AssistantResources();
}
