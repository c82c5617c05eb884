// Where names are written. Nodes keep the span of the whole construct; the tokens show where in
// it a name stands. A declared name is found by the grammar of its declaration (the name after
// a type, after "as", after "function" ...), so that a type or key spelled like the name is not
// taken for it; the names of classes and traits that a declaration or a "new" expression
// composes, and the types written before names and bodies, are found the same way.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

#include "lexer/token.h"
#include "tolu/syntax_tree.h"

namespace tolu::sema {

// The tokens that start in a span: the file's, or, when the span lies inside an interpolation of
// a template or regex literal (whose tokens the file's do not show), those of the interpolation,
// lexed again. The Eof token is not included, nor any token after the first `limit`.
class TokenWindow {
 public:
  TokenWindow(const TokenVector& tokens, ast::Span within, std::size_t limit = SIZE_MAX);
  TokenWindow(const TokenWindow&) = delete;
  TokenWindow& operator=(const TokenWindow&) = delete;

  std::span<const Token> tokens() const { return tokens_; }

 private:
  std::deque<TokenVector> lexed_;  // the interpolations lexed again, outermost first
  std::span<const Token> tokens_;
};

// The span of the first token spelled `name` starting in [within.start, within.end), looking
// into the interpolations of template and regex literals.
std::optional<ast::Span> find_name_token(const TokenVector& tokens, std::string_view name,
                                         ast::Span within);

// Where a declaring node writes its name.
enum class NameSite : std::uint8_t {
  TypedAfterKeyword,  // ("let" | "const") [TYPE] NAME: variables, fields, declaration expressions
  Parameter,          // ["..."] [TYPE] NAME
  CatchBinding,       // [TYPE] NAME
  BindingEntry,       // KEY ":" [TYPE] NAME | TYPE NAME | NAME ":" [TYPE] NAME | NAME
  Function,           // ["async"] "function" NAME
  Method,             // {"static" | "async"} "method" NAME
  Class,              // "class" NAME
  Trait,              // "trait" NAME
  LoopVariable,       // "for" "(" ("let" | "const") NAME
  ImportSpecifier,    // NAME ["as" NAME]: the last name
};

// A declared name as written, and the type written before it.
struct WrittenName {
  ast::Span name;
  std::optional<ast::Span> type;
};

// Where the node at `node`, of the form `site`, writes the declared `name`. When the tokens at
// the name's place do not spell it (a node a pass built), the first token spelled `name` in the
// node, without a type.
std::optional<WrittenName> find_declared_name(const TokenVector& tokens, std::string_view name,
                                              ast::Span node, NameSite site);

// The site of the names a statement binds in its scope (see for_each_statement_binding).
NameSite name_site(const ast::Statement& statement);

// The spans of `names` written one after another in the composition of a class declaration or
// a "new" expression: the base class after "extends", and the traits after "with" or "but",
// separated by commas. `from` is the first token after the class's name (or class expression)
// and `within` bounds the search. A name that is not where the grammar puts it gets nothing.
std::vector<std::optional<ast::Span>> find_composition_names(const TokenVector& tokens,
                                                             std::span<const Name> names,
                                                             ast::Span within, std::uint32_t from);

// The span of the return type `type` written right before the body that starts at `body_start`
// (after "->"), within `node`.
std::optional<ast::Span> find_return_type(const TokenVector& tokens, std::string_view type,
                                          ast::Span node, std::uint32_t body_start);

// Where a for loop may name its variable: before its iterable. (A loop whose header is only the
// iterable names none.)
inline ast::Span loop_header(ast::Span statement, const ast::For& loop) {
  return {statement.start, loop.iterable.span().start};
}

}  // namespace tolu::sema
