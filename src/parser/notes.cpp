// Notes on parse errors: the bracket still open at the end of the input, and where a statement
// that lacks its ";" ends. Both are worked out from the tokens before the current one, read
// again when the error is raised, so that parsing keeps no state for them.
#include <array>

#include "base/unicode.h"
#include "parser/parser_internal.h"

namespace tolu::parsing {
namespace {

// How a token takes part in bracketing: 0 for not at all, else the number of its pair, with
// kCloses set for a closer. Parentheses are 1 (".(" also opens them), brackets 2, braces 3,
// then "<<<" ">>>", "<<" ">>", "«" "»", "⌊" "⌋" and "⌈" "⌉".
constexpr std::uint8_t kCloses = 0x80;

constexpr auto kPunctDelimiters = [] {
  std::array<std::uint8_t, 256> table{};
  table['('] = 1;
  table[')'] = 1 | kCloses;
  table['['] = 2;
  table[']'] = 2 | kCloses;
  table['{'] = 3;
  table['}'] = 3 | kCloses;
  return table;
}();

constexpr auto kOperatorDelimiters = [] {
  std::array<std::uint8_t, kOperatorIdCount> table{};
  const auto set = [&](OperatorId opener, OperatorId closer, std::uint8_t pair) {
    table[static_cast<std::size_t>(opener)] = pair;
    table[static_cast<std::size_t>(closer)] = pair | kCloses;
  };
  table[static_cast<std::size_t>(OperatorId::DotParen)] = 1;
  set(OperatorId::BagOpen, OperatorId::BagClose, 4);
  set(OperatorId::SetOpen, OperatorId::SetClose, 5);
  set(OperatorId::GuillemetOpen, OperatorId::GuillemetClose, 6);
  set(OperatorId::FloorOpen, OperatorId::FloorClose, 7);
  set(OperatorId::CeilOpen, OperatorId::CeilClose, 8);
  return table;
}();

// Tokens other than Operator and Punct name no operator, or an operator keyword, which is no
// delimiter.
std::uint8_t delimiter_of(const Token& t) {
  return t.kind == TokenKind::Punct ? kPunctDelimiters[static_cast<unsigned char>(t.text[0])]
                                    : kOperatorDelimiters[static_cast<std::size_t>(t.op)];
}

struct OpenDelimiter {
  std::uint32_t line;
  std::uint32_t column;
  std::string_view spelling;
  std::uint8_t pair;
};

}  // namespace

// The parser only moves on, so every token before the current one has been consumed: read again,
// they are the tokens the parser saw, in its order.
template <class Visit>
void Parser::replay_tokens_before_current(Visit visit) const {
  TokenStream again(source_, first_line_, kMaxSourceCharacters, first_index_, first_column_);
  Token t;
  LiteralPayload literal;
  const std::uint32_t stop = current().start;
  while (again.next(t, literal) && t.kind != TokenKind::Eof && t.start < stop) visit(t);
}

// Every production consumes an opener before its closer, so the consumed tokens are balanced as
// the grammar pairs them, and what stays open at the end is what the parser had open. A closer
// pops only the opener it matches; the tokens of an import path open and close nothing.
std::optional<Note> Parser::open_delimiter_note() const {
  std::vector<OpenDelimiter> open;
  std::size_t path = 0;
  replay_tokens_before_current([&](const Token& t) {
    while (path < import_paths_.size() && t.start >= import_paths_[path].second) ++path;
    if (path < import_paths_.size() && t.start >= import_paths_[path].first) return;
    const std::uint8_t delimiter = delimiter_of(t);
    if (delimiter == 0) return;
    if ((delimiter & kCloses) == 0) {
      open.push_back({t.line, t.column, t.text, delimiter});
    } else if (!open.empty() && open.back().pair == (delimiter & ~kCloses)) {
      open.pop_back();
    }
  });
  if (open.empty()) return std::nullopt;
  return Note{open.back().line,
              open.back().column,
              "to match this '" + std::string(open.back().spelling) + "'",
              {}};
}

// When the token that should have been a ";" starts a later line than the one where the
// statement ends, the note points just past the statement's last token, which may span lines,
// and suggests the ";".
std::optional<Note> Parser::missing_terminator_note() const {
  std::optional<Token> last;
  replay_tokens_before_current([&](const Token& t) { last = t; });
  if (!last) return std::nullopt;
  // Token indexes count from first_index_, the index of the source's first character in its file.
  std::size_t byte = 0;
  for (std::uint32_t i = first_index_; i < last->start && byte < source_.size(); ++i)
    decode_utf8(source_, byte);
  std::uint32_t line = last->line;
  std::uint32_t column = last->column;
  for (std::uint32_t i = last->start; i < last->end && byte < source_.size(); ++i) {
    if (decode_utf8(source_, byte) == '\n') {
      ++line;
      column = 1;
    } else {
      ++column;
    }
  }
  if (current().line <= line) return std::nullopt;
  return Note{line, column, "the statement ends here: add ';'", ";"};
}

}  // namespace tolu::parsing
