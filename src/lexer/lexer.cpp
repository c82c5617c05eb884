// The lexer core: blanks, comments, words, numbers, operators and punctuation. The string,
// template and regex readers are in literals.cpp.
#include "lexer/lexer.h"

#include <array>
#include <bit>
#include <cstdint>
#include <cstring>
#include <iterator>
#include <memory>
#include <span>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

#include "base/bytes.h"
#include "lexer/lexer_internal.h"

namespace tolu {
namespace {

constexpr bool is_ascii_digit(char32_t c) {
  return c >= '0' && c <= '9';
}
constexpr bool is_ascii_letter(char32_t c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

bool is_word_start(char32_t c) {
  return is_ascii_letter(c) || (c > 0x7F && c != kEndOfInput && is_unicode_alphabetic(c));
}

bool is_word_continue(char32_t c) {
  if (c < 0x80) return c == '_' || is_ascii_letter(c) || is_ascii_digit(c);
  return c != kEndOfInput && is_unicode_alphanumeric(c);
}

// Keywords are found by a hash of a word's length and first and last bytes: each keyword has a
// slot of its own in a table of 256, so a word is a keyword only if it equals the one keyword in
// its slot. Most words are names, and most of those miss at once.
constexpr std::size_t keyword_slot(std::string_view word) {
  const auto first = static_cast<unsigned char>(word.front());
  const auto last = static_cast<unsigned char>(word.back());
  return (first + last * 4u + word.size() * 35u) & 0xFFu;
}

// For each slot, 1 + the index of its keyword in kKeywordSpellings; 0 for a slot with none.
constexpr auto kKeywordSlots = [] {
  std::array<std::uint8_t, 256> slots{};
  for (std::size_t i = 0; i < kKeywordSpellings.size(); ++i)
    slots[keyword_slot(kKeywordSpellings[i])] = static_cast<std::uint8_t>(i + 1);
  return slots;
}();

static_assert(
    [] {
      for (std::size_t i = 0; i < kKeywordSpellings.size(); ++i) {
        if (kKeywordSlots[keyword_slot(kKeywordSpellings[i])] != i + 1) return false;
      }
      return true;
    }(),
    "no two keywords share a slot");

// The keyword spelled `word`, or KeywordId::None. `word` is not empty.
[[gnu::always_inline]] inline KeywordId find_keyword(std::string_view word) {
  const std::size_t entry = kKeywordSlots[keyword_slot(word)];
  if (entry == 0) return KeywordId::None;
  const std::string_view keyword = kKeywordSpellings[entry - 1];
  if (keyword.size() != word.size() || !same_bytes(keyword.data(), word.data(), word.size()))
    return KeywordId::None;
  return keyword_at(entry - 1);
}

// The operator spelled as the word `word`, or null: "and", "not", "cmp" and the like.
const OperatorSpelling* find_operator_word(std::string_view word) {
  const OperatorSpelling* op = find_operator(word);
  return op && op->is_keyword() ? op : nullptr;
}

// The ASCII word bytes (letters, digits and "_"), byte by byte, for the last few bytes of a
// source.
constexpr auto kWordBytes = [] {
  std::array<bool, 256> table{};
  for (int c = 0; c < 128; ++c) table[c] = is_ascii_letter(c) || is_ascii_digit(c) || c == '_';
  return table;
}();

// The high bit of each of the eight bytes in `word` that is an ASCII letter, digit or "_". Each
// test adds a constant to the low seven bits of every byte, so no sum carries into the next byte:
// the high bit of `x + (0x80 - lo)` says x >= lo, that of `x + (0x7F - hi)` says x > hi, and that
// of `(x ^ c) + 0x7F` says x != c.
constexpr std::uint64_t word_bytes(std::uint64_t word) {
  constexpr std::uint64_t kOnes = 0x0101010101010101u;
  constexpr std::uint64_t kHigh = kOnes * 0x80;
  const std::uint64_t low = word & ~kHigh;
  const std::uint64_t digit = (low + kOnes * (0x80 - '0')) & ~(low + kOnes * (0x7F - '9'));
  const std::uint64_t folded = low | (kOnes * 0x20);  // ASCII upper case to lower
  const std::uint64_t letter = (folded + kOnes * (0x80 - 'a')) & ~(folded + kOnes * (0x7F - 'z'));
  const std::uint64_t underscore = ~((low ^ (kOnes * '_')) + kOnes * 0x7F);
  return (digit | letter | underscore) & ~word & kHigh;
}
static_assert(word_bytes(0x7A615A4139302F40u) == 0x8080808080800000u);
static_assert(word_bytes(0xC3E0DA5F3A607B5Bu) == 0x0000008000000000u);
static_assert(word_bytes(0xDF5F5E60u) == 0x00800000u);

#ifdef __SSE2__
// A mask with bit i set when byte i of the sixteen at `bytes` is no ASCII word byte. A byte x is
// in [lo, lo + n] when x - lo, as an unsigned byte, is its own minimum with n; bytes from 0x80 up
// are in no range.
unsigned non_word_bytes16(const char* bytes) {
  const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes));
  const auto in_range = [](__m128i x, char lo, char span) {
    const __m128i shifted = _mm_sub_epi8(x, _mm_set1_epi8(lo));
    return _mm_cmpeq_epi8(_mm_min_epu8(shifted, _mm_set1_epi8(span)), shifted);
  };
  const __m128i folded = _mm_or_si128(v, _mm_set1_epi8(0x20));  // ASCII upper case to lower
  const __m128i word =
      _mm_or_si128(_mm_or_si128(in_range(folded, 'a', 'z' - 'a'), in_range(v, '0', '9' - '0')),
                   _mm_cmpeq_epi8(v, _mm_set1_epi8('_')));
  return ~static_cast<unsigned>(_mm_movemask_epi8(word)) & 0xFFFFu;
}
#endif

// The end of the run of ASCII word bytes from byte `at` of `text`: sixteen bytes at a time while
// sixteen remain (with SSE2), then eight at a time while eight remain.
std::size_t word_bytes_end(std::string_view text, std::size_t at) {
#ifdef __SSE2__
  for (; text.size() - at >= 16; at += 16) {
    const unsigned others = non_word_bytes16(text.data() + at);
    if (others != 0) return at + static_cast<std::size_t>(std::countr_zero(others));
  }
#endif
  for (; text.size() - at >= 8; at += 8) {
    const std::uint64_t word = load8(text.data() + at);
    const std::uint64_t others = ~word_bytes(word) & 0x8080808080808080u;
    if (others == 0) continue;
    // The first byte in memory order is the lowest on a little-endian machine.
    const int bit = std::endian::native == std::endian::little ? std::countr_zero(others)
                                                               : std::countl_zero(others);
    return at + static_cast<std::size_t>(bit / 8);
  }
  while (at < text.size() && kWordBytes[static_cast<unsigned char>(text[at])]) ++at;
  return at;
}

// The end of the run of spaces from byte `at` of `text`, eight bytes at a time while eight remain:
// indentation is read a word at a time. The loop has word_bytes_end's shape on purpose: one
// helper for the two, with the return inside the loop, compiled to more instructions for both.
std::size_t spaces_end(std::string_view text, std::size_t at) {
  constexpr std::uint64_t kSpaces = 0x2020202020202020u;
  for (; text.size() - at >= 8; at += 8) {
    const std::uint64_t word = load8(text.data() + at);
    const std::uint64_t others = word ^ kSpaces;
    if (others == 0) continue;
    const int bit = std::endian::native == std::endian::little ? std::countr_zero(others)
                                                               : std::countl_zero(others);
    return at + static_cast<std::size_t>(bit / 8);
  }
  while (at < text.size() && text[at] == ' ') ++at;
  return at;
}

// The end of the run of ASCII word bytes from byte `at` of `text`, except a last "_" that "="
// follows, which ends the word ("_=" is an operator even right after a word: x_=y is x _= y).
std::size_t ascii_word_end(std::string_view text, std::size_t at) {
  const std::size_t end = word_bytes_end(text, at);
  if (end < text.size() && text[end] == '=' && end > at && text[end - 1] == '_') return end - 1;
  return end;
}

// How the lexer dispatches on the first byte of a token. The classes are exact: no operator
// starts with a blank, an ASCII letter or digit, or punctuation. Operator is every other ASCII
// byte that lex_other() would only try as the start of an operator; the bytes it looks at first
// ("=" for a documentation block, "/" for a comment or a regex, "^" for "^^", "_" for a word,
// the quotes) and every byte from 0x80 up are Other.
enum class ByteClass : std::uint8_t { Other, Blank, Letter, Digit, Punctuation, Operator };

constexpr auto kByteClasses = [] {
  std::array<ByteClass, 256> table{};
  for (int c = 0x21; c < 0x7F; ++c) table[c] = ByteClass::Operator;
  for (int c = 0; c < 128; ++c) {
    if (is_ascii_letter(c)) table[c] = ByteClass::Letter;
    if (is_ascii_digit(c)) table[c] = ByteClass::Digit;
  }
  for (unsigned char c : std::string_view(" \t\r\n")) table[c] = ByteClass::Blank;
  for (unsigned char c : std::string_view("(),;[]{}")) table[c] = ByteClass::Punctuation;
  for (unsigned char c : std::string_view("=/^_\"'`")) table[c] = ByteClass::Other;
  return table;
}();

}  // namespace

