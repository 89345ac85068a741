// Texts handed to the main dialog through PostMessage: the sender makes a
// heap copy, the dialog takes it back and frees it.
#pragma once

#include <string>

#include "common/win32_user.h"

namespace assistant {

// Posts message with a copy of text in lParam; frees the copy itself when the post fails.
bool PostText(HWND window, UINT message, const std::string& text);
// The text of a posted copy, which is freed.
std::string TakePostedText(LPARAM copy);

}  // namespace assistant
