// Where a declared name is written. Nodes keep the span of the whole declaration; its name is the
// first identifier (or keyword, for the names that may be spelled like one) token with the
// name's spelling that starts within that span.
#pragma once

#include <optional>
#include <string_view>

#include "lexer/token.h"
#include "tolu/syntax_tree.h"

namespace tolu::sema {

// The span of the first token spelled `name` starting in [within.start, within.end). `tokens`
// are a file's tokens, sorted by start; inside a template or regex literal, whose interpolations
// the file's tokens do not show, the interpolation's source is lexed again to look into it.
std::optional<ast::Span> find_name_token(const TokenVector& tokens, std::string_view name,
                                         ast::Span within);

// Where a for loop may name its variable: before its iterable. (A loop whose header is only the
// iterable names none.)
inline ast::Span loop_header(ast::Span statement, const ast::For& loop) {
  return {statement.start, loop.iterable.span().start};
}

}  // namespace tolu::sema
