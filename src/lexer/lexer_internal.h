// The lexer's cursor and readers, shared by the core (lexer.cpp) and the literal readers
// (literals.cpp). Not part of the stage's interface.
#pragma once

#include <bit>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

#include "base/limits.h"
#include "base/operators.h"
#include "base/source_size.h"
#include "base/unicode.h"
#include "lexer/token.h"
#include "tolu/error.h"

namespace tolu::lexing {

struct Position {
  std::uint32_t index = 0;  // characters from the start
  std::uint32_t line = 1;
  std::uint32_t column = 1;
};

// A set of a few ASCII bytes and every byte from 0x80 up, built at compile time, so that a run
// of bytes outside the set is plain ASCII.
class ByteSet {
 public:
  constexpr explicit ByteSet(std::string_view members) : members_(members) {
    for (int b = 0x80; b < 256; ++b) add(static_cast<unsigned char>(b));
    for (char c : members) add(static_cast<unsigned char>(c));
  }
  constexpr bool contains(char c) const {
    const auto b = static_cast<unsigned char>(c);
    return (bits_[b / 64] >> (b % 64)) & 1u;
  }
  // The ASCII members, compared sixteen bytes at a time by plain_bytes_at.
  constexpr std::string_view ascii_members() const { return members_; }

 private:
  constexpr void add(unsigned char b) { bits_[b / 64] |= std::uint64_t{1} << (b % 64); }
  std::uint64_t bits_[4] = {};
  std::string_view members_;
};

// Thrown by Lexer::fail and caught once in lex(); never leaves the stage.
struct LexFailure {
  ToluError error;
};

class Lexer {
 public:
  // `first_line` numbers the first line of `source`, as if that many line feeds came before it,
  // `first_index` its first character and `first_column` its first column. Only a source that
  // starts at index 0 is the start of a file: only there are a byte-order mark and an
  // interpreter line skipped. A source longer than `max_characters` is refused by start().
  Lexer(std::string_view source, std::uint32_t first_line,
        std::uint64_t max_characters = kMaxSourceCharacters, std::uint32_t first_index = 0,
        std::uint32_t first_column = 1)
      : src_(source),
        first_line_(first_line),
        max_characters_(max_characters),
        line_(first_line),
        index_bias_(first_index),
        line_start_(first_index - (first_column - 1)) {}
  // Refuses a source too long for the positions, and skips the start of a file; once, before
  // the first token. Throws LexFailure.
  void start();
  // Reads the next token into `token`, and the payload of a literal into `literal`; Eof at the
  // end, and again on every later call. Throws LexFailure.
  void next(Token& token, LiteralPayload& literal);
  // All the tokens at once.
  TokenVector run();

 private:
  // Cursor. Characters are decoded on the fly; ASCII takes the short path.
  bool at_end() const { return byte_ >= src_.size(); }
  char32_t peek() const;
  char32_t peek_next() const;
  // Spellings are a few bytes long: comparing them in place beats a call to memcmp.
  bool looking_at(std::string_view spelling) const {
    if (src_.size() - byte_ < spelling.size()) return false;
    for (std::size_t i = 0; i < spelling.size(); ++i) {
      if (src_[byte_ + i] != spelling[i]) return false;
    }
    return true;
  }
  // The source bytes [from, to), which the cursor has passed: no bounds to check.
  std::string_view source_between(std::size_t from, std::size_t to) const {
    return {src_.data() + from, to - from};
  }
  // The number of ASCII bytes from byte `at` on that are not in `special`: sixteen bytes at a
  // time while sixteen remain (with SSE2), then byte by byte.
  std::size_t plain_bytes_at(std::size_t at, const ByteSet& special) const {
    std::size_t end = at;
#ifdef __SSE2__
    for (; src_.size() - end >= 16; end += 16) {
      const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src_.data() + end));
      unsigned found = static_cast<unsigned>(_mm_movemask_epi8(bytes));  // from 0x80 up
      for (const char c : special.ascii_members())
        found |= static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(bytes, _mm_set1_epi8(c))));
      if (found != 0) return end + static_cast<std::size_t>(std::countr_zero(found)) - at;
    }
