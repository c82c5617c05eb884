// The token model: what the lexer produces and the parser consumes.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "base/operators.h"
#include "lexer/keywords.h"

namespace tolu {

enum class TokenKind : std::uint8_t {
  Keyword,
  Identifier,
  Number,
  String,
  BinaryString,
  Regex,
  Template,
  Operator,
  Punct,
  Eof,
};

std::string_view token_kind_name(TokenKind kind);

// String, BinaryString, Regex and Template tokens carry a LiteralPayload.
constexpr bool has_literal_payload(TokenKind kind) {
  return kind >= TokenKind::String && kind <= TokenKind::Template;
}

// A piece of a template or regex literal: decoded text (kind 0) or the raw source of a `${...}`
// interpolation (kind 1). `start` and `end` are the character indexes of the piece in the
// source: for text, of its characters as written (escapes undecoded); for an interpolation, of
// its source between "${" and "}", from which it is parsed.
struct TokenTemplatePart {
  enum Kind : std::uint8_t { Text = 0, Interpolation = 1 };
  Kind kind = Text;
  std::uint32_t line = 1;
  std::string text;
  // Where the piece lies in the file: its character offsets, and the column where it begins (for
  // an interpolation, those of the first character of its source, so that positions inside it
  // can be given in the enclosing file).
  std::uint32_t start = 0;
  std::uint32_t end = 0;
  std::uint32_t column = 1;
  bool operator==(const TokenTemplatePart&) const = default;
};

struct Token {
  TokenKind kind = TokenKind::Eof;
  // Operator tokens, and Keyword tokens spelled like an operator: which operator. None otherwise.
  OperatorId op = OperatorId::None;
  // Keyword tokens that are no operator: which keyword. None for every other token.
  KeywordId keyword = KeywordId::None;
  // Punct tokens: the character, so that a reader tells them apart without reading `text`. 0
  // for every other token.
  char punct = 0;
  std::uint32_t start = 0;   // index of the first character
  std::uint32_t end = 0;     // index one past the last character
  std::uint32_t line = 1;    // 1-based
  std::uint32_t column = 1;  // 1-based, in characters
  // In a TokenVector: the index of a literal token's payload in TokenVector::literals.
  std::uint32_t literal = 0;
  // Keyword, Identifier, Number, Operator and Punct: the spelling. It views either the source
  // text or a static spelling table, so the source must outlive the tokens. Empty for the
  // literal kinds, whose payload comes beside the token (see has_literal_payload).
  std::string_view text;
};
static_assert(sizeof(Token) <= 40, "a token stays small: programs hold tens of thousands");

// Payloads of the literal tokens, kept beside the tokens so that a token stays small.
struct LiteralPayload {
  std::string value;                     // String: decoded text; Regex: pattern
  std::vector<std::uint8_t> bytes;       // BinaryString
  std::string flags;                     // Regex
  std::vector<TokenTemplatePart> parts;  // Regex and Template
};

struct TokenVector {
  std::vector<Token> tokens;  // always ends with exactly one Eof token
  std::vector<LiteralPayload> literals;

  const LiteralPayload& literal(const Token& t) const { return literals[t.literal]; }
  LiteralPayload& literal(const Token& t) { return literals[t.literal]; }
};

}  // namespace tolu
