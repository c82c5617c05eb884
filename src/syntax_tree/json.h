// The tree as a JSON value, for the tools and tests that build on it; embedders get the text
// through to_json_text() in tolu/printers.h.
#pragma once

#include <nlohmann/json.hpp>

#include "tolu/syntax_tree.h"

namespace tolu::ast {

using Json = nlohmann::ordered_json;

// With `with_spans`, every node object also carries "span": [start, end].
Json to_json(const Program& program, bool with_spans = false);
Json to_json(const Expression& expression, bool with_spans = false);

}  // namespace tolu::ast
