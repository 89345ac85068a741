// The event window's 1,000,000-byte line buffer: lines come back in order
// with their numbers, the oldest go when room runs out, and no line is
// ever torn by the block's end.
#include <gtest/gtest.h>

#include <string>

#include "assistant/diag/line_arena.h"

namespace {

using diag::LineArena;

// A text whose length and content follow from its line number, so a
// damaged or misplaced entry shows.
std::string TextFor(ULONG number)
{
    const std::string head = "line " + std::to_string(number) + " ";
    return head + std::string(number % 97, static_cast<char>('a' + number % 26));
}

// Walks the arena from the oldest entry; checks every entry against the
// text its number was given and that numbers run consecutively.
void ExpectConsecutive(const LineArena& arena, ULONG firstNumber)
{
    ULONG count = 0;
    size_t bytes = 0;
    for (const BYTE* entry = arena.Oldest(); entry != nullptr; entry = LineArena::Next(entry)) {
        const ULONG number = LineArena::LineNumber(entry);
        ASSERT_EQ(number, firstNumber + count);
        ASSERT_EQ(std::string(LineArena::Text(entry)), TextFor(number));
        bytes += TextFor(number).size() + 17;
        ++count;
    }
    EXPECT_EQ(count, arena.LineCount());
    EXPECT_LE(bytes, LineArena::kSize);
}

TEST(LineArena, KeepsLinesInOrderWithTheirNumbers)
{
    LineArena arena;
    for (ULONG n = 1; n <= 3; ++n) arena.Append(TextFor(n).c_str(), n);
    EXPECT_EQ(arena.LineCount(), 3u);
    EXPECT_EQ(std::string(LineArena::Text(arena.EntryAt(1))), TextFor(2));
    EXPECT_EQ(arena.EntryAt(3), nullptr);
    ExpectConsecutive(arena, 1);
}

TEST(LineArena, FullBlockDropsOnlyWhatTheNewLineNeeds)
{
    // 10,000 entries of exactly 100 bytes fill the block to its last byte.
    LineArena arena;
    const std::string text(100 - 17, 'x');
    for (ULONG n = 1; n <= 10000; ++n) arena.Append(text.c_str(), n);
    EXPECT_EQ(arena.LineCount(), 10000u);
    EXPECT_EQ(LineArena::LineNumber(arena.Oldest()), 1u);
    // The next goes to the block's start in place of the oldest.
    arena.Append(text.c_str(), 10001);
    EXPECT_EQ(arena.LineCount(), 10000u);
    EXPECT_EQ(LineArena::LineNumber(arena.Oldest()), 2u);
    // A longer line needs the room of two old ones.
    const std::string longer(150 - 17, 'y');
    arena.Append(longer.c_str(), 10002);
    EXPECT_EQ(arena.LineCount(), 9999u);
    EXPECT_EQ(LineArena::LineNumber(arena.Oldest()), 4u);
    EXPECT_EQ(std::string(LineArena::Text(arena.EntryAt(arena.LineCount() - 1))), longer);
}

TEST(LineArena, AfterAMillionBytesTheOldestGoAndIndexesRestart)
{
    LineArena arena;
    ULONG number = 1;
    size_t appended = 0;
    while (appended < 3 * LineArena::kSize) {
        const std::string text = TextFor(number);
        arena.Append(text.c_str(), number);
        appended += text.size() + 17;
        ++number;
    }
    const ULONG oldest = LineArena::LineNumber(arena.Oldest());
    EXPECT_GT(oldest, 1u);
    // Index 0 is the oldest held, whatever its number.
    EXPECT_EQ(LineArena::LineNumber(arena.EntryAt(0)), oldest);
    EXPECT_EQ(LineArena::LineNumber(arena.EntryAt(arena.LineCount() - 1)), number - 1);
    ExpectConsecutive(arena, oldest);
}

TEST(LineArena, ClearEmptiesAndStartsOverAtTheBlockStart)
{
    LineArena arena;
    for (ULONG n = 1; n <= 50000; ++n) arena.Append(TextFor(n).c_str(), n);
    arena.Clear();
    EXPECT_EQ(arena.LineCount(), 0u);
    EXPECT_EQ(arena.Oldest(), nullptr);
    EXPECT_EQ(arena.EntryAt(0), nullptr);
    arena.Append(TextFor(50001).c_str(), 50001);
    ExpectConsecutive(arena, 50001);
}

TEST(LineArena, ALineLongerThanTheBlockIsCutToFit)
{
    LineArena arena;
    arena.Append("first", 1);
    const std::string huge(LineArena::kSize + 10, 'z');
    arena.Append(huge.c_str(), 2);
    EXPECT_EQ(arena.LineCount(), 1u);
    EXPECT_EQ(std::string(LineArena::Text(arena.Oldest())).size(), LineArena::kSize - 17);
    arena.Append("after", 3);
    EXPECT_EQ(arena.LineCount(), 1u);
    EXPECT_EQ(std::string(LineArena::Text(arena.Oldest())), "after");
}

}  // namespace
