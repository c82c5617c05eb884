// Helpers the language features share: spans, tokens, lines, and one walk over every node that
// has a span.
#pragma once

#include <algorithm>
#include <concepts>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "front_end/analysis.h"
#include "lexer/token.h"
#include "sema/bindings.h"
#include "tolu/children.h"
#include "tolu/syntax_tree.h"

namespace tolu::lsp::detail {

inline bool is_empty(ast::Span span) {
  return span.start >= span.end;
}

// A cursor at `offset` touches a written span when it stands inside it or just after it.
inline bool touches(ast::Span span, std::uint32_t offset) {
  return !is_empty(span) && span.start <= offset && offset <= span.end;
}

inline bool encloses(ast::Span outer, ast::Span inner) {
  return outer.start <= inner.start && inner.end <= outer.end;
}

// The token under a cursor at `offset`: the one it stands in, else the one it stands just after.
// Never the Eof token.
const Token* token_at(const TokenVector& tokens, std::uint32_t offset);

// The index of the first token that starts at or after `offset`.
std::size_t first_token_from(const TokenVector& tokens, std::uint32_t offset);

// The first Identifier (or Keyword) token spelled `name` that starts in `within`.
std::optional<ast::Span> name_token_in(const TokenVector& tokens, std::string_view name,
                                       ast::Span within);

// The declaration whose written name or one of whose uses a cursor at `offset` touches, with
// the span it touches. Predeclared names and names bound where they are not written have no
// written name, and are found only through their uses.
struct NameAt {
  std::uint32_t declaration = 0;
  ast::Span span;
  bool is_declaration = false;
  const sema::Use* use = nullptr;
};
std::optional<NameAt> name_at(const sema::BindingIndex& bindings, std::uint32_t offset);

// Line numbers (0-based) of character offsets in a text, whose lines end at line feeds.
class LineIndex {
 public:
  explicit LineIndex(std::string_view text);
  std::uint32_t line_of(std::uint32_t offset) const;

 private:
  std::vector<std::uint32_t> starts_;  // the offset at which each line starts
};

// Byte positions of character offsets, for cutting a UTF-8 text by characters.
std::vector<std::size_t> byte_positions(std::string_view text);

template <class T>
concept SpannedRecord = requires(const T& record) {
  { record.span } -> std::convertible_to<ast::Span>;
};

// Walks every expression, statement and record with a span below a node, parents first. `visit`
// is called as visit(node, span) for each and returns whether to walk into it.
template <class Visit>
class SpanWalk {
 public:
  explicit SpanWalk(Visit& visit) : visit_(visit) {}

  void operator()(const ast::Expression& e) {
    if (visit_(e, e.span())) ast::for_each_child(e, *this);
  }
  void operator()(const ast::Statement& s) {
    if (visit_(s, s.span())) ast::for_each_child(s, *this);
  }
  template <SpannedRecord T>
  void operator()(const T& record) {
    if (visit_(record, ast::Span(record.span))) ast::for_each_child(record, *this);
  }

 private:
  Visit& visit_;
};

template <class Node, class Visit>
void walk_spans(const Node& node, Visit&& visit) {
  SpanWalk<std::remove_reference_t<Visit>> walk(visit);
  ast::for_each_child(node, walk);
}

}  // namespace tolu::lsp::detail
