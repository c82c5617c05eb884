// The parser: tokens to a syntax tree.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "diagnostics/tolu_error.h"
#include "lexer/token.h"
#include "syntax_tree/syntax_tree.h"

namespace tolu {

// Parses a whole program. Every node carries a copy of `source_file`.
Result<ast::Program> parse_program_tokens(TokenVector tokens,
                                          const std::optional<std::string>& source_file);

// Lexes and parses `source` as one expression that must use the whole text.
Result<ast::Expression> parse_expression_text(std::string_view source,
                                              const std::optional<std::string>& source_file);

}  // namespace tolu
