// The toolbar (ToolbarWindow32): a row of buttons with command ids, images
// cut from the bitmaps given to it (their light gray shows the button's face,
// a disabled button's image is grayed), and states (enabled, checked, pressed,
// hidden). A left click on an enabled button sends WM_COMMAND with its id to
// the parent (or the window TB_SETPARENT names); with TBSTYLE_TOOLTIPS its
// tool tip asks that window for each button's text with TTN_GETDISPINFO.
#include <commctrl.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "ui/controls/bar_layout.h"
#include "ui/controls/control_procs.h"
#include "ui/controls/control_state.h"
#include "ui/gdi/bitmaps.h"
#include "ui/gdi/display_list.h"

namespace winsim::ui {

namespace {

constexpr SIZE kDefaultBitmap{16, 15};
constexpr int kButtonPadding = 7;  // a button is its image plus this, each way
constexpr int kDefaultSeparator = 8;
constexpr int kEdge = 2;  // above and below the buttons
constexpr int kStandardImages = 15;  // IDB_STD_*
constexpr int kViewImages = 12;      // IDB_VIEW_*

struct Button {
    TBBUTTON data{};
    std::string text;
    RECT rect{};  // empty while hidden
};

struct ToolbarState : ControlState {
    std::vector<Button> buttons;
    UINT structSize = sizeof(TBBUTTON);
    SIZE bitmap = kDefaultBitmap;
    SIZE button{kDefaultBitmap.cx + kButtonPadding, kDefaultBitmap.cy + kButtonPadding};
    bool buttonSizeSet = false;
    // Each image's pixels as drawn enabled and disabled; null where they are
    // not known (the system's standard images).
    std::vector<std::shared_ptr<const IconPixels>> images;
    std::vector<std::shared_ptr<const IconPixels>> grayedImages;
    std::vector<HBITMAP> ownedBitmaps;  // loaded from resources for TB_ADDBITMAP
    HWND notify = nullptr;
    HWND tips = nullptr;
    std::vector<int> tools;  // command ids registered with the tips
    int pressed = -1;
};

bool IsSeparator(const Button& button) { return (button.data.fsStyle & TBSTYLE_SEP) != 0; }

int IndexOfCommand(const ToolbarState* state, WPARAM id)
{
    for (size_t i = 0; i < state->buttons.size(); ++i) {
        if (!IsSeparator(state->buttons[i]) && state->buttons[i].data.idCommand == static_cast<int>(id)) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

void SyncTools(HWND hwnd, ToolbarState* state)
{
    if (state->tips == nullptr) return;
    TTTOOLINFOA info{};
    info.cbSize = sizeof(info);
    info.hwnd = hwnd;
    for (int id : state->tools) {
        info.uId = static_cast<UINT_PTR>(id);
        SendMessageA(state->tips, TTM_DELTOOLA, 0, reinterpret_cast<LPARAM>(&info));
    }
    state->tools.clear();
    for (const Button& button : state->buttons) {
        if (IsSeparator(button) || (button.data.fsState & TBSTATE_HIDDEN)) continue;
        info.uId = static_cast<UINT_PTR>(button.data.idCommand);
        info.rect = button.rect;
        info.lpszText = LPSTR_TEXTCALLBACKA;
        SendMessageA(state->tips, TTM_ADDTOOLA, 0, reinterpret_cast<LPARAM>(&info));
        state->tools.push_back(button.data.idCommand);
    }
}

// Buttons left to right from the left edge; hidden ones take no room.
void Layout(HWND hwnd, ToolbarState* state)
{
    int x = 0;
    for (Button& button : state->buttons) {
        if (button.data.fsState & TBSTATE_HIDDEN) {
            button.rect = RECT{};
            continue;
        }
        const int width = IsSeparator(button) ? (button.data.iBitmap > 0 ? button.data.iBitmap : kDefaultSeparator)
                                              : state->button.cx;
        button.rect = RECT{x, kEdge, x + width, kEdge + state->button.cy};
        x += width;
    }
    SyncTools(hwnd, state);
    InvalidateRect(hwnd, nullptr, TRUE);
}

void AutoSize(HWND hwnd, const ToolbarState* state)
{
    AlignToParent(hwnd, state->button.cy + 2 * kEdge, (StyleOf(hwnd) & CCS_BOTTOM) == CCS_BOTTOM);
}

bool InsertButtons(HWND hwnd, ToolbarState* state, size_t at, size_t count, const BYTE* source)
{
    if (source == nullptr) return false;
    at = std::min(at, state->buttons.size());
    std::vector<Button> added(count);
    for (size_t i = 0; i < count; ++i) {
        std::memcpy(&added[i].data, source + i * state->structSize,
                    std::min<size_t>(state->structSize, sizeof(TBBUTTON)));
        const INT_PTR string = added[i].data.iString;
        if (string != 0 && !IS_INTRESOURCE(string)) added[i].text = reinterpret_cast<const char*>(string);
    }
    state->buttons.insert(state->buttons.begin() + static_cast<std::ptrdiff_t>(at), added.begin(), added.end());
    Layout(hwnd, state);
    return true;
}

// The toolbar bitmaps' background colour, shown as the button's face.
constexpr uint32_t kImageBackground = 0xC0C0C0;

std::shared_ptr<const IconPixels> CutImage(const IconPixels& strip, int index, SIZE size, bool grayed)
{
    auto image = std::make_shared<IconPixels>();
    image->width = size.cx;
    image->height = size.cy;
    image->argb.assign(static_cast<size_t>(size.cx) * static_cast<size_t>(size.cy), 0);
    for (int y = 0; y < size.cy && y < strip.height; ++y) {
        for (int x = 0; x < size.cx; ++x) {
            const int from = index * size.cx + x;
            if (from >= strip.width) break;
            uint32_t pixel = strip.argb[static_cast<size_t>(y) * static_cast<size_t>(strip.width) +
                                        static_cast<size_t>(from)];
            if ((pixel & 0xFFFFFF) == kImageBackground) continue;
            if (grayed) {
                // Lighter and without colour, as a disabled button draws its image.
                const uint32_t luma = ((pixel >> 16 & 0xFF) * 30 + (pixel >> 8 & 0xFF) * 59 + (pixel & 0xFF) * 11) / 100;
                const uint32_t light = 128 + luma / 2;
                pixel = (pixel & 0xFF000000u) | light << 16 | light << 8 | light;
            }
            image->argb[static_cast<size_t>(y) * static_cast<size_t>(size.cx) + static_cast<size_t>(x)] = pixel;
        }
    }
    return image;
}

// `count` images from the bitmap's left edge, each as wide as the bitmap size.
void AddImages(ToolbarState* state, int count, HBITMAP bitmap)
{
    const std::shared_ptr<const IconPixels> strip = bitmap != nullptr ? BitmapPixelsOf(bitmap) : nullptr;
    for (int i = 0; i < count; ++i) {
        state->images.push_back(strip != nullptr ? CutImage(*strip, i, state->bitmap, false) : nullptr);
        state->grayedImages.push_back(strip != nullptr ? CutImage(*strip, i, state->bitmap, true) : nullptr);
    }
}

int AddBitmap(ToolbarState* state, int count, const TBADDBITMAP* add)
{
    if (add == nullptr || count < 0) return -1;
    const auto first = static_cast<int>(state->images.size());
    if (add->hInst == HINST_COMMCTRL) {
        const bool standard = add->nID == IDB_STD_SMALL_COLOR || add->nID == IDB_STD_LARGE_COLOR;
        const bool view = add->nID == IDB_VIEW_SMALL_COLOR || add->nID == IDB_VIEW_LARGE_COLOR;
        if (!standard && !view) return -1;
        AddImages(state, standard ? kStandardImages : kViewImages, nullptr);
        return first;
    }
    HBITMAP bitmap = nullptr;
    if (add->hInst != nullptr) {
        bitmap = LoadBitmapA(add->hInst, MAKEINTRESOURCEA(add->nID));
        if (bitmap == nullptr) return -1;
        state->ownedBitmaps.push_back(bitmap);
    } else {
        bitmap = reinterpret_cast<HBITMAP>(add->nID);
        BITMAP info;
        if (GetObjectA(bitmap, sizeof(info), &info) != sizeof(info)) return -1;
    }
    AddImages(state, count, bitmap);
    return first;
}

void ChangeState(HWND hwnd, Button* button, BYTE state)
{
    if (button->data.fsState == state) return;
    const bool relayout = ((button->data.fsState ^ state) & TBSTATE_HIDDEN) != 0;
    button->data.fsState = state;
    if (relayout) {
        Layout(hwnd, StateOf<ToolbarState>(hwnd));
    } else {
        InvalidateRect(hwnd, &button->rect, TRUE);
    }
}

// Checking a button of a check group unchecks the others of its group: the
// run of TBSTYLE_GROUP buttons around it.
void Check(HWND hwnd, ToolbarState* state, int index, bool checked)
{
    Button& button = state->buttons[static_cast<size_t>(index)];
    const auto set = [&](Button* b, bool on) {
        ChangeState(hwnd, b, static_cast<BYTE>(on ? (b->data.fsState | TBSTATE_CHECKED)
                                                  : (b->data.fsState & ~TBSTATE_CHECKED)));
    };
    set(&button, checked);
    if (!checked || (button.data.fsStyle & TBSTYLE_CHECKGROUP) != TBSTYLE_CHECKGROUP) return;
    const auto inGroup = [&](size_t i) {
        return (state->buttons[i].data.fsStyle & TBSTYLE_CHECKGROUP) == TBSTYLE_CHECKGROUP;
    };
    for (size_t i = static_cast<size_t>(index) + 1; i < state->buttons.size() && inGroup(i); ++i) {
        set(&state->buttons[i], false);
    }
    for (size_t i = static_cast<size_t>(index); i-- > 0 && inGroup(i);) set(&state->buttons[i], false);
}

int HitTest(const ToolbarState* state, LPARAM point)
{
    const POINT p{GET_X_LPARAM(point), GET_Y_LPARAM(point)};
    for (size_t i = 0; i < state->buttons.size(); ++i) {
        const Button& button = state->buttons[i];
        if (IsSeparator(button) || (button.data.fsState & TBSTATE_HIDDEN)) continue;
        if (PtInRect(&button.rect, p)) return static_cast<int>(i);
    }
    return -1;
}

void RelayToTips(HWND hwnd, const ToolbarState* state, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (state->tips == nullptr) return;
    MSG msg{hwnd, message, wParam, lParam, 0, {}};
    SendMessageA(state->tips, TTM_RELAYEVENT, 0, reinterpret_cast<LPARAM>(&msg));
}

void ButtonDown(HWND hwnd, ToolbarState* state, LPARAM point)
{
    const int index = HitTest(state, point);
    if (index < 0) return;
    Button& button = state->buttons[static_cast<size_t>(index)];
    if (!(button.data.fsState & TBSTATE_ENABLED)) return;
    state->pressed = index;
    ChangeState(hwnd, &button, static_cast<BYTE>(button.data.fsState | TBSTATE_PRESSED));
}

// The click completes when the button is released over the button it began
// on and that button is still enabled.
void ButtonUp(HWND hwnd, ToolbarState* state, LPARAM point)
{
    const int index = state->pressed;
    state->pressed = -1;
    if (index < 0 || index >= static_cast<int>(state->buttons.size())) return;
    Button& button = state->buttons[static_cast<size_t>(index)];
    ChangeState(hwnd, &button, static_cast<BYTE>(button.data.fsState & ~TBSTATE_PRESSED));
    if (HitTest(state, point) != index || !(button.data.fsState & TBSTATE_ENABLED)) return;
    if (button.data.fsStyle & TBSTYLE_CHECK) {
        const bool group = (button.data.fsStyle & TBSTYLE_CHECKGROUP) == TBSTYLE_CHECKGROUP;
        Check(hwnd, state, index, group || !(button.data.fsState & TBSTATE_CHECKED));
    }
    const int id = button.data.idCommand;
    NMMOUSE click{};
    click.dwItemSpec = static_cast<DWORD_PTR>(id);
    click.dwItemData = button.data.dwData;
    click.pt = POINT{GET_X_LPARAM(point), GET_Y_LPARAM(point)};
    click.hdr = NMHDR{hwnd, static_cast<UINT_PTR>(GetDlgCtrlID(hwnd)), NM_CLICK};
    SendMessageA(state->notify, WM_NOTIFY, click.hdr.idFrom, reinterpret_cast<LPARAM>(&click));
    SendMessageA(state->notify, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(hwnd));
}

// A pressed or checked button's image sits one pixel down and right.
void DrawImage(HWND hwnd, const ToolbarState* state, const Button& button)
{
    const auto index = static_cast<size_t>(button.data.iBitmap);
    if (button.data.iBitmap < 0 || index >= state->images.size() || state->images[index] == nullptr) return;
    const bool enabled = (button.data.fsState & TBSTATE_ENABLED) != 0;
    const int sunk = (button.data.fsState & (TBSTATE_PRESSED | TBSTATE_CHECKED)) ? 1 : 0;
    const LONG left = button.rect.left + (button.rect.right - button.rect.left - state->bitmap.cx) / 2 + sunk;
    const LONG top = button.rect.top + (button.rect.bottom - button.rect.top - state->bitmap.cy) / 2 + sunk;
    DisplayItem item{DisplayItem::Kind::kImage, RECT{left, top, left + state->bitmap.cx, top + state->bitmap.cy}};
    item.image = enabled ? state->images[index] : state->grayedImages[index];
    Record(hwnd, item);
}

void Paint(HWND hwnd, const ToolbarState* state)
{
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(hwnd, &ps);
    for (const Button& button : state->buttons) {
        if (IsSeparator(button) || (button.data.fsState & TBSTATE_HIDDEN)) continue;
        Rectangle(dc, button.rect.left, button.rect.top, button.rect.right, button.rect.bottom);
        DrawImage(hwnd, state, button);
        if (!button.text.empty()) {
            RECT label = button.rect;
            DrawTextA(dc, button.text.c_str(), -1, &label, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
        }
    }
    EndPaint(hwnd, &ps);
}

LRESULT CopyText(const ToolbarState* state, WPARAM id, LPARAM buffer)
{
    const int index = IndexOfCommand(state, id);
    if (index < 0) return -1;
    const std::string& text = state->buttons[static_cast<size_t>(index)].text;
    if (buffer != 0) std::memcpy(reinterpret_cast<char*>(buffer), text.c_str(), text.size() + 1);
    return static_cast<LRESULT>(text.size());
}

void Create(HWND hwnd, ToolbarState* state, const CREATESTRUCTA* create)
{
    state->notify = create->hwndParent;
    if (create->style & TBSTYLE_TOOLTIPS) {
        state->tips = CreateWindowExA(0, TOOLTIPS_CLASSA, nullptr, WS_POPUP | TTS_ALWAYSTIP, 0, 0, 0, 0, hwnd,
                                      nullptr, create->hInstance, nullptr);
    }
    AutoSize(hwnd, state);
}

void Destroy(ToolbarState* state)
{
    if (state->tips != nullptr) DestroyWindow(state->tips);
    state->tips = nullptr;
    for (HBITMAP bitmap : state->ownedBitmaps) DeleteObject(bitmap);
    state->ownedBitmaps.clear();
}

// The messages that act on one button, named by its command id.
LRESULT ButtonMessage(HWND hwnd, ToolbarState* state, UINT message, WPARAM id, LPARAM lParam)
{
    const int index = IndexOfCommand(state, id);
    if (index < 0) return message == TB_GETSTATE ? -1 : FALSE;
    Button& button = state->buttons[static_cast<size_t>(index)];
    const BYTE current = button.data.fsState;
    const auto flag = [&](BYTE bit, bool on) {
        ChangeState(hwnd, &button, static_cast<BYTE>(on ? (current | bit) : (current & ~bit)));
        return TRUE;
    };
    switch (message) {
    case TB_ENABLEBUTTON: return flag(TBSTATE_ENABLED, LOWORD(lParam) != 0);
    case TB_PRESSBUTTON: return flag(TBSTATE_PRESSED, LOWORD(lParam) != 0);
    case TB_HIDEBUTTON: return flag(TBSTATE_HIDDEN, LOWORD(lParam) != 0);
    case TB_CHECKBUTTON: Check(hwnd, state, index, LOWORD(lParam) != 0); return TRUE;
    case TB_ISBUTTONENABLED: return (current & TBSTATE_ENABLED) != 0;
    case TB_ISBUTTONCHECKED: return (current & TBSTATE_CHECKED) != 0;
    case TB_ISBUTTONPRESSED: return (current & TBSTATE_PRESSED) != 0;
    case TB_ISBUTTONHIDDEN: return (current & TBSTATE_HIDDEN) != 0;
    case TB_GETSTATE: return current;
    case TB_SETSTATE: ChangeState(hwnd, &button, static_cast<BYTE>(LOWORD(lParam))); return TRUE;
    case TB_GETRECT:
        if (lParam != 0) *reinterpret_cast<RECT*>(lParam) = button.rect;
        return (current & TBSTATE_HIDDEN) == 0;
    default: return FALSE;
    }
}

}  // namespace

LRESULT CALLBACK ToolbarProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    auto* state = StateOf<ToolbarState>(hwnd);
    switch (message) {
    case WM_CREATE:
        Create(hwnd, state, reinterpret_cast<const CREATESTRUCTA*>(lParam));
        return 0;
    case WM_DESTROY:
        Destroy(state);
        return 0;
    case TB_BUTTONSTRUCTSIZE:
        state->structSize = static_cast<UINT>(wParam);
        return 0;
    case TB_SETBITMAPSIZE:
        if (LOWORD(lParam) == 0 || HIWORD(lParam) == 0) return FALSE;
        state->bitmap = SIZE{LOWORD(lParam), HIWORD(lParam)};
        if (!state->buttonSizeSet) {
            state->button = SIZE{state->bitmap.cx + kButtonPadding, state->bitmap.cy + kButtonPadding};
        }
        Layout(hwnd, state);
        return TRUE;
    case TB_SETBUTTONSIZE:
        state->button = SIZE{std::max<LONG>(LOWORD(lParam), 1), std::max<LONG>(HIWORD(lParam), 1)};
        state->buttonSizeSet = true;
        Layout(hwnd, state);
        return TRUE;
    case TB_GETBUTTONSIZE:
        return MAKELONG(state->button.cx, state->button.cy);
    case TB_ADDBITMAP:
        return AddBitmap(state, static_cast<int>(wParam), reinterpret_cast<const TBADDBITMAP*>(lParam));
    case TB_LOADIMAGES: {
        const TBADDBITMAP add{reinterpret_cast<HINSTANCE>(lParam), wParam};
        return AddBitmap(state, 0, &add);
    }
    case TB_ADDBUTTONSA:
        return InsertButtons(hwnd, state, state->buttons.size(), wParam, reinterpret_cast<const BYTE*>(lParam));
    case TB_INSERTBUTTONA:
        return InsertButtons(hwnd, state, wParam, 1, reinterpret_cast<const BYTE*>(lParam));
    case TB_DELETEBUTTON:
        if (wParam >= state->buttons.size()) return FALSE;
        state->buttons.erase(state->buttons.begin() + static_cast<std::ptrdiff_t>(wParam));
        state->pressed = -1;
        Layout(hwnd, state);
        return TRUE;
    case TB_BUTTONCOUNT:
        return static_cast<LRESULT>(state->buttons.size());
    case TB_GETBUTTON:
        if (wParam >= state->buttons.size() || lParam == 0) return FALSE;
        std::memcpy(reinterpret_cast<void*>(lParam), &state->buttons[wParam].data,
                    std::min<size_t>(state->structSize, sizeof(TBBUTTON)));
        return TRUE;
    case TB_COMMANDTOINDEX:
        return IndexOfCommand(state, wParam);
    case TB_GETITEMRECT:
        if (wParam >= state->buttons.size() || lParam == 0) return FALSE;
        *reinterpret_cast<RECT*>(lParam) = state->buttons[wParam].rect;
        return (state->buttons[wParam].data.fsState & TBSTATE_HIDDEN) == 0;
    case TB_GETBUTTONTEXTA:
        return CopyText(state, wParam, lParam);
    case TB_ENABLEBUTTON:
    case TB_CHECKBUTTON:
    case TB_PRESSBUTTON:
    case TB_HIDEBUTTON:
    case TB_ISBUTTONENABLED:
    case TB_ISBUTTONCHECKED:
    case TB_ISBUTTONPRESSED:
    case TB_ISBUTTONHIDDEN:
    case TB_GETSTATE:
    case TB_SETSTATE:
    case TB_GETRECT:
        return ButtonMessage(hwnd, state, message, wParam, lParam);
    case TB_AUTOSIZE:
    case WM_SIZE:
        AutoSize(hwnd, state);
        return 0;
    case TB_GETTOOLTIPS:
        return reinterpret_cast<LRESULT>(state->tips);
    case TB_SETTOOLTIPS:
        state->tips = reinterpret_cast<HWND>(wParam);
        state->tools.clear();
        SyncTools(hwnd, state);
        return 0;
    case TB_SETPARENT: {
        HWND previous = state->notify;
        state->notify = reinterpret_cast<HWND>(wParam);
        return reinterpret_cast<LRESULT>(previous);
    }
    case WM_NOTIFY: {
        // The tool tip's questions go on to the window that answers for the buttons.
        const auto* header = reinterpret_cast<const NMHDR*>(lParam);
        if (header != nullptr && header->hwndFrom == state->tips) {
            return SendMessageA(state->notify, WM_NOTIFY, wParam, lParam);
        }
        return 0;
    }
    case WM_MOUSEMOVE:
        RelayToTips(hwnd, state, message, wParam, lParam);
        return 0;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
        RelayToTips(hwnd, state, message, wParam, lParam);
        ButtonDown(hwnd, state, lParam);
        return 0;
    case WM_LBUTTONUP:
        RelayToTips(hwnd, state, message, wParam, lParam);
        ButtonUp(hwnd, state, lParam);
        return 0;
    case WM_PAINT:
        Paint(hwnd, state);
        return 0;
    default:
        return ControlDefProc<ToolbarState>(hwnd, message, wParam, lParam);
    }
}

}  // namespace winsim::ui

extern "C" {

HWND WINAPI CreateToolbarEx(HWND hwnd, DWORD ws, UINT wID, int nBitmaps, HINSTANCE hBMInst, UINT_PTR wBMID,
                            LPCTBBUTTON lpButtons, int iNumButtons, int dxButton, int dyButton, int dxBitmap,
                            int dyBitmap, UINT uStructSize)
{
    HWND toolbar = CreateWindowExA(0, TOOLBARCLASSNAMEA, nullptr, ws | WS_CHILD, 0, 0, 0, 0, hwnd,
                                   reinterpret_cast<HMENU>(static_cast<UINT_PTR>(wID)), nullptr, nullptr);
    if (toolbar == nullptr) return nullptr;
    SendMessageA(toolbar, TB_BUTTONSTRUCTSIZE, uStructSize, 0);
    if (dxBitmap > 0 && dyBitmap > 0) SendMessageA(toolbar, TB_SETBITMAPSIZE, 0, MAKELONG(dxBitmap, dyBitmap));
    if (dxButton > 0 && dyButton > 0) SendMessageA(toolbar, TB_SETBUTTONSIZE, 0, MAKELONG(dxButton, dyButton));
    TBADDBITMAP bitmap{hBMInst, wBMID};
    if (nBitmaps > 0 && SendMessageA(toolbar, TB_ADDBITMAP, static_cast<WPARAM>(nBitmaps),
                                     reinterpret_cast<LPARAM>(&bitmap)) < 0) {
        DestroyWindow(toolbar);
        return nullptr;
    }
    if (iNumButtons > 0) {
        SendMessageA(toolbar, TB_ADDBUTTONSA, static_cast<WPARAM>(iNumButtons), reinterpret_cast<LPARAM>(lpButtons));
    }
    SendMessageA(toolbar, TB_AUTOSIZE, 0, 0);
    return toolbar;
}

}  // extern "C"
