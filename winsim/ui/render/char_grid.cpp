#include "ui/render/char_grid.h"

#include <algorithm>

namespace winsim::ui::render {

namespace {

char PlainLine(uint8_t bits, bool heavy)
{
    const bool vertical = (bits & (kUp | kDown)) != 0;
    const bool horizontal = (bits & (kLeft | kRight)) != 0;
    if (vertical && horizontal)
        return '+';
    if (vertical)
        return '|';
    return heavy ? '=' : '-';
}

}  // namespace

CellRect CellRect::Intersect(const CellRect& other) const
{
    return CellRect{std::max(top, other.top), std::max(left, other.left), std::min(bottom, other.bottom),
                    std::min(right, other.right)};
}

CharGrid::CharGrid(int rows, int cols)
    : rows_(std::max(rows, 0)),
      cols_(std::max(cols, 0)),
      cells_(static_cast<size_t>(rows_) * cols_),
      hits_(cells_.size())
{}

void CharGrid::SetHit(int row, int col, const Hit& hit, const CellRect& clip)
{
    if (Visible(row, col, clip))
        hits_[Index(row, col)] = hit;
}

bool CharGrid::Visible(int row, int col, const CellRect& clip) const
{
    return clip.Contains(row, col) && Bounds().Contains(row, col);
}

void CharGrid::Put(int row, int col, char ch, CellStyle style, const CellRect& clip)
{
    if (!Visible(row, col, clip))
        return;
    Cell& cell = cells_[Index(row, col)];
    cell.ch = static_cast<unsigned char>(ch) < 0x20 ? ' ' : ch;
    cell.lines = 0;
    cell.heavy = false;
    cell.style = style;
}

void CharGrid::Text(int row, int col, std::string_view text, CellStyle style, const CellRect& clip)
{
    for (size_t i = 0; i < text.size(); ++i)
        Put(row, col + static_cast<int>(i), text[i], style, clip);
}

void CharGrid::Clear(const CellRect& rect, const CellRect& clip)
{
    const CellRect area = rect.Intersect(clip).Intersect(Bounds());
    for (int row = area.top; row < area.bottom; ++row) {
        for (int col = area.left; col < area.right; ++col) {
            cells_[Index(row, col)] = Cell{};
            hits_[Index(row, col)] = Hit{};
        }
    }
}

void CharGrid::Mark(const CellRect& rect, CellStyle style, const CellRect& clip)
{
    const CellRect area = rect.Intersect(clip).Intersect(Bounds());
    for (int row = area.top; row < area.bottom; ++row) {
        for (int col = area.left; col < area.right; ++col) {
            CellStyle& target = cells_[Index(row, col)].style;
            target.highlight = target.highlight || style.highlight;
            target.focus = target.focus || style.focus;
        }
    }
}

void CharGrid::AddLine(int row, int col, uint8_t bits, bool heavy, const CellRect& clip)
{
    if (!Visible(row, col, clip))
        return;
    Cell& cell = cells_[Index(row, col)];
    if (cell.lines == 0)
        cell = Cell{};
    cell.lines |= bits;
    cell.heavy = cell.heavy || heavy;
    cell.ch = PlainLine(cell.lines, cell.heavy);
}

void CharGrid::HorizontalLine(int row, int left, int right, bool heavy, const CellRect& clip)
{
    for (int col = left; col < right; ++col) {
        const uint8_t bits = (col > left ? kLeft : 0) | (col + 1 < right ? kRight : 0);
        AddLine(row, col, bits == 0 ? kLeft | kRight : bits, heavy, clip);
    }
}

void CharGrid::Box(const CellRect& rect, bool heavy, const CellRect& clip)
{
    if (rect.bottom - rect.top < 2 || rect.right - rect.left < 2)
        return;
    const int last = rect.bottom - 1;
    const int end = rect.right - 1;
    HorizontalLine(rect.top, rect.left, rect.right, heavy, clip);
    HorizontalLine(last, rect.left, rect.right, false, clip);
    AddLine(rect.top, rect.left, kDown, heavy, clip);
    AddLine(rect.top, end, kDown, heavy, clip);
    AddLine(last, rect.left, kUp, false, clip);
    AddLine(last, end, kUp, false, clip);
    for (int row = rect.top + 1; row < last; ++row) {
        AddLine(row, rect.left, kUp | kDown, false, clip);
        AddLine(row, end, kUp | kDown, false, clip);
    }
}

std::vector<std::string> CharGrid::Lines() const
{
    std::vector<std::string> lines;
    for (int row = 0; row < rows_; ++row) {
        std::string line;
        for (int col = 0; col < cols_; ++col)
            line += cells_[Index(row, col)].ch;
        line.erase(line.find_last_not_of(' ') + 1);
        lines.push_back(line);
    }
    return lines;
}

}  // namespace winsim::ui::render
