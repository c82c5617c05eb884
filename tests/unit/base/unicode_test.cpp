#include "base/unicode.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>

namespace tolu {
namespace {

// Characters counted one by one, as the lexer reads them.
std::size_t characters_read_one_by_one(std::string_view text) {
  std::size_t count = 0;
  for (std::size_t pos = 0; pos < text.size(); ++count) {
    if (static_cast<unsigned char>(text[pos]) < 0x80) {
      ++pos;
    } else {
      decode_utf8(text, pos);
    }
  }
  return count;
}

// count_characters takes runs of ASCII sixty-four, sixteen and eight bytes at a time: runs of every
// length before and after well-formed and ill-formed sequences must count as the characters read
// one by one.
TEST(CountCharacters, CountsAsTheCharactersAreRead) {
  const std::string_view pieces[] = {"é", "€", "𝄞", "\xE2\x82", "\x80", "\xFF", "\xF0\x9F\x98"};
  for (const std::string_view piece : pieces) {
    for (std::size_t before = 0; before <= 70; ++before) {
      for (std::size_t after = 0; after <= 70; after += 5) {
        const std::string text =
            std::string(before, 'x') + std::string(piece) + std::string(after, 'y');
        ASSERT_EQ(count_characters(text), characters_read_one_by_one(text))
            << before << " + " << piece.size() << " + " << after;
      }
    }
  }
  EXPECT_EQ(count_characters(""), 0u);
  EXPECT_EQ(count_characters(std::string(64, 'a')), 64u);
  EXPECT_EQ(count_characters("abcdefgh\xC3\xA9"), 9u);
}

// Plain ASCII is checked sixty-four, sixteen and eight bytes at a time: a character at any offset
// of the blocks, well-formed or not, must still be seen, with any length of ASCII after it.
TEST(IsValidUtf8, SeesACharacterAtAnyOffsetOfAsciiText) {
  const struct {
    std::string_view piece;
    bool valid;
  } cases[] = {{"é", true}, {"𝄞", true}, {"\x80", false}, {"\xC3", false}, {"\xED\xA0\x80", false}};
  for (const auto& c : cases) {
    for (std::size_t before = 0; before <= 140; ++before) {
      for (const std::size_t after : {0, 7, 20, 70}) {
        const std::string text =
            std::string(before, 'a') + std::string(c.piece) + std::string(after, 'z');
        ASSERT_EQ(is_valid_utf8(text), c.valid) << before << " + " << after;
      }
    }
  }
}

}  // namespace
}  // namespace tolu
