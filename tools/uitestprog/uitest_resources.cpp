#include "UiTestResources.h"
#include "uitest_program.h"

std::span<const unsigned char> UiTestProgramResources() { return UiTestResources(); }
