// The hints the optimizer writes for the evaluator: whether a block opens a scope, how many
// elements a collection literal holds, the cache key of a regular expression and how far out
// each identifier's binding lives.
#include <cmath>
#include <cstdint>
#include <limits>

#include "optimizer/optimizer_internal.h"
#include "syntax_tree/statement_bindings.h"
#include "tolu/children.h"

namespace tolu::optimizer {
namespace {

using namespace ast;

// A number truncated toward zero and held in a signed 64-bit integer, saturating at both ends;
// a NaN gives 0.
std::int64_t saturated_integer(double value) {
  if (std::isnan(value)) return 0;
  const double truncated = std::trunc(value);
  // 2^63 is the first double above the range.
  if (truncated >= 9223372036854775808.0) return std::numeric_limits<std::int64_t>::max();
  if (truncated < -9223372036854775808.0) return std::numeric_limits<std::int64_t>::min();
  return static_cast<std::int64_t>(truncated);
}

// |b - a| computed without overflow.
std::uint64_t distance(std::int64_t a, std::int64_t b) {
  const auto ua = static_cast<std::uint64_t>(a);
  const auto ub = static_cast<std::uint64_t>(b);
  return a <= b ? ub - ua : ua - ub;
}

// The elements a range element "a ... b" of number literals expands to, or 1 for any other.
std::uint64_t element_count(const Expression& element) {
  const auto* range = element.as<BinaryExpression>();
  if (!range || range->op != "...") return 1;
  const std::optional<double> from = literal_number(range->left);
  const std::optional<double> to = literal_number(range->right);
  if (!from || !to) return 1;
  const std::uint64_t span = distance(saturated_integer(*from), saturated_integer(*to));
  // A full span of 2^64 values saturates too.
  return span == std::numeric_limits<std::uint64_t>::max() ? span : span + 1;
}

}  // namespace

// ---- Lexical scopes -------------------------------------------------------------------------

bool block_needs_lexical_scope(const List<Statement>& statements) {
  for (const Statement& statement : statements) {
    const bool declares = visit_node(
        Overloads{[](const VariableDeclaration&) { return true; },
                  [](const DestructuringDeclaration&) { return true; },
                  [](const FunctionDeclaration&) { return true; },
                  [](const Class&) { return true; }, [](const Trait&) { return true; },
                  [](const Import&) { return true; },
                  [](const Return& node) {
                    return node.value && expression_declares_binding(*node.value);
                  },
                  [](const Throw& node) { return expression_declares_binding(node.value); },
                  [](const Die& node) { return expression_declares_binding(node.value); },
                  [](const ExpressionStatement& node) {
                    return expression_declares_binding(node.expression);
                  },
                  [](const Output& node) {
                    for (const Expression& argument : node.arguments) {
                      if (expression_declares_binding(argument)) return true;
                    }
                    return false;
                  },
                  [](const auto&) { return false; }},
        statement.node());
    if (declares) return true;
  }
  return false;
}

bool expression_declares_binding(const Expression& expression) {
  if (expression.is<DeclarationExpression>()) return true;
  bool declares = false;
  for_each_child(expression,
                 Overloads{[&](const Expression& child) {
                             declares = declares || expression_declares_binding(child);
                           },
                           // A statement body: a function's, or that of try, do, await or spawn.
                           [&](const BlockStatement& body) {
                             declares = declares || block_needs_lexical_scope(body.statements);
                           },
                           // Catch bodies and default values of parameters are not looked into.
                           [](const List<CatchClause>&) {}, [](const List<Parameter>&) {}});
  return declares;
}

// ---- Capacity hints and cache keys ----------------------------------------------------------

std::uint64_t collection_element_capacity_hint(const List<Expression>& elements) {
  std::uint64_t total = 0;
  for (const Expression& element : elements) {
    const std::uint64_t count = element_count(element);
    total = count > std::numeric_limits<std::uint64_t>::max() - total
                ? std::numeric_limits<std::uint64_t>::max()
                : total + count;
  }
  return total;
}

std::string regex_cache_key(std::string_view pattern, std::string_view flags) {
  std::string key = std::to_string(pattern.size());
  key += ':';
  key += pattern;
  key += ':';
  key += flags;
  return key;
}

// ---- Identifier resolution ------------------------------------------------------------------

ResolutionScopes::ResolutionScopes(const NameTable& names) : names_(names) {
  table_.push_scope();
}

Name ResolutionScopes::own(Name name) const {
  if (!name.present() || name.table() == &names_) return name;
  return names_.find(name.view());
}

void ResolutionScopes::declare(Name name) {
  const Name key = own(name);
  if (key.present()) table_.declare(key, true);
}

void ResolutionScopes::declare(std::string_view spelling) {
  declare(names_.find(spelling));
}

std::optional<std::uint64_t> ResolutionScopes::depth_of(Name name) const {
  const Name key = own(name);
  if (!key.present()) return std::nullopt;
  const auto [bound, scope] = table_.find(key);
  if (!bound) return std::nullopt;
  return table_.depth() - 1 - scope;
}

namespace {

// The names a statement binds in the scope that holds it, from the statement after it on.
void declare_statement_names(const Statement& statement, ResolutionScopes& scopes) {
  for_each_statement_binding(statement,
                             [&](Name name, Span, StatementBinding) { scopes.declare(name); });
}

// The statements of a function or method body, in one scope with the parameters (and `self` in
// a method). Default values of parameters are not resolved.
void annotate_function_body(const List<Parameter>& parameters, List<Statement>& body,
                            ResolutionScopes& scopes, bool is_method = false) {
  OpenScope scope(scopes);
  for (const Parameter& parameter : parameters) scopes.declare(parameter.name);
  if (is_method) scopes.declare(std::string_view("self"));
  annotate_statements(body, scopes);
}

// A catch body shares one scope with its binding.
void annotate_catch_clauses(List<CatchClause>& catches, ResolutionScopes& scopes) {
  for (CatchClause& clause : catches) {
    OpenScope scope(scopes);
    if (clause.binding) scopes.declare(clause.binding->name);
    annotate_statements(clause.body.statements, scopes);
  }
}

// A statement list in a scope of its own, whatever flags say: switch cases and loop bodies.
void annotate_in_scope(List<Statement>& statements, ResolutionScopes& scopes,
                       std::optional<Name> bound = std::nullopt) {
  OpenScope scope(scopes);
  if (bound) scopes.declare(*bound);
  annotate_statements(statements, scopes);
}

// The sub-expressions of an expression that binds nothing, in the order of the tree.
template <class Node>
void annotate_sub_expressions(Node& node, ResolutionScopes& scopes) {
  for_each_child(node, Overloads{[&](Expression& child) { annotate_expression(child, scopes); },
                                 [](List<Parameter>&) {}});
}

}  // namespace

void annotate_statements(List<Statement>& statements, ResolutionScopes& scopes) {
  for (Statement& statement : statements) {
    if (sees_own_name(statement)) declare_statement_names(statement, scopes);
    annotate_statement(statement, scopes);
    declare_statement_names(statement, scopes);
  }
}

void annotate_block(BlockStatement& block, ResolutionScopes& scopes) {
  if (!block.needs_lexical_scope) return annotate_statements(block.statements, scopes);
  OpenScope scope(scopes);
  annotate_statements(block.statements, scopes);
}

void annotate_statement(Statement& statement, ResolutionScopes& scopes) {
  const auto expression = [&](Expression& node) { annotate_expression(node, scopes); };
  const auto members = [&](List<ClassMember>& list) {
    for (ClassMember& member : list) annotate_class_member(member, scopes);
  };
  visit_node(Overloads{[&](Block& node) { annotate_block(node.block, scopes); },
                       [&](VariableDeclaration& node) {
                         if (node.initializer) expression(*node.initializer);
                       },
                       [&](DestructuringDeclaration& node) {
                         expression(node.initializer);
                         for (DeclarationBindingEntry& entry : node.pattern.entries) {
                           if (Expression* key = key_expression(entry.key)) expression(*key);
                           if (entry.default_value) expression(*entry.default_value);
                         }
                       },
                       [&](FunctionDeclaration& node) {
                         annotate_function_body(node.parameters, node.body.statements, scopes);
                       },
                       [&](Class& node) { members(node.declaration.members); },
                       [&](Trait& node) { members(node.declaration.members); },
                       [&](Import& node) {
                         if (node.condition) expression(node.condition->condition);
                       },
                       [&](If& node) {
                         expression(node.condition);
                         annotate_block(node.then_block, scopes);
                         if (node.else_branch) annotate_statement(*node.else_branch, scopes);
                       },
                       [&](While& node) {
                         expression(node.condition);
                         annotate_block(node.body, scopes);
                       },
                       [&](For& node) {
                         expression(node.iterable);
                         annotate_in_scope(node.body.statements, scopes, node.variable);
                         if (node.else_block) annotate_block(*node.else_block, scopes);
                       },
                       [&](Switch& node) {
                         expression(node.discriminant);
                         for (SwitchCase& clause : node.cases) {
                           for (Expression& value : clause.values) expression(value);
                           annotate_in_scope(clause.body, scopes);
                         }
                         if (node.default_body) annotate_in_scope(*node.default_body, scopes);
                       },
                       [&](Try& node) {
                         annotate_block(node.body, scopes);
                         annotate_catch_clauses(node.catches, scopes);
                       },
                       [&](Return& node) {
                         if (node.value) expression(*node.value);
                       },
                       [](LoopControl&) {}, [&](Throw& node) { expression(node.value); },
                       [&](Die& node) { expression(node.value); },
                       [&](ExpressionStatement& node) { expression(node.expression); },
                       [&](PostfixConditional& node) {
                         annotate_statement(node.statement.statement, scopes);
                         expression(node.statement.condition);
                       },
                       [&](Output& node) {
                         for (Expression& argument : node.arguments) expression(argument);
                       }},
             statement.node());
}

void annotate_class_member(ClassMember& member, ResolutionScopes& scopes) {
  const auto members = [&](List<ClassMember>& list) {
    for (ClassMember& inner : list) annotate_class_member(inner, scopes);
  };
  visit_node(Overloads{[&](Method& node) {
                         annotate_function_body(node.declaration.parameters,
                                                node.declaration.body.statements, scopes, true);
                       },
                       [&](NestedClass& node) { members(node.declaration.members); },
                       [&](NestedTrait& node) { members(node.declaration.members); },
                       [&](Field& node) {
                         if (node.declaration.initializer) {
                           annotate_expression(*node.declaration.initializer, scopes);
                         }
                       }},
             member.node);
}

void annotate_expression(Expression& expression, ResolutionScopes& scopes) {
  visit_node(Overloads{[&](Identifier& node) { node.resolved_depth = scopes.depth_of(node.name); },
                       [&](LambdaExpression& node) {
                         OpenScope scope(scopes);
                         for (const Parameter& parameter : node.parameters) {
                           scopes.declare(parameter.name);
                         }
                         annotate_expression(node.body, scopes);
                       },
                       [&](FunctionExpression& node) {
                         annotate_function_body(node.parameters, node.body.statements, scopes);
                       },
                       [&](DeclarationExpression& node) {
                         if (node.initializer) annotate_expression(*node.initializer, scopes);
                         scopes.declare(node.name);
                       },
                       [&](TryExpression& node) {
                         annotate_block(node.body, scopes);
                         annotate_catch_clauses(node.catches, scopes);
                       },
                       [&](DoExpression& node) { annotate_block(node.body, scopes); },
                       [&](AwaitExpression& node) { annotate_block(node.body, scopes); },
                       [&](SpawnExpression& node) { annotate_block(node.body, scopes); },
                       [&](auto& node) { annotate_sub_expressions(node, scopes); }},
             expression.node());
}

}  // namespace tolu::optimizer
