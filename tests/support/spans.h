// Checks on the spans a tree prints with: every node object has one, and each lies within the
// span of the node around it and within the source.
#pragma once

#include <cstddef>
#include <string_view>

#include "tolu/syntax_tree.h"

namespace tolu::testing {

// Adds a test failure for each node of `program`, parsed from `source`, whose span is missing,
// reversed, outside its parent's or outside the source, or empty though the node has text (only
// the body of a forward declaration has none). Returns the number of nodes checked.
std::size_t check_spans(const ast::Program& program, std::string_view source);

}  // namespace tolu::testing