bool is_keyword(std::string_view word) {
  return !word.empty() && (find_keyword(word) != KeywordId::None || find_operator_word(word));
}

std::string_view token_kind_name(TokenKind kind) {
  switch (kind) {
    case TokenKind::Keyword:
      return "Keyword";
    case TokenKind::Identifier:
      return "Identifier";
    case TokenKind::Number:
      return "Number";
    case TokenKind::String:
      return "String";
    case TokenKind::BinaryString:
      return "BinaryString";
    case TokenKind::Regex:
      return "Regex";
    case TokenKind::Template:
      return "Template";
    case TokenKind::Operator:
      return "Operator";
    case TokenKind::Punct:
      return "Punct";
    case TokenKind::Eof:
      return "Eof";
  }
  return "Eof";
}

Result<TokenVector> lex(std::string_view source) {
  try {
    return lexing::Lexer(source, 1).run();
  } catch (lexing::LexFailure& failure) {
    return std::move(failure.error);
  }
}

TokenStream::TokenStream(std::string_view source, std::uint32_t first_line,
                         std::uint64_t max_characters, std::uint32_t first_index,
                         std::uint32_t first_column)
    : lexer_(std::make_unique<lexing::Lexer>(source, first_line, max_characters, first_index,
                                             first_column)) {
  start();
}

