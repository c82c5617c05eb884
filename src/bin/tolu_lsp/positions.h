// Positions in a text: the protocol's (line, character) pairs, counted in UTF-16 code units or in
// characters (UTF-32, the front end's own columns), against character offsets (Unicode scalar
// values, as the front end's spans) and byte offsets into the UTF-8 text.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

namespace tolu::lsp {

enum class Encoding : std::uint8_t { Utf16, Utf32 };

struct Position {
  std::uint32_t line = 0;       // 0-based
  std::uint32_t character = 0;  // 0-based, in code units of the encoding
  bool operator==(const Position&) const = default;
};

struct Range {
  Position start;
  Position end;
  bool operator==(const Range&) const = default;
};

// The starts of the lines of a text, which must outlive the index and stay unchanged. Lines end
// at "\n", "\r\n" or a lone "\r", as the protocol counts them. Every conversion clamps: a
// character past the end of its line stands at the line's end (before its terminator), a line
// past the last stands at the end of the text, and a UTF-16 position inside a surrogate pair
// stands at the start of its character. An ill-formed UTF-8 sequence counts as one character,
// as the lexer counts it, and as one UTF-16 unit.
class LineIndex {
 public:
  LineIndex() : LineIndex(std::string_view()) {}
  explicit LineIndex(std::string_view text);

  std::string_view text() const { return text_; }
  std::uint32_t line_count() const { return static_cast<std::uint32_t>(lines_.size()); }
  std::uint32_t character_count() const { return characters_; }

  std::uint32_t offset_of(Position position, Encoding encoding) const;
  Position position_of(std::uint32_t offset, Encoding encoding) const;
  // The positions of both ends of [start, end), end >= start; cheaper than two position_of()
  // calls when the span covers few lines.
  Range range_of(std::uint32_t start, std::uint32_t end, Encoding encoding) const;
  // The line that holds the character at `offset` (the last line for the end of the text).
  std::uint32_t line_of(std::uint32_t offset) const;
  // The character offsets where a line starts and where its content ends (before "\n").
  std::uint32_t line_start(std::uint32_t line) const;
  std::uint32_t line_end(std::uint32_t line) const;

  std::size_t byte_of(std::uint32_t offset) const;
  // The offset of the character that holds byte `byte` (clamped to the end of the text).
  std::uint32_t offset_of_byte(std::size_t byte) const;

  // Bytes the index keeps beside the text.
  std::size_t memory_size() const { return lines_.capacity() * sizeof(Line); }

 private:
  struct Line {
    std::uint32_t byte = 0;    // where the line starts
    std::uint32_t offset = 0;  // the same, in characters
    std::uint32_t bytes = 0;   // bytes before the terminator
    std::uint32_t length = 0;  // characters before the terminator
    bool ascii() const { return bytes == length; }
  };

  // The line a character offset or a byte offset falls in.
  const Line& line_at(std::uint32_t offset) const;
  // The same, for an offset known to lie on `from` or after it.
  const Line& line_at(std::uint32_t offset, const Line& from) const;
  Position position_on(const Line& line, std::uint32_t offset, Encoding encoding) const;
  const Line& line_at_byte(std::size_t byte) const;
  // The first `count` characters of a line that is not ASCII: how many bytes and UTF-16 units.
  std::size_t bytes_of_prefix(const Line& line, std::uint32_t count) const;
  std::uint32_t units_of_prefix(const Line& line, std::uint32_t count) const;

  std::string_view text_;
  std::vector<Line> lines_;
  std::uint32_t characters_ = 0;
};

// The number of UTF-16 code units of a character.
constexpr std::uint32_t utf16_units(char32_t c) {
  return c >= 0x10000 && c <= 0x10FFFF ? 2 : 1;
}

}  // namespace tolu::lsp
