// The keywords that are no operators, and the one-byte identity the lexer puts on each keyword
// token, so that the parser tells keywords apart by comparing integers rather than spellings.
// The operator keywords (and, in, new, ...) are in the operator table and carry their
// OperatorId instead.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace tolu {

// In the order of their spellings, which kKeywordSpellings follows.
enum class KeywordId : std::uint8_t {
  None,
  As,
  Assert,
  Async,
  Await,
  But,
  Case,
  Catch,
  Class,
  Const,
  Continue,
  Debug,
  Die,
  Do,
  Else,
  Extends,
  False,
  Fn,
  For,
  From,
  Function,
  If,
  Import,
  Last,
  Let,
  Method,
  Next,
  Null,
  Print,
  Return,
  Say,
  Spawn,
  Static,
  Super,
  Switch,
  Throw,
  Trait,
  True,
  Try,
  Unless,
  Warn,
  While,
  With,
};

// The spelling of each keyword, sorted; entry i spells KeywordId i + 1.
inline constexpr std::array<std::string_view, 42> kKeywordSpellings = {
    "as",       "assert",   "async",  "await",  "but",    "case",    "catch",  "class", "const",
    "continue", "debug",    "die",    "do",     "else",   "extends", "false",  "fn",    "for",
    "from",     "function", "if",     "import", "last",   "let",     "method", "next",  "null",
    "print",    "return",   "say",    "spawn",  "static", "super",   "switch", "throw", "trait",
    "true",     "try",      "unless", "warn",   "while",  "with"};

constexpr KeywordId keyword_at(std::size_t index) {
  return static_cast<KeywordId>(index + 1);
}

// The keyword's spelling; empty for None.
constexpr std::string_view keyword_spelling(KeywordId id) {
  const auto index = static_cast<std::size_t>(id);
  return index == 0 || index > kKeywordSpellings.size() ? std::string_view()
                                                        : kKeywordSpellings[index - 1];
}

static_assert(kKeywordSpellings.size() == static_cast<std::size_t>(KeywordId::With));
static_assert(
    [] {
      for (std::size_t i = 1; i < kKeywordSpellings.size(); ++i) {
        if (!(kKeywordSpellings[i - 1] < kKeywordSpellings[i])) return false;
      }
      return true;
    }(),
    "keyword spellings are sorted, without repeats");
static_assert(keyword_spelling(KeywordId::As) == "as" && keyword_spelling(KeywordId::If) == "if" &&
              keyword_spelling(KeywordId::Let) == "let" &&
              keyword_spelling(KeywordId::With) == "with");

}  // namespace tolu
