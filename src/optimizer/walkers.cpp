// The four walkers of one sweep. Each goes through a node's children first, in the order of the
// shared traversal unless noted, then does the node's own work: the hooks of the passes that
// apply to it, each guarded by its pass.
#include <string_view>
#include <unordered_set>
#include <utility>
#include <vector>

#include "optimizer/optimizer_internal.h"
#include "syntax_tree/operator_nodes.h"
#include "tolu/children.h"

namespace tolu::optimizer {
namespace {

using namespace ast;

// A statement after which nothing in the same list runs.
bool ends_control_flow(const Statement& statement) {
  return statement.is<Return>() || statement.is<LoopControl>() || statement.is<Throw>() ||
         statement.is<Die>();
}

// The key of one switch value, or nothing when the value cannot be indexed.
std::optional<std::string> switch_key(const Expression& value) {
  if (const auto* number = value.as<NumberLiteral>()) {
    const std::optional<double> read = read_number(number->text);
    // A NaN equals no discriminant, so no key can stand for it.
    if (!read || *read != *read) return std::nullopt;
    return "f:" + shortest_number_text(*read);
  }
  if (const auto* string = value.as<StringLiteral>()) return "s:" + std::string(string->value);
  if (const auto* boolean = value.as<BooleanLiteral>()) {
    return boolean->value ? "b:true" : "b:false";
  }
  if (value.is<NullLiteral>()) return "n:";
  return std::nullopt;
}

// The index from each value's key to the number of its case, when every value has a key of its
// own; nothing otherwise, or when there are no values.
std::optional<List<SwitchIndexEntry>> switch_case_index(const Switch& node,
                                                        const Builder& builder) {
  if (node.comparator && *node.comparator != "≡" && *node.comparator != "=") return std::nullopt;
  std::vector<SwitchIndexEntry> entries;
  std::unordered_set<std::string> seen;
  for (std::size_t number = 0; number < node.cases.size(); ++number) {
    for (const Expression& value : node.cases[number].values) {
      std::optional<std::string> key = switch_key(value);
      if (!key || !seen.insert(*key).second) return std::nullopt;
      entries.push_back(SwitchIndexEntry{builder.text(*key), number, NodeSpan(value.span())});
    }
  }
  if (entries.empty()) return std::nullopt;
  return builder.list(entries);
}

// Operators written in their preferred spelling. The identity stays: every spelling of an
// operator names the same one.
template <class OperatorNode>
void prefer_spelling(OperatorNode& node, const Builder& builder) {
  const std::string_view preferred = preferred_operator(node.op);
  if (preferred != node.op.view()) set_operator(node, preferred, builder.storage());
}

}  // namespace

// ---- Statement lists ------------------------------------------------------------------------

void Optimizer::optimize_statements(List<Statement>& statements) {
  const bool prune = enabled(OptimizerPass::ConstantConditions);
  const bool cut = enabled(OptimizerPass::UnreachableCode);
  if (!prune && !cut) {
    for (Statement& statement : statements) optimize_statement(statement);
    return;
  }
  std::vector<Statement> out;
  out.reserve(statements.size());
  bool changed = false;
  std::size_t visited = 0;
  for (Statement& statement : statements) {
    ++visited;
    optimize_statement(statement);
    if (prune) {
      changed |= append_replacements(statement, out);
    } else {
      out.push_back(std::move(statement));
    }
    if (cut && !out.empty() && ends_control_flow(out.back())) break;
  }
  changed |= visited < statements.size();
  if (changed) {
    statements = builder_.list(std::move(out));
  } else {
    // Every statement stayed in its place: no new list is needed.
    for (std::size_t i = 0; i < out.size(); ++i) statements[i] = std::move(out[i]);
  }
}

bool Optimizer::append_replacements(Statement& statement, std::vector<Statement>& out) {
  if (auto* postfix = statement.as<PostfixConditional>()) {
    auto& node = postfix->statement;
    if (const auto* literal = node.condition.as<BooleanLiteral>()) {
      const bool negated = node.keyword != "if";
      if (negated != literal->value) out.push_back(std::move(node.statement));
      return true;
    }
  } else if (const auto* loop = statement.as<While>()) {
    const auto* literal = loop->condition.as<BooleanLiteral>();
    if (literal && !literal->value) return true;
  } else if (auto* branch = statement.as<If>()) {
    if (const auto* literal = branch->condition.as<BooleanLiteral>()) {
      if (!literal->value) {
        if (branch->else_branch) out.push_back(std::move(*branch->else_branch));
      } else if (block_needs_lexical_scope(branch->then_block.statements)) {
        // The block declares names: it keeps a scope of its own.
        out.push_back(builder_.statement(Block{std::move(branch->then_block)}, statement.span()));
      } else {
        for (Statement& inner : branch->then_block.statements) out.push_back(std::move(inner));
      }
      return true;
    }
  }
  out.push_back(std::move(statement));
  return false;
}

// ---- Statements -----------------------------------------------------------------------------

template <class Node>
void Optimizer::optimize_children(Node& node) {
  for_each_child(node, Overloads{[&](Expression& e) { optimize_expression(e); },
                                 [&](Statement& s) { optimize_statement(s); },
                                 [&](BlockStatement& b) { optimize_body(b); },
                                 [&](ClassMember& m) { optimize_class_member(m); },
                                 // Default values of parameters are left as written.
                                 [&](List<Parameter>&) {}});
}

void Optimizer::optimize_body(BlockStatement& block) {
  optimize_statements(block.statements);
  if (enabled(OptimizerPass::LexicalScopes)) {
    block.needs_lexical_scope = block_needs_lexical_scope(block.statements);
  }
}

void Optimizer::optimize_statement(Statement& statement) {
  if (auto* node = statement.as<Switch>()) {
    optimize_switch(*node);
  } else if (auto* declaration = statement.as<DestructuringDeclaration>()) {
    optimize_destructuring(*declaration);
  } else if (auto* postfix = statement.as<PostfixConditional>()) {
    // The wrapped statement before its condition.
    optimize_statement(postfix->statement.statement);
    optimize_expression(postfix->statement.condition);
  } else {
    optimize_children(statement);
  }
  apply_loop_step(statement);
}

void Optimizer::optimize_destructuring(DestructuringDeclaration& node) {
  optimize_expression(node.initializer);
  for (DeclarationBindingEntry& entry : node.pattern.entries) {
    if (Expression* key = key_expression(entry.key)) optimize_expression(*key);
    if (entry.default_value) optimize_expression(*entry.default_value);
  }
}

void Optimizer::optimize_switch(Switch& node) {
  optimize_expression(node.discriminant);
  if (node.comparator) {
    const std::string_view preferred = preferred_operator(*node.comparator);
    if (preferred != node.comparator->view()) node.comparator = builder_.name(preferred);
  }
  for (SwitchCase& clause : node.cases) {
    for (Expression& value : clause.values) optimize_expression(value);
    optimize_statements(clause.body);
  }
  if (node.default_body) optimize_statements(*node.default_body);
  if (enabled(OptimizerPass::SwitchIndex)) node.case_index = switch_case_index(node, builder_);
}

void Optimizer::apply_loop_step(Statement& statement) {
  if (!enabled(OptimizerPass::RangeLoopLowering)) return;
  if (std::optional<Statement> replacement = lower_range_array_loop(statement, builder_)) {
    optimize_statement(*replacement);
    replacement->set_span(statement.span());
    statement = std::move(*replacement);
  }
}

void Optimizer::optimize_class_member(ClassMember& member) {
  optimize_children(member);
}

// ---- Expressions ----------------------------------------------------------------------------

void Optimizer::optimize_expression(Expression& expression) {
  optimize_children(expression);
  annotate_node(expression);
  apply_pipeline_step(expression);
  apply_folding_step(expression);
}

void Optimizer::annotate_node(Expression& expression) {
  const auto capacity = [&](auto& literal) {
    if (enabled(OptimizerPass::CapacityHints)) {
      literal.capacity_hint = collection_element_capacity_hint(literal.elements);
    }
  };
  const auto entry_count = [&](auto& literal) {
    if (enabled(OptimizerPass::CapacityHints)) literal.capacity_hint = literal.entries.size();
  };
  const auto canonical = [&](auto& node) {
    if (enabled(OptimizerPass::CanonicalOperators)) prefer_spelling(node, builder_);
  };
  visit_node(Overloads{[&](RegexLiteral& regex) {
                         if (regex.parts.empty() && enabled(OptimizerPass::RegexCacheKeys)) {
                           regex.cache_key =
                               builder_.text(regex_cache_key(regex.pattern, regex.flags));
                         }
                       },
                       [&](ArrayLiteral& literal) { capacity(literal); },
                       [&](SetLiteral& literal) { capacity(literal); },
                       [&](BagLiteral& literal) { capacity(literal); },
                       [&](DictLiteral& literal) { entry_count(literal); },
                       [&](PairListLiteral& literal) { entry_count(literal); },
                       [&](UnaryExpression& node) {
                         // The prefix backslash is a reference, not the set difference.
                         if (node.op != "\\") canonical(node);
                       },
                       [&](BinaryExpression& node) { canonical(node); },
                       [&](AssignmentExpression& node) { canonical(node); },
                       [&](PostfixExpression& node) { canonical(node); }, [](auto&) {}},
             expression.node());
}

void Optimizer::apply_pipeline_step(Expression& expression) {
  if (enabled(OptimizerPass::PipelineLowering)) lower_pipeline_chain(expression);
}

void Optimizer::apply_folding_step(Expression& expression) {
  if (!enabled(OptimizerPass::ConstantFolding)) return;
  if (std::optional<Expression> folded = fold_expression(expression, builder_)) {
    expression = std::move(*folded);
  }
}

}  // namespace tolu::optimizer
