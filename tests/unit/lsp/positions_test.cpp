// Protocol positions in both encodings against character and byte offsets: characters outside
// the Basic Multilingual Plane, the language's Unicode operators, line terminators, clamping and
// ill-formed UTF-8.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "bin/tolu_lsp/positions.h"

namespace tolu::lsp {
namespace {

// "a" U+1F600 (4 bytes, 2 UTF-16 units) "×" (2 bytes) "≤" (3 bytes) "b", then a second line.
const std::string kMixed = "a\xF0\x9F\x98\x80×≤b\nx¬y";

TEST(Positions, EachCharacterHasItsOffsetInBothEncodings) {
  const LineIndex lines(kMixed);
  struct Case {
    std::uint32_t offset;
    Position utf32;
    Position utf16;
    std::size_t byte;
  };
  const std::vector<Case> cases = {
      {0, {0, 0}, {0, 0}, 0},  {1, {0, 1}, {0, 1}, 1},  {2, {0, 2}, {0, 3}, 5},
      {3, {0, 3}, {0, 4}, 7},  {4, {0, 4}, {0, 5}, 10}, {5, {0, 5}, {0, 6}, 11},
      {6, {1, 0}, {1, 0}, 12}, {7, {1, 1}, {1, 1}, 13}, {8, {1, 2}, {1, 2}, 15},
      {9, {1, 3}, {1, 3}, 16},
  };
  EXPECT_EQ(lines.character_count(), 9u);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.offset);
    EXPECT_EQ(lines.position_of(c.offset, Encoding::Utf32), c.utf32);
    EXPECT_EQ(lines.position_of(c.offset, Encoding::Utf16), c.utf16);
    EXPECT_EQ(lines.offset_of(c.utf32, Encoding::Utf32), c.offset);
    EXPECT_EQ(lines.offset_of(c.utf16, Encoding::Utf16), c.offset);
    EXPECT_EQ(lines.byte_of(c.offset), c.byte);
    EXPECT_EQ(lines.offset_of_byte(c.byte), c.offset);
  }
}

// range_of() looks for the end's line from the start's, a few lines forward before it searches:
// every pair of offsets, on a text with short and long gaps between lines, must agree with two
// position_of() calls.
TEST(Positions, RangesAgreeWithTheirEndsPositions) {
  std::string text = kMixed + "\r\n";
  for (int i = 0; i < 20; ++i) text += (i % 3 == 0 ? "" : "line ≤ ") + std::to_string(i) + "\n";
  const LineIndex lines(text);
  const std::uint32_t last = lines.character_count() + 2;  // past the end too
  for (const Encoding encoding : {Encoding::Utf16, Encoding::Utf32}) {
    for (std::uint32_t start = 0; start <= last; ++start) {
      for (std::uint32_t end = start; end <= last; ++end) {
        SCOPED_TRACE(std::to_string(start) + ".." + std::to_string(end));
        const Range range = lines.range_of(start, end, encoding);
        ASSERT_EQ(range.start, lines.position_of(start, encoding));
        ASSERT_EQ(range.end, lines.position_of(end, encoding));
      }
    }
  }
  // An end before the start stands at the start.
  EXPECT_EQ(lines.range_of(5, 2, Encoding::Utf32).end, lines.position_of(5, Encoding::Utf32));
}

TEST(Positions, PositionsOutsideTheTextAreClamped) {
  const LineIndex lines(kMixed);
  // Past the end of a line: its end, before the terminator.
  EXPECT_EQ(lines.offset_of({0, 99}, Encoding::Utf16), 5u);
  EXPECT_EQ(lines.offset_of({0, 99}, Encoding::Utf32), 5u);
  EXPECT_EQ(lines.offset_of({1, UINT32_MAX}, Encoding::Utf16), 9u);
  // Past the last line: the end of the text.
  EXPECT_EQ(lines.offset_of({7, 0}, Encoding::Utf32), 9u);
  EXPECT_EQ(lines.position_of(1000, Encoding::Utf16), (Position{1, 3}));
  // Between the two halves of a surrogate pair: the start of the character.
  EXPECT_EQ(lines.offset_of({0, 2}, Encoding::Utf16), 1u);
  EXPECT_EQ(lines.byte_of(1000), kMixed.size());
  // A byte inside a character belongs to it.
  EXPECT_EQ(lines.offset_of_byte(3), 1u);
  EXPECT_EQ(lines.offset_of_byte(9), 3u);
}

TEST(Positions, LinesEndAtLineFeedCarriageReturnOrBoth) {
  const LineIndex lines("a\r\nbc\rd\n\ne");
  ASSERT_EQ(lines.line_count(), 5u);
  const std::vector<std::uint32_t> starts = {0, 3, 6, 8, 9};
  for (std::uint32_t line = 0; line < starts.size(); ++line) {
    EXPECT_EQ(lines.line_start(line), starts[line]);
    EXPECT_EQ(lines.offset_of({line, 0}, Encoding::Utf16), starts[line]);
  }
  EXPECT_EQ(lines.line_end(0), 1u);
  // The offset between "\r" and "\n" stands at the end of its line.
  EXPECT_EQ(lines.position_of(2, Encoding::Utf16), (Position{0, 1}));
  EXPECT_EQ(lines.line_of(10), 4u);
}

TEST(Positions, AnEmptyTextHasOneEmptyLine) {
  const LineIndex lines("");
  EXPECT_EQ(lines.line_count(), 1u);
  EXPECT_EQ(lines.offset_of({3, 3}, Encoding::Utf16), 0u);
  EXPECT_EQ(lines.position_of(3, Encoding::Utf32), (Position{0, 0}));
}

TEST(Positions, IllFormedUtf8CountsOneCharacterPerBadSequence) {
  // A lone continuation byte, a truncated three-byte sequence cut by a line feed, an overlong "/".
  const std::string text = "a\x80z\xE2\x89\nq\xC0\xAFr";
  const LineIndex lines(text);
  EXPECT_EQ(lines.line_count(), 2u);
  for (std::uint32_t offset = 0; offset <= lines.character_count() + 1; ++offset) {
    for (const Encoding encoding : {Encoding::Utf16, Encoding::Utf32}) {
      const Position p = lines.position_of(offset, encoding);
      EXPECT_EQ(lines.offset_of(p, encoding), std::min(offset, lines.character_count()));
    }
    EXPECT_EQ(lines.offset_of_byte(lines.byte_of(offset)),
              std::min(offset, lines.character_count()));
  }
  EXPECT_EQ(lines.offset_of({1, 0}, Encoding::Utf32), lines.line_start(1));
  EXPECT_EQ(lines.byte_of(lines.line_start(1)), text.find('q'));
}

TEST(Positions, ALongNonAsciiLineConvertsBothWays) {
  std::string text;
  for (int i = 0; i < 100000; ++i) text += i % 3 == 0 ? "\xF0\x9F\x98\x80" : "⋀";
  const LineIndex lines(text);
  EXPECT_EQ(lines.position_of(99999, Encoding::Utf16), (Position{0, 99999 + 33333}));
  EXPECT_EQ(lines.offset_of({0, 99999 + 33333}, Encoding::Utf16), 99999u);
}

}  // namespace
}  // namespace tolu::lsp
