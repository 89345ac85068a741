#include "assistant/framework/tool_tip.h"

namespace fw {

namespace {
constexpr WPARAM kMaxTipWidth = 400;
constexpr LPARAM kAutoPopMilliseconds = 20000;
constexpr int kLongestTip = 1024;
}  // namespace

bool ToolTip::Create(HWND owner)
{
    owner_ = owner;
    HINSTANCE module = reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(owner, GWLP_HINSTANCE));
    Attach(CreateWindowExA(0, TOOLTIPS_CLASSA, nullptr, WS_POPUP | TTS_NOPREFIX, CW_USEDEFAULT, CW_USEDEFAULT,
                           CW_USEDEFAULT, CW_USEDEFAULT, owner, nullptr, module, nullptr));
    if (!*this) {
        return false;
    }
    Send(TTM_SETMAXTIPWIDTH, 0, kMaxTipWidth);
    Send(TTM_SETDELAYTIME, TTDT_AUTOPOP, kAutoPopMilliseconds);
    Activate(false);
    return true;
}

void ToolTip::AddTool(HWND control) const
{
    TOOLINFOA tool{};
    tool.cbSize = sizeof(tool);
    tool.uFlags = TTF_IDISHWND;
    tool.hwnd = owner_;
    tool.uId = reinterpret_cast<UINT_PTR>(control);
    tool.lpszText = LPSTR_TEXTCALLBACKA;
    Send(TTM_ADDTOOLA, 0, reinterpret_cast<LPARAM>(&tool));
}

void ToolTip::Relay(const MSG& message) const
{
    if (*this) {
        Send(TTM_RELAYEVENT, 0, reinterpret_cast<LPARAM>(&message));
    }
}

void ToolTip::SupplyText(NMTTDISPINFOA& request, HINSTANCE strings)
{
    const int id = (request.uFlags & TTF_IDISHWND) != 0
                       ? GetDlgCtrlID(reinterpret_cast<HWND>(request.hdr.idFrom))
                       : static_cast<int>(request.hdr.idFrom);
    text_.assign(kLongestTip, '\0');
    const int length = LoadStringA(strings, static_cast<UINT>(id), text_.data(), kLongestTip);
    text_.resize(length > 0 ? static_cast<size_t>(length) : 0);
    request.lpszText = text_.data();
    request.szText[0] = '\0';
    request.hinst = nullptr;
}

}  // namespace fw
