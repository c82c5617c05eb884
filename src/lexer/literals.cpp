// Readers of the string, binary-string, template and regex literals. Each starts at the opening
// delimiter and consumes through the closing one.
#include "lexer/lexer_internal.h"

namespace tolu::lexing {
namespace {

int hex_value(char32_t c) {
  if (c >= '0' && c <= '9') return static_cast<int>(c - '0');
  if (c >= 'a' && c <= 'f') return static_cast<int>(c - 'a' + 10);
  if (c >= 'A' && c <= 'F') return static_cast<int>(c - 'A' + 10);
  return -1;
}

bool is_ascii_letter(char32_t c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

// The escapes shared by strings, templates and binary strings: a character that stands for
// itself, or n, r and t. Anything else gives kEndOfInput.
char32_t simple_escape(char32_t c) {
  switch (c) {
    case '"':
    case '$':
    case '\'':
    case '/':
    case '\\':
    case '`':
      return c;
    case 'n':
      return '\n';
    case 'r':
      return '\r';
    case 't':
      return '\t';
    default:
      return kEndOfInput;
  }
}

bool is_surrogate(std::uint32_t code) {
  return code >= 0xD800 && code <= 0xDFFF;
}

// Collects text pieces of a template or regex, emitting a piece only when it is non-empty. Each
// addition comes with the position where its source starts; a piece ends at `end`, the index
// of the character after it.
class PieceBuilder {
 public:
  void add(Position at, std::string_view text) {
    if (text_.empty()) start_ = at;
    text_ += text;
  }
  void add(Position at, char32_t c) {
    if (text_.empty()) start_ = at;
    append_utf8(text_, c);
  }
  void flush(std::vector<TokenTemplatePart>& parts, std::uint32_t end) {
    if (text_.empty()) return;
    parts.push_back(
        {TokenTemplatePart::Text, start_.line, std::move(text_), start_.index, end, start_.column});
    text_.clear();
  }

 private:
  Position start_;
  std::string text_;
};

// The bytes that end a run of plain text in a string, in a template, and in a template's
// interpolation while its end is sought.
constexpr ByteSet kStringSpecial("\"\\\n");
constexpr ByteSet kTemplateSpecial("`$\\\n");
constexpr ByteSet kInterpolationSpecial("{}\"'/`\n");

}  // namespace

// Consumes everything up to and including `closer`; line feeds are counted. Returns the text
// between the cursor and the closer, or fails at `open` when the closer never comes.
std::string_view Lexer::take_until(std::string_view closer, Position open, const char* message) {
  const std::size_t from = byte_;
  while (!at_end() && !looking_at(closer)) advance();
  if (at_end()) fail(open, message);
  std::string_view text = src_.substr(from, byte_ - from);
  advance_over(closer);
  return text;
}

// The characters after \x or \u: exactly `count` hex digits, else "invalid \x escape".
std::uint32_t Lexer::read_hex_digits(int count, std::string_view escape_name,
                                     Position after_backslash) {
  std::uint32_t code = 0;
  for (int i = 0; i < count; ++i) {
    const int digit = hex_value(peek());
    if (digit < 0) fail(after_backslash, "invalid " + std::string(escape_name) + " escape");
    code = code * 16 + static_cast<std::uint32_t>(digit);
    advance();
  }
  return code;
}

// The cursor is on a backslash in a string or a single-backtick template.
char32_t Lexer::decode_text_escape(std::string_view context) {
  advance();
  const Position after = here();
  const char32_t c = peek();
  if (c == kEndOfInput) fail(after, "unterminated " + std::string(context) + " escape");
  advance();
  if (const char32_t simple = simple_escape(c); simple != kEndOfInput) return simple;
  switch (c) {
    case 'x':
      return read_hex_digits(2, "\\x", after);
    case 'u': {
      const std::uint32_t code = read_hex_digits(4, "\\u", after);
      if (is_surrogate(code)) fail(after, "invalid Unicode escape");
      return code;
    }
    default:
      fail(after, "invalid " + std::string(context) + " escape");
  }
}

// The cursor is on a backslash in a single-quoted binary string.
std::uint8_t Lexer::decode_binary_escape() {
  advance();
  const Position after = here();
  const char32_t c = peek();
  if (c == kEndOfInput) fail(after, "unterminated binary string escape");
  advance();
  if (const char32_t simple = simple_escape(c); simple != kEndOfInput)
    return static_cast<std::uint8_t>(simple);
  switch (c) {
    case 'x':
      return static_cast<std::uint8_t>(read_hex_digits(2, "\\x", after));
    case 'u':
      fail(after, "Unicode escapes are not supported in binary strings");
    default:
      fail(after, "invalid binary string escape");
  }
}

void Lexer::lex_string() {
  const Position open = here();
  LiteralPayload& payload = fresh_payload();
  if (looking_at("\"\"\"")) {
    advance_over("\"\"\"");
    payload.value = take_until("\"\"\"", open, "unterminated triple-quoted string literal");
    push(TokenKind::String, open, {});
    return;
  }
  advance();
  for (;;) {
    // Plain ASCII text is copied as it stands.
    const std::size_t plain = plain_bytes_at(byte_, kStringSpecial);
    payload.value.append(src_.data() + byte_, plain);
    advance_ascii(plain);
    const char32_t c = peek();
    if (c == kEndOfInput) fail(open, "unterminated string literal");
    if (c == '\n') fail(here(), "unterminated string literal");
    if (c == '"') break;
    if (c == '\\') {
      append_utf8(payload.value, decode_text_escape("string"));
      continue;
    }
    append_utf8(payload.value, c);
    advance();
  }
  advance();
  push(TokenKind::String, open, {});
}

void Lexer::lex_binary_string() {
  const Position open = here();
  LiteralPayload& payload = fresh_payload();
  if (looking_at("'''")) {
    advance_over("'''");
    std::string_view text =
        take_until("'''", open, "unterminated triple-quoted binary string literal");
    payload.bytes.assign(text.begin(), text.end());
    push(TokenKind::BinaryString, open, {});
    return;
  }
  advance();
  for (;;) {
    const char32_t c = peek();
    if (c == kEndOfInput || c == '\n')
      fail(c == '\n' ? here() : open, "unterminated binary string literal");
    if (c == '\'') break;
    if (c == '\\') {
      payload.bytes.push_back(decode_binary_escape());
      continue;
    }
    std::string utf8;
    append_utf8(utf8, c);
    payload.bytes.insert(payload.bytes.end(), utf8.begin(), utf8.end());
    advance();
  }
  advance();
  push(TokenKind::BinaryString, open, {});
}

void Lexer::lex_template() {
  const Position open = here();
  read_template(fresh_payload().parts);
  push(TokenKind::Template, open, {});
}

// The cursor is on the opening backtick (or three). Plain templates decode escapes and end at
// a line feed with an error; triple-backtick ones take their text unchanged. The pieces are
// appended to `parts`.
void Lexer::read_template(std::vector<TokenTemplatePart>& parts) {
  const Position open = here();
  if (++template_depth_ > kMaxNesting) fail(open, kNestingTooDeep);
  const bool triple = looking_at("```");
  advance_over(triple ? "```" : "`");
  PieceBuilder text;
  for (;;) {
    // Plain ASCII text is taken as it stands.
    const std::size_t plain = plain_bytes_at(byte_, kTemplateSpecial);
    if (plain > 0) {
      text.add(here(), source_between(byte_, byte_ + plain));
      advance_ascii(plain);
    }
    const char32_t c = peek();
    if (c == kEndOfInput) {
      fail(open, triple ? "unterminated triple-backtick template literal"
                        : "unterminated template literal");
    }
    if (triple ? looking_at("```") : c == '`') break;
    if (c == '$' && peek_next() == '{') {
      text.flush(parts, here().index);
      advance_over("${");
      parts.push_back(lex_template_interpolation());
      continue;
    }
    if (!triple && c == '\n') fail(here(), "unterminated template literal");
    const Position at = here();
    if (!triple && c == '\\') {
      text.add(at, decode_text_escape("template literal"));
      continue;
    }
    text.add(at, c);
    advance();
  }
  text.flush(parts, here().index);
  advance_over(triple ? "```" : "`");
  --template_depth_;
}

// The cursor is just after "${". Finds the matching "}" across nested braces, quoted sections,
// comments and nested templates, and returns the source text in between, with its position.
TokenTemplatePart Lexer::lex_template_interpolation() {
  const Position start = here();
  const std::size_t from = byte_;
  int depth = 1;
  for (;;) {
    advance_ascii(plain_bytes_at(byte_, kInterpolationSpecial));
    const char32_t c = peek();
    if (c == kEndOfInput) fail(start, "unterminated template interpolation");
    if (c == '{') {
      ++depth;
    } else if (c == '}') {
      if (depth == 1) break;
      --depth;
    } else if (c == '"' || c == '\'') {
      skip_quoted_section();
      continue;
    } else if (c == '/' && peek_next() == '/') {
      while (!at_end() && peek() != '\n') advance();
      continue;
    } else if (c == '/' && peek_next() == '*') {
      advance_over("/*");
      while (!at_end() && !looking_at("*/")) advance();
      if (!at_end()) advance_over("*/");
      continue;
    } else if (c == '`') {
      std::vector<TokenTemplatePart> nested;  // only its end matters here
      read_template(nested);
      continue;
    }
    advance();
  }
  TokenTemplatePart part{TokenTemplatePart::Interpolation,
                         start.line,
                         std::string(src_.substr(from, byte_ - from)),
                         start.index,
                         index(),
                         start.column};
  advance();
  return part;
}

// A quoted section inside an interpolation runs to the same quote; a backslash skips the next
// character.
void Lexer::skip_quoted_section() {
  const Position open = here();
  const char32_t quote = peek();
  advance();
  for (;;) {
    const char32_t c = peek();
    if (c == kEndOfInput) fail(open, "unterminated quoted section in template literal");
    advance();
    if (c == quote) return;
    if (c == '\\') {
      if (at_end()) fail(open, "unterminated quoted section in template literal");
      advance();
    }
  }
}

// The cursor is on the opening "/". The pattern keeps escapes as written; "/" inside a
// character class does not end it; "${...}" interpolates.
void Lexer::lex_regex() {
  const Position open = here();
  advance();
  LiteralPayload& payload = fresh_payload();
  PieceBuilder text;
  bool interpolated = false;
  bool in_class = false;
  for (;;) {
    const char32_t c = peek();
    if (c == kEndOfInput) fail(open, "unterminated regex literal");
    const Position at = here();
    if (c == '$' && peek_next() == '{') {
      text.flush(payload.parts, at.index);
      advance_over("${");
      TokenTemplatePart part = lex_template_interpolation();
      payload.value += "${";
      payload.value += part.text;
      payload.value += "}";
      payload.parts.push_back(std::move(part));
      interpolated = true;
      continue;
    }
    if (c == '/' && !in_class) break;
    if (c == '[') in_class = true;
    if (c == ']') in_class = false;
    const std::size_t from = byte_;
    advance();
    if (c == '\\') {
      if (at_end()) fail(open, "unterminated regex literal");
      advance();
    }
    const std::string_view written = src_.substr(from, byte_ - from);
    payload.value += written;
    text.add(at, written);
  }
  const std::uint32_t close = here().index;
  advance();
  while (is_ascii_letter(peek())) {
    payload.flags.push_back(static_cast<char>(peek()));
    advance();
  }
  if (interpolated) {
    text.flush(payload.parts, close);
  } else {
    payload.parts.clear();
  }
  push(TokenKind::Regex, open, {});
}

}  // namespace tolu::lexing
