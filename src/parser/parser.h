// The parser: source text to a syntax tree, through the lexer's tokens.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "lexer/token.h"
#include "tolu/error.h"
#include "tolu/syntax_tree.h"

namespace tolu {

// Lexes and parses a whole program, reading tokens as it goes. A lexical error anywhere in the
// source is reported before any syntax error. Every node refers to one interned `source_file`.
// The Program owns the storage its tree is built in. A caller parsing file after file can hand
// in the storage of a tree it is done with through `reuse`: it is cleared, keeping its memory,
// and taken by the Program, or left in `reuse` when parsing fails. Given `tokens`, the parser
// appends to it the file's tokens as it reads them (not those of template interpolations): all
// of them, as lex() gives them, unless a lexical error stops the lexer, and then those before it.
Result<ast::Program> parse_program_text(std::string_view source,
                                        const std::optional<std::string>& source_file,
                                        std::unique_ptr<ast::Storage>* reuse = nullptr,
                                        TokenVector* tokens = nullptr);

// Lexes and parses `source` as one expression that must use the whole text.
Result<ast::ExpressionTree> parse_expression_text(std::string_view source,
                                                  const std::optional<std::string>& source_file);

}  // namespace tolu
