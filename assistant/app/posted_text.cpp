#include "assistant/app/posted_text.h"

#include <cstring>

namespace assistant {

bool PostText(HWND window, UINT message, const std::string& text)
{
    auto* copy = new char[text.size() + 1];
    std::memcpy(copy, text.c_str(), text.size() + 1);
    if (PostMessageA(window, message, 0, reinterpret_cast<LPARAM>(copy)) == FALSE) {
        delete[] copy;
        return false;
    }
    return true;
}

std::string TakePostedText(LPARAM copy)
{
    auto* text = reinterpret_cast<char*>(copy);
    std::string result = text != nullptr ? text : "";
    delete[] text;
    return result;
}

}  // namespace assistant