#endif
    while (end < src_.size() && !special.contains(src_[end])) ++end;
    return end - at;
  }
  // The number of ASCII digits from byte `at` on.
  std::size_t ascii_digits_at(std::size_t at) const {
    std::size_t end = at;
    while (end < src_.size() && src_[end] >= '0' && src_[end] <= '9') ++end;
    return end - at;
  }
  // Moves over `bytes` bytes that hold `characters` characters and no line feed.
  void advance_by(std::size_t bytes, std::uint32_t characters) {
    byte_ += bytes;
    index_bias_ -= static_cast<std::uint32_t>(bytes) - characters;
  }
  // Moves over `count` ASCII bytes that hold no line feed: the index and the column follow the
  // byte offset.
  void advance_ascii(std::size_t count) {
    byte_ += count;
  }
  void advance();
  // Moves over `spelling`, which is at the cursor and holds no line feed.
  void advance_over(std::string_view spelling);
  // The character index of the cursor. Positions wrap at 2^32 like the index itself, and
  // start() refuses a source with more characters than that.
  std::uint32_t index() const {
    return static_cast<std::uint32_t>(byte_) + index_bias_;
  }
  std::uint32_t column() const {
    return index() - line_start_ + 1;
  }
  Position here() const {
    const std::uint32_t at = index();
    return {at, line_, at - line_start_ + 1};
  }
  // A line starts at the cursor.
  void start_line() {
    line_start_ = index();
  }
  [[noreturn]] void fail(Position at, std::string message) const;

  // Core (lexer.cpp).
  void lex_next();
  void lex_other();
  void skip_file_start();
  void skip_blanks();
  void skip_blank_run();
  bool regex_may_start() const;
  void skip_documentation_block();
  void skip_line_comment();
  void skip_block_comment();
  bool lex_operator();
  bool lex_operator_spelled(const OperatorSpelling& spelling);
  void lex_number();
  void lex_word();
  bool lex_short_word();
  void push_word(Position start, std::string_view word);
  void push(TokenKind kind, Position start, std::string_view text, OperatorId op = OperatorId::None,
            KeywordId keyword = KeywordId::None);
  // The payload of the literal being read, emptied but keeping its memory: a literal's reader
  // builds it in place and then push()es the token.
  LiteralPayload& fresh_payload();

  // Literal readers (literals.cpp).
  void lex_string();
  void lex_binary_string();
  void lex_template();
  void lex_regex();
  char32_t decode_text_escape(std::string_view context);
  std::uint8_t decode_binary_escape();
  std::uint32_t read_hex_digits(int count, std::string_view escape_name, Position after_backslash);
  void read_template(std::vector<TokenTemplatePart>& parts);
  TokenTemplatePart lex_template_interpolation();
  void skip_quoted_section();
  std::string_view take_until(std::string_view closer, Position open, const char* message);

  std::string_view src_;
  std::size_t byte_ = 0;
  unsigned template_depth_ = 0;
  std::uint32_t first_line_ = 1;
  std::uint64_t max_characters_ =
      kMaxSourceCharacters;  // templates being read inside template interpolations
  // The cursor's line, and what gives its character index and column: only the byte offset moves
  // over ASCII. The index is the byte offset plus `index_bias_`, which falls by the bytes past
  // the first of each longer character (and the skipped byte-order mark); the column counts from
  // `line_start_`, the index of the line's column 1.
  std::uint32_t line_;
  std::uint32_t index_bias_;
  std::uint32_t line_start_;
  // The token being read and where its payload goes; `produced_` once it is complete.
  Token* token_ = nullptr;
  LiteralPayload* literal_ = nullptr;
  bool produced_ = false;
  // The kind of the token before, and the last punctuation character read, for the regex-start
  // rule.
  TokenKind previous_kind_ = TokenKind::Eof;
  char previous_punctuation_ = 0;
};

}  // namespace tolu::lexing
