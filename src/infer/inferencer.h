// The type inferencer: static type names for expressions, type-check flags for declarations.
#pragma once

#include "tolu/syntax_tree.h"

namespace tolu {

// Writes inferred_type and needs_type_check into the program in place. Never fails.
void annotate_program(ast::Program& program);

}  // namespace tolu
