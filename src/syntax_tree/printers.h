// Printers of the syntax tree: JSON with every field under its data-model name, and a readable
// outline with one node a line.
#pragma once

#include <nlohmann/json.hpp>
#include <string>

#include "syntax_tree/syntax_tree.h"

namespace tolu::ast {

using Json = nlohmann::ordered_json;

Json to_json(const Program& program);
Json to_json(const Expression& expression);

std::string to_outline(const Program& program);
std::string to_outline(const Expression& expression);

}  // namespace tolu::ast
