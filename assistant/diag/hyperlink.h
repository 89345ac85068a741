// A static text turned into a link: link colours, underlined, a hand
// cursor and a tool tip; a click or the space key opens its target with the
// system's handler.
#pragma once

#include <string>

#include "assistant/framework/subclassed_window.h"

namespace hyperlink_style {
inline constexpr DWORD kUnderline = 0x01;
inline constexpr DWORD kHoverColour = 0x02;
inline constexpr DWORD kFitToText = 0x04;
inline constexpr DWORD kOpenOnPress = 0x08;
inline constexpr DWORD kFocusOnPress = 0x10;
inline constexpr DWORD kNoHandCursor = 0x20;
inline constexpr DWORD kNoFocusColour = 0x40;
inline constexpr DWORD kDefault = kUnderline | kFitToText | kFocusOnPress;
}  // namespace hyperlink_style

class CHyperLink : public fw::SubclassedWindow {
public:
    explicit CHyperLink(DWORD style = hyperlink_style::kDefault) : style(style) {}
    ~CHyperLink() override { Release(); }

    // What a click opens; an empty target is taken from the text when attached.
    void SetTarget(const std::string& text) { target = text; }
    bool Attach(HWND dialog, int id);

    // The text of the failure box for a shell result code.
    static std::string FailureText(int code);

protected:
    bool HandleMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;
    void OnReleased() override;

private:
    void BuildFont();
    void FitToText();
    void LoadHandCursor();
    void CreateToolTip();
    void OpenTarget();
    COLORREF TextColour() const;
    void Repaint() const { InvalidateRect(Handle(), nullptr, TRUE); }
    void RelayToToolTip(UINT message, WPARAM wParam, LPARAM lParam) const;

    std::string target;
    DWORD style;
    HFONT font = nullptr;
    HCURSOR handCursor = nullptr;
    HWND toolTip = nullptr;
    int hovering = 0;
    int pressed = 0;
    int visited = 0;
};
