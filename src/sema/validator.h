// The semantic validator: scope, mutability and context rules over a finished tree.
#pragma once

#include <optional>

#include "lexer/token.h"
#include "tolu/error.h"
#include "tolu/syntax_tree.h"

namespace tolu {

// Checks the program without changing it; returns the first broken rule as a Semantic error.
// An error that quotes a name carries the span of the name as written (LocatedError::name_span):
// always for a name that is used, and for a declared one when the program's `tokens` are given.
std::optional<ToluError> validate_program(const ast::Program& program,
                                          const TokenVector* tokens = nullptr);

}  // namespace tolu
