// The semantic validator: scope, mutability and context rules over a finished tree.
#pragma once

#include <optional>

#include "tolu/error.h"
#include "tolu/syntax_tree.h"

namespace tolu {

// Checks the program without changing it; returns the first broken rule as a Semantic error.
std::optional<ToluError> validate_program(const ast::Program& program);

}  // namespace tolu
