// Printers of the syntax tree: JSON with every field under its data-model name, and a readable
// outline with one node a line.
#pragma once

#include <string>

#include "tolu/export.h"
#include "tolu/syntax_tree.h"

namespace tolu::ast {

// The tree as a JSON document, indented by `indent` spaces a level, or on one line when `indent`
// is negative. Text that is not valid UTF-8 is printed with U+FFFD in its place. With
// `with_spans`, every node object also carries "span": [start, end], its Span.
TOLU_API std::string to_json_text(const Program& program, int indent = 2, bool with_spans = false);
TOLU_API std::string to_json_text(const Expression& expression, int indent = 2,
                                  bool with_spans = false);

TOLU_API std::string to_outline(const Program& program);
TOLU_API std::string to_outline(const Expression& expression);

}  // namespace tolu::ast
