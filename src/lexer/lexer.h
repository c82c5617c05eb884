// The lexer: source text to tokens.
#pragma once

#include <string_view>

#include "diagnostics/tolu_error.h"
#include "lexer/token.h"

namespace tolu {

// Cuts the whole source into tokens ending with one Eof token, or fails with one Lexical error.
// Token spellings view `source`, which must outlive the result.
Result<TokenVector> lex(std::string_view source);

// True when `word` is one of the language's keywords.
bool is_keyword(std::string_view word);

}  // namespace tolu
