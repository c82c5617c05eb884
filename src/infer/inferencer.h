// The type inferencer: static type names for expressions, type-check flags for declarations.
#pragma once

#include "syntax_tree/syntax_tree.h"

namespace tolu {

// Writes inferred_type and needs_type_check into the program in place. Never fails.
void annotate_program(ast::Program& program);

}  // namespace tolu
