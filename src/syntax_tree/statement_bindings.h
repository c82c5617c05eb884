// The names a statement binds in the scope that holds it, for the walks that track scopes: the
// validator's rules in the binding index, and the optimizer's identifier resolution.
#pragma once

#include <cstdint>

#include "tolu/children.h"
#include "tolu/syntax_tree.h"

namespace tolu::ast {

// What binds a name in the scope of its statement.
enum class StatementBinding : std::uint8_t { Variable, Constant, Function, Class, Trait, Import };

// Calls `bind(name, node_span, binding)` for each name `statement` binds in the scope that holds
// it, in source order; `node_span` is the span of the record that declares the name (a
// destructuring entry, an import specifier, or the statement itself). Statements that bind
// nothing call nothing.
template <class Bind>
void for_each_statement_binding(const Statement& statement, Bind&& bind) {
  const auto variable_kind = [](Name kind) {
    return kind == "const" ? StatementBinding::Constant : StatementBinding::Variable;
  };
  visit_node(
      Overloads{[&](const VariableDeclaration& node) {
                  bind(node.name, statement.span(), variable_kind(node.kind));
                },
                [&](const DestructuringDeclaration& node) {
                  for (const auto& entry : node.pattern.entries)
                    bind(entry.name, Span(entry.span), variable_kind(node.kind));
                },
                [&](const FunctionDeclaration& node) {
                  bind(node.name, statement.span(), StatementBinding::Function);
                },
                [&](const Class& node) {
                  bind(node.declaration.name, Span(node.declaration.span), StatementBinding::Class);
                },
                [&](const Trait& node) {
                  bind(node.declaration.name, Span(node.declaration.span), StatementBinding::Trait);
                },
                [&](const Import& node) {
                  for (const auto& specifier : node.specifiers)
                    bind(specifier.local_name, Span(specifier.span), StatementBinding::Import);
                },
                [](const auto&) {}},
      statement.node());
}

// A function, class or trait is bound before its body is walked, so the body sees its name.
inline bool sees_own_name(const Statement& statement) {
  return statement.is<FunctionDeclaration>() || statement.is<Class>() || statement.is<Trait>();
}

}  // namespace tolu::ast
