// The parser: source text to a syntax tree, through the lexer's tokens.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "tolu/error.h"
#include "tolu/syntax_tree.h"

namespace tolu {

// Lexes and parses a whole program, reading tokens as it goes. A lexical error anywhere in the
// source is reported before any syntax error. Every node carries a copy of `source_file`.
Result<ast::Program> parse_program_text(std::string_view source,
                                        const std::optional<std::string>& source_file);

// Lexes and parses `source` as one expression that must use the whole text.
Result<ast::Expression> parse_expression_text(std::string_view source,
                                              const std::optional<std::string>& source_file);

}  // namespace tolu
