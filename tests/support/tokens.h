// Compact renderings of token streams for table-driven lexer tests.
#pragma once

#include <string>

#include "lexer/lexer.h"

namespace tolu::testing {

// One word per token, kind letter then payload: "K:let I:x O::= N:1 P:;" (the Eof is left
// out). Strings show their decoded value, binary strings their bytes in hex, templates and
// regexes their parts.
std::string render_tokens(const TokenVector& tokens);

// Lexes `source` and renders the tokens, or "error L:C message".
std::string lex_to_string(std::string_view source);

}  // namespace tolu::testing
