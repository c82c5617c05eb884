// Expressions printed back as fully parenthesised text, to check the shape the parser built:
// "a + b * c" comes back as "(a + (b * c))".
#pragma once

#include <string>
#include <string_view>

#include "tolu/error.h"
#include "tolu/syntax_tree.h"

namespace tolu::testing {

std::string shape(const ast::Expression& expression);
// The shapes of a program's statements separated by "; ".
std::string shape(const ast::Program& program);

// Parses `source` as one expression and returns its shape, or "Kind L:C message".
std::string expression_shape(std::string_view source);

// Parses `source` as a program without validation or inference and returns the shape of its
// statements separated by "; ", or the error as above.
std::string program_shape(std::string_view source);

// "Kind L:C message" for an error.
std::string describe_error(const ToluError& error);

}  // namespace tolu::testing
