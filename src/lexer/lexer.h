// The lexer: source text to tokens.
#pragma once

#include <string_view>

#include "diagnostics/tolu_error.h"
#include "lexer/token.h"

namespace tolu {

// Cuts the whole source into tokens ending with one Eof token, or fails with one Lexical error.
// Token spellings view `source`, which must outlive the result.
Result<TokenVector> lex(std::string_view source);

// Lexes `source` as if it started on line `first_line` (1 or more) of a larger text, after that
// many line feeds: lines, and columns on the first line, come out as they would there. Character
// indexes still count from the start of `source`.
Result<TokenVector> lex_from_line(std::string_view source, std::uint32_t first_line);

// True when `word` is one of the language's keywords.
bool is_keyword(std::string_view word);

}  // namespace tolu