void TokenStream::restart(std::string_view source, std::uint32_t first_line,
                          std::uint64_t max_characters, std::uint32_t first_index,
                          std::uint32_t first_column) {
  *lexer_ = lexing::Lexer(source, first_line, max_characters, first_index, first_column);
  error_.reset();
  start();
}

void TokenStream::start() {
  try {
    lexer_->start();
  } catch (lexing::LexFailure& failure) {
    error_ = std::move(failure.error);
  }
}

TokenStream::~TokenStream() = default;
TokenStream::TokenStream(TokenStream&&) noexcept = default;
TokenStream& TokenStream::operator=(TokenStream&&) noexcept = default;

void TokenStream::record(const Token& token, const LiteralPayload& literal) {
  if (!sink_->tokens.empty() && sink_->tokens.back().kind == TokenKind::Eof) return;
  Token& recorded = sink_->tokens.emplace_back(token);
  if (has_literal_payload(token.kind)) {
    recorded.literal = static_cast<std::uint32_t>(sink_->literals.size());
    sink_->literals.push_back(literal);
  }
}

const std::optional<ToluError>& TokenStream::drain() {
  Token token;
  LiteralPayload literal;
  while (next(token, literal) && token.kind != TokenKind::Eof) {
  }
  return error_;
}

namespace lexing {

char32_t Lexer::peek() const {
  if (at_end()) return kEndOfInput;
  auto b = static_cast<unsigned char>(src_[byte_]);
  if (b < 0x80) return b;
  std::size_t pos = byte_;
  return decode_utf8(src_, pos);
}

char32_t Lexer::peek_next() const {
  if (at_end()) return kEndOfInput;
  std::size_t pos = byte_;
  if (static_cast<unsigned char>(src_[pos]) < 0x80) {
    ++pos;
  } else {
    decode_utf8(src_, pos);
  }
  if (pos >= src_.size()) return kEndOfInput;
  auto b = static_cast<unsigned char>(src_[pos]);
  return b < 0x80 ? b : decode_utf8(src_, pos);
}

void Lexer::advance() {
  if (at_end()) return;
  auto b = static_cast<unsigned char>(src_[byte_]);
  if (b < 0x80) {
    ++byte_;
    if (b == '\n') {
      ++line_;
      start_line();
    }
  } else {
    const std::size_t from = byte_;
    decode_utf8(src_, byte_);
    index_bias_ -= static_cast<std::uint32_t>(byte_ - from - 1);
  }
}

void Lexer::advance_over(std::string_view spelling) {
  // The spelling is at the cursor, so its bytes are the source's; the spellings passed here are
  // the lexer's own, all well-formed UTF-8, where a character is a byte that does not continue
  // one.
  std::uint32_t chars = 0;
  for (const char c : spelling) chars += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
  advance_by(spelling.size(), chars);
}

void Lexer::fail(Position at, std::string message) const {
  throw LexFailure{ToluError::located(ErrorKind::Lexical, at.line, at.column, std::move(message))};
}

void Lexer::push(TokenKind kind, Position start, std::string_view text, OperatorId op,
                 KeywordId keyword) {
  const char punct = kind == TokenKind::Punct ? text[0] : '\0';
  *token_ =
      Token{kind, op, keyword, punct, start.index, index(), start.line, start.column, 0, text};
  produced_ = true;
}

LiteralPayload& Lexer::fresh_payload() {
  LiteralPayload& payload = *literal_;
  payload.value.clear();
  payload.bytes.clear();
  payload.flags.clear();
  payload.parts.clear();
  return payload;
}

void Lexer::start() {
  if (auto error = source_size_error(src_, first_line_, max_characters_, index()))
    fail(here(), *error);
  if (first_line_ == 1 && index() == 0) skip_file_start();
}

// Inline into TokenStream::next, the one caller that runs per token, with the dispatch and the
// readers of the common tokens (short words, operators, punctuation): a call of their own would
// cost each token a prologue and an epilogue. The compiler's own weighing leaves them out of line,
// hence always_inline. The rarer readers (strings, templates, numbers, comments) stay calls.
[[gnu::always_inline]] inline void Lexer::next(Token& token, LiteralPayload& literal) {
  token_ = &token;
  literal_ = &literal;
  produced_ = false;
  do {
    // Most tokens follow a blank: it is skipped here rather than in a turn of its own.
    if (!at_end() && kByteClasses[static_cast<unsigned char>(src_[byte_])] == ByteClass::Blank)
      skip_blanks();
    if (at_end()) {
      push(TokenKind::Eof, here(), {});
      break;
    }
    lex_next();  // a comment or a documentation block produces no token
  } while (!produced_);
  previous_kind_ = token.kind;
}

TokenVector Lexer::run() {
  start();
  TokenVector out;
  out.tokens.reserve(src_.size() / 4 + 1);
  Token token;
  LiteralPayload literal;
  do {
    next(token, literal);
    if (has_literal_payload(token.kind)) {
      token.literal = static_cast<std::uint32_t>(out.literals.size());
      out.literals.push_back(std::move(literal));
    }
    out.tokens.push_back(token);
  } while (token.kind != TokenKind::Eof);
  return out;
}

// A regex may start where an operand is expected: at the start, or after a keyword, a regex, an
// operator or one of the punctuation characters ( , ; [ {.
bool Lexer::regex_may_start() const {
  switch (previous_kind_) {
    case TokenKind::Eof:  // nothing before
    case TokenKind::Keyword:
    case TokenKind::Regex:
    case TokenKind::Operator:
      return true;
    case TokenKind::Punct:
      return std::string_view("(,;[{").find(previous_punctuation_) != std::string_view::npos;
    default:
      return false;
  }
}

[[gnu::always_inline]] inline void Lexer::lex_next() {
  switch (kByteClasses[static_cast<unsigned char>(src_[byte_])]) {
    case ByteClass::Blank:  // next() skips blanks before it dispatches; kept for a whole switch
      return skip_blank_run();
    case ByteClass::Letter:
      if (lex_short_word()) return;
      return lex_word();
    case ByteClass::Digit:
      return lex_number();
    case ByteClass::Punctuation: {
      const Position start = here();
      const std::string_view text = source_between(byte_, byte_ + 1);
      previous_punctuation_ = text[0];
      advance_ascii(1);
      return push(TokenKind::Punct, start, text);
    }
    case ByteClass::Operator:
      if (lex_operator()) return;
      return lex_other();
    case ByteClass::Other:
      return lex_other();
  }
}

// Everything that does not start with a blank, an ASCII letter or digit, or punctuation.
void Lexer::lex_other() {
  const char32_t c = peek();
  if (c == '=' && column() == 1 && is_ascii_letter(peek_next())) return skip_documentation_block();
  if (c == '/') {
    const char32_t next = peek_next();
    if (next == '/') return skip_line_comment();
    if (next == '*') return skip_block_comment();
    if (regex_may_start()) return lex_regex();
  }
  // No operator starts with a quote.
  switch (c) {
    case '"':
      return lex_string();
    case '\'':
      return lex_binary_string();
    case '`':
      return lex_template();
    default:
      break;
  }
  if (looking_at("^^")) {
    const Position start = here();
    advance_over("^^");
    return push(TokenKind::Identifier, start, "^^");
  }
  // "_" followed by a letter, a digit or another "_" starts a word; alone it is an operator.
  if (c == '_' && is_word_continue(peek_next())) return lex_word();
  if (lex_operator()) return;
  if (c == U'⊤' || c == U'⊥') {
    const Position start = here();
    advance();
    const KeywordId keyword = c == U'⊤' ? KeywordId::True : KeywordId::False;
    return push(TokenKind::Keyword, start, keyword_spelling(keyword), OperatorId::None, keyword);
  }
  if (is_ascii_digit(c)) return lex_number();
  if (is_word_start(c)) return lex_word();
  std::string shown;
  append_utf8(shown, c);
  fail(here(), "unexpected character '" + shown + "'");
}

// A byte-order mark (U+FEFF) as the very first character is not part of the program: it is
// skipped as a blank that takes no column, so the character after it is still at line 1,
// column 1 while character indexes count it. Anywhere else U+FEFF is an unexpected character.
// Then an interpreter line, "#!" to the end of the line, is skipped.
void Lexer::skip_file_start() {
  if (looking_at("\xEF\xBB\xBF")) {
    advance_by(3, 1);
    start_line();
  }
  if (looking_at("#!")) {
    while (!at_end() && peek() != '\n') advance();
  }
}

// At a blank: moves over the blanks there.
[[gnu::always_inline]] inline void Lexer::skip_blanks() {
  // A single space between two tokens is the common case.
  if (src_[byte_] == ' ' && byte_ + 1 < src_.size() &&
      kByteClasses[static_cast<unsigned char>(src_[byte_ + 1])] != ByteClass::Blank)
    return advance_ascii(1);
  skip_blank_run();
}

// Moves over the run of spaces, tabs, carriage returns and line feeds at the cursor.
void Lexer::skip_blank_run() {
  // Locals, not members, in the loop: a store to a member through `this` may alias the source
  // bytes as far as the compiler knows, and would make it reload them.
  const char* const text = src_.data();
  const std::size_t size = src_.size();
  std::size_t at = byte_;
  std::size_t line_start = SIZE_MAX;  // the byte after the last line feed skipped, if any
  std::uint32_t lines = 0;
  while (at < size) {
    const char c = text[at];
    if (c == ' ') {
      at = spaces_end(src_, at);
    } else if (c == '\n') {
      ++lines;
      line_start = ++at;
    } else if (c == '\t' || c == '\r') {
      ++at;
    } else {
      break;
    }
  }
  byte_ = at;
  if (lines != 0) {
    line_ += lines;
    line_start_ = static_cast<std::uint32_t>(line_start) + index_bias_;
  }
}

// A documentation block starts with "=" and a letter at the start of a line and runs through the
// first line that begins with "=cut" (possibly this one), or to the end of the input.
void Lexer::skip_documentation_block() {
  for (;;) {
    const bool is_cut = looking_at("=cut");
    while (!at_end() && peek() != '\n') advance();
    advance();  // the line feed, if any
    if (is_cut || at_end()) break;
  }
  start_line();
}

// Runs to the line feed, which is left for skip_blanks.
void Lexer::skip_line_comment() {
  std::size_t end = src_.find('\n', byte_);
  if (end == std::string_view::npos) end = src_.size();
  const auto characters = static_cast<std::uint32_t>(count_characters(source_between(byte_, end)));
  advance_by(end - byte_, characters);
}

// Block comments do not nest; an unterminated one runs to the end of the input.
void Lexer::skip_block_comment() {
  advance_over("/*");
  while (!at_end() && !looking_at("*/")) advance();
  if (!at_end()) advance_over("*/");
}

// The longest operator spelling at the cursor, if any.
[[gnu::always_inline]] inline bool Lexer::lex_operator() {
  const auto first = static_cast<unsigned char>(src_[byte_]);
  const std::span<const OperatorSpelling> spellings = operators_by_first_byte(first);
  if (src_.size() - byte_ >= 8) {
    // Eight bytes at once: each spelling is then one masked comparison.
    const std::uint64_t word = load8(src_.data() + byte_);
    const SpellingPattern* pattern =
        operators_detail::kLexingPatterns + (spellings.data() - operators_detail::kLexingOrder);
    for (const OperatorSpelling& spelling : spellings) {
      if ((word & pattern->mask) == pattern->bytes) return lex_operator_spelled(spelling);
      ++pattern;
    }
    return false;
  }
  for (const OperatorSpelling& spelling : spellings) {
    if (looking_at(spelling.text)) return lex_operator_spelled(spelling);
  }
  return false;
}

// At `spelling`, an Operator token.
[[gnu::always_inline]] inline bool Lexer::lex_operator_spelled(const OperatorSpelling& spelling) {
  const Position start = here();
  advance_by(spelling.text.size(), spelling.characters);
  const std::string_view text = spelling.has(OperatorSpelling::kLexesAsFirst)
                                    ? operator_spelling(spelling.id)
                                    : spelling.text;
  push(TokenKind::Operator, start, text, spelling.id);
  return true;
}

// digits [ "." digits ]: no sign, exponent or separators.
void Lexer::lex_number() {
  const Position start = here();
  const std::size_t from = byte_;
  advance_ascii(ascii_digits_at(byte_));
  if (peek() == '.' && is_ascii_digit(peek_next())) advance_ascii(1 + ascii_digits_at(byte_ + 1));
  push(TokenKind::Number, start, source_between(from, byte_));
}

// Most words are ASCII and shorter than sixteen bytes: one look at the sixteen bytes after the
// first letter finds the end. False, having moved nothing, for any other word, or when fewer than
// seventeen bytes are left.
[[gnu::always_inline]] inline bool Lexer::lex_short_word() {
#ifdef __SSE2__
  if (src_.size() - byte_ <= 16) return false;
  const unsigned others = non_word_bytes16(src_.data() + byte_ + 1);
  if (others == 0) return false;
  const std::size_t end = byte_ + 1 + static_cast<std::size_t>(std::countr_zero(others));
  const char after = src_[end];
  if (static_cast<unsigned char>(after) >= 0x80 || (after == '=' && src_[end - 1] == '_'))
    return false;
  const Position start = here();
  const std::string_view word = source_between(byte_, end);
  advance_ascii(end - byte_);
  push_word(start, word);
  return true;
#else
  return false;
#endif
}

void Lexer::lex_word() {
  const Position start = here();
  const std::size_t from = byte_;
  if (static_cast<unsigned char>(src_[byte_]) < 0x80)
    advance_ascii(1);
  else
    advance();
  for (;;) {
    advance_ascii(ascii_word_end(src_, byte_) - byte_);
    // Past ASCII, a word goes on through Unicode letters and digits.
    if (at_end() || static_cast<unsigned char>(src_[byte_]) < 0x80 || !is_word_continue(peek()))
      break;
    advance();
  }
  push_word(start, source_between(from, byte_));
}

// A keyword, an operator spelled as a word, or a name.
[[gnu::always_inline]] inline void Lexer::push_word(Position start, std::string_view word) {
  if (const KeywordId keyword = find_keyword(word); keyword != KeywordId::None)
    return push(TokenKind::Keyword, start, keyword_spelling(keyword), OperatorId::None, keyword);
  if (const OperatorSpelling* op = find_operator_word(word))
    return push(TokenKind::Keyword, start, op->text, op->id);
  push(TokenKind::Identifier, start, word);
}

}  // namespace lexing

bool TokenStream::next(Token& token, LiteralPayload& literal) {
  if (error_) {
    token = Token{};
    return false;
  }
  try {
    lexing::Lexer& lexer = *lexer_;
    lexer.next(token, literal);
    if (sink_) record(token, literal);
    return true;
  } catch (lexing::LexFailure& failure) {
    error_ = std::move(failure.error);
    token = Token{};
    return false;
  }
}

}  // namespace tolu
