// The optimizer: tree-to-tree rewriting and annotation, pass by pass.
#pragma once

#include "tolu/passes.h"
#include "tolu/syntax_tree.h"

namespace tolu {

// Rewrites the program in place with the passes of `optimizations`; an empty set leaves every
// node as it was. Never fails.
void optimize_program(ast::Program& program, const PassSet& optimizations);

}  // namespace tolu
