// A character grid the renderers draw the simulated screen into: one cell per
// character, each with the ink and marks a terminal shows as colour or video
// attributes. Lines remember their directions so a terminal can join boxes
// with its line-drawing characters; as plain text they read + - | and =.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace winsim::ui::render {

enum class Ink : uint8_t { kNormal, kGray, kRed, kBlue, kGreen };

// Directions a line leaves a cell in.
enum LineBits : uint8_t { kUp = 1, kDown = 2, kLeft = 4, kRight = 8 };

struct CellStyle {
    Ink ink = Ink::kNormal;
    bool highlight = false;    // a selected item
    bool focus = false;        // part of the focused control
    bool title = false;        // a title bar
    bool activeTitle = false;  // the active window's title bar
};

struct Cell {
    char ch = ' ';
    uint8_t lines = 0;   // LineBits; ch is its plain-text form
    bool heavy = false;  // the active window's frame
    CellStyle style;
};

// What a mouse click on a cell reaches: a window, the point of its client
// area the cell shows, and for the frame and scroll bars the part of it.
enum class HitPart : uint8_t {
    kNone,
    kClient,
    kCaption,
    kClose,
    kMenuBar,  // an item of the window's menu bar; client.x is its position
    kLineUp,
    kLineDown,
    kPageUp,
    kPageDown,
    kLineLeft,
    kLineRight,
    kPageLeft,
    kPageRight,
};

struct Hit {
    HWND window = nullptr;
    POINT client{};
    HitPart part = HitPart::kNone;
};

// Cells from top/left up to (not including) bottom/right.
struct CellRect {
    int top = 0;
    int left = 0;
    int bottom = 0;
    int right = 0;
    bool Empty() const { return bottom <= top || right <= left; }
    bool Contains(int row, int col) const { return row >= top && row < bottom && col >= left && col < right; }
    CellRect Intersect(const CellRect& other) const;
    CellRect Inset(int by) const { return CellRect{top + by, left + by, bottom - by, right - by}; }
};

class CharGrid {
public:
    CharGrid(int rows, int cols);

    int Rows() const { return rows_; }
    int Cols() const { return cols_; }
    CellRect Bounds() const { return CellRect{0, 0, rows_, cols_}; }
    const Cell& At(int row, int col) const { return cells_[Index(row, col)]; }
    const Hit& HitAt(int row, int col) const { return hits_[Index(row, col)]; }
    void SetHit(int row, int col, const Hit& hit, const CellRect& clip);

    // Drawing is clipped to `clip` and the grid.
    void Put(int row, int col, char ch, CellStyle style, const CellRect& clip);
    void Text(int row, int col, std::string_view text, CellStyle style, const CellRect& clip);
    // Blanks the cells (an opaque window covering what lies below).
    void Clear(const CellRect& rect, const CellRect& clip);
    // Marks cells without changing what they show.
    void Mark(const CellRect& rect, CellStyle style, const CellRect& clip);
    void Box(const CellRect& rect, bool heavy, const CellRect& clip);
    void HorizontalLine(int row, int left, int right, bool heavy, const CellRect& clip);

    // The grid as text, one string per row, trailing blanks dropped.
    std::vector<std::string> Lines() const;

private:
    size_t Index(int row, int col) const
    {
        return static_cast<size_t>(row) * static_cast<size_t>(cols_) + col;
    }
    bool Visible(int row, int col, const CellRect& clip) const;
    void AddLine(int row, int col, uint8_t bits, bool heavy, const CellRect& clip);

    int rows_;
    int cols_;
    std::vector<Cell> cells_;
    std::vector<Hit> hits_;
};

}  // namespace winsim::ui::render
