// What the optimizer's files share: the walkers, the literal helpers and folding, constant
// propagation, loop lowering and placeholder substitution, and the annotation passes.
//
// Every function that makes nodes takes the Builder of the program's storage; nodes are never
// copied but through clone().
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "base/scoped_table.h"
#include "optimizer/constant_scopes.h"
#include "tolu/builder.h"
#include "tolu/passes.h"
#include "tolu/syntax_tree.h"

namespace tolu::optimizer {

using ast::BlockStatement;
using ast::Builder;
using ast::CallArgument;
using ast::ClassMember;
using ast::Expression;
using ast::Line;
using ast::SourceFile;
using ast::Statement;
using ast::TypeName;

// ---- The walkers (walkers.cpp) --------------------------------------------------------------

// One sweep over a program with one pass set. The walkers rewrite in place, children first,
// then the node's own work; each pass is consulted by membership where it applies.
class Optimizer {
 public:
  Optimizer(const PassSet& passes, const Builder& builder) : passes_(passes), builder_(builder) {}

  // May remove statements, splice in others and cut the list short.
  void optimize_statements(List<Statement>& statements);
  // May replace the statement by another one, never by nothing.
  void optimize_statement(Statement& statement);
  // May replace the expression by another one.
  void optimize_expression(Expression& expression);
  void optimize_class_member(ClassMember& member);
  // The statements of a block, then its lexical-scope flag.
  void optimize_body(BlockStatement& block);

 private:
  bool enabled(OptimizerPass pass) const { return passes_.contains(pass); }

  template <class Node>
  void optimize_children(Node& node);
  void optimize_switch(ast::Switch& node);
  void optimize_destructuring(ast::DestructuringDeclaration& node);
  void apply_loop_step(Statement& statement);
  void annotate_node(Expression& expression);
  void apply_pipeline_step(Expression& expression);
  void apply_folding_step(Expression& expression);
  // What a statement becomes when its condition is a boolean literal: itself, nothing, or the
  // statements spliced in its place. Appends them to `out`; false when it appended anything but
  // the statement itself.
  bool append_replacements(Statement& statement, std::vector<Statement>& out);

  const PassSet& passes_;
  Builder builder_;
};

// ---- Literal helpers and folding (literals.cpp, folding.cpp) ---------------------------------

// A three-valued answer: true, false, or nothing (undecided: do not fold).
using Truth = std::optional<bool>;

// The value of a decimal number text; nothing when the whole text does not read as one.
std::optional<double> read_number(std::string_view text);
// A number written by the number text rule: every digit of an integral value ("-0" included),
// the shortest round-trip positional form of a fraction, "inf", "-inf" and "NaN".
std::string number_text(double value);
// The shortest decimal form that reads back to `value`, without exponent (1.0 gives "1").
std::string shortest_number_text(double value);

Truth literal_truth(const Expression& expression);
Truth literal_eq(const Expression& left, const Expression& right);
std::optional<double> literal_number(const Expression& expression);
// The text of a literal as it takes part in string operations.
std::optional<std::string_view> literal_render(const Expression& expression);
Expression number_literal(Line line, const SourceFile& source_file, const TypeName& inferred_type,
                          double value, const Builder& builder);
// Owns `left` and `right`; no inferred type.
Expression binary_expression(Line line, const SourceFile& source_file, std::string_view op,
                             Expression left, Expression right, const Builder& builder);
// The preferred spelling of an operator text, or the text itself when it has none.
std::string_view preferred_operator(std::string_view op);

// The literal an operator expression, a template or a ternary over literals evaluates to.
// Looks at the node and its direct operands only; the argument is only read.
std::optional<Expression> fold_expression(const Expression& expression, const Builder& builder);

// ---- Constant propagation (propagation.cpp, constant_scopes.cpp) ---------------------------

void propagate_constants_statements(List<Statement>& statements, ConstantScopes& scopes,
                                    const Builder& builder);
void propagate_constants_statement(Statement& statement, ConstantScopes& scopes,
                                   const Builder& builder);
void propagate_constants_block(BlockStatement& block, ConstantScopes& scopes,
                               const Builder& builder);
// `in_target`: the expression is (the base of) an assignment or increment target, or the
// operand of the reference operator; it is then neither replaced nor folded.
void propagate_constants_expression(Expression& expression, ConstantScopes& scopes, bool in_target,
                                    const Builder& builder);
// A field initializer sees no constant from outside; methods are not visited.
void propagate_constants_class_member(ClassMember& member, ConstantScopes& scopes,
                                      const Builder& builder);
// The value of "~=": only the pattern left of "->" is processed; what the rest assigns is
// forgotten.
void propagate_regex_replacement_pattern(Expression& value, ConstantScopes& scopes,
                                         const Builder& builder);

// Forgets the variable an assignment target writes: the identifier reached through the left
// operand of a path and the object of a member, index, slice or dict access.
void forget_lvalue_constants(ConstantScopes& scopes, const Expression& target);

// ---- Range-array loops and the chain placeholder (lowering.cpp) -----------------------------

// A block that counts with a `while` loop in place of a `for` over a one-element range array
// (`for (let i in [a ... b])`), or nothing. The loop's parts move into the replacement, which
// must take the loop's place.
std::optional<Statement> lower_range_array_loop(Statement& statement, const Builder& builder);
// A declaration with no type annotation, not weak, type check unknown.
Statement variable_statement(Line line, const SourceFile& source_file, std::string_view kind,
                             std::string_view name, std::optional<Expression> initializer,
                             const Builder& builder);

// Every name that code mentions or declares: identifiers, member names, declared names of all
// kinds, parameters, catch bindings, import names and dict key names.
using NameSet = std::unordered_set<std::string_view>;
void collect_statement_identifiers(const Statement& statement, NameSet& names);
void collect_expression_identifiers(const Expression& expression, NameSet& names);
void collect_class_member_identifiers(const ClassMember& member, NameSet& names);

enum class ChainDirection : std::uint8_t { Right, Left };

// Flattens a pipeline chain running in `direction` into its head and its parts (copies).
// False for a chain that mixes directions, or when `head` is set already.
bool collect_chain_parts(const Expression& expression, ChainDirection direction,
                         std::optional<Expression>& head, std::vector<Expression>& parts,
                         const Builder& builder);

// How a chain part uses the placeholder "^^".
struct HereUsage {
  std::uint64_t direct_uses = 0;
  std::uint64_t nested_uses = 0;  // in lambda bodies; one per function expression that uses it
  bool unsupported = false;       // a node the substitution cannot see through
  bool substitutable() const { return direct_uses == 1 && nested_uses == 0 && !unsupported; }
};
void collect_here_usage(const Expression& expression, bool nested, HereUsage& usage);
// Whether the placeholder occurs anywhere in the statement.
bool statement_contains_here(const Statement& statement);
// A copy of `expression` with each placeholder replaced by a copy of `value`.
Expression substitute_here(const Expression& expression, const Expression& value,
                           const Builder& builder);
CallArgument substitute_call_argument(const CallArgument& argument, const Expression& value,
                                      const Builder& builder);
// Rewrites a pipeline chain whose every part uses the placeholder once into nested calls,
// `a |> f(^^) |> g(^^, 2)` into `g(f(a), 2)`, out of the chain's own nodes. False, with the
// chain untouched, for anything else.
bool lower_pipeline_chain(Expression& expression);

// ---- Annotations (annotations.cpp) ----------------------------------------------------------

// Whether running the statements must open a scope: one of them declares a name.
bool block_needs_lexical_scope(const List<Statement>& statements);
bool expression_declares_binding(const Expression& expression);
// The number of elements a collection literal holds once its ranges are expanded.
std::uint64_t collection_element_capacity_hint(const List<Expression>& elements);
// "{pattern length in bytes}:{pattern}:{flags}".
std::string regex_cache_key(std::string_view pattern, std::string_view flags);

// The scopes of identifier resolution, innermost last: the names bound in each. Names are those
// of one tree's table; a name from another table is looked up there by its spelling.
class ResolutionScopes {
 public:
  // One empty scope, the outermost.
  explicit ResolutionScopes(const NameTable& names);

  void push_scope() { table_.push_scope(); }
  void pop_scope() { table_.pop_scope(); }
  void declare(Name name);
  // A spelling that no node of the tree uses is not entered.
  void declare(std::string_view spelling);
  // How many scopes out from the innermost the name is bound, or nothing.
  std::optional<std::uint64_t> depth_of(Name name) const;

 private:
  Name own(Name name) const;

  const NameTable& names_;
  ScopedTable<bool, Name> table_;
};

void annotate_statements(List<Statement>& statements, ResolutionScopes& scopes);
void annotate_statement(Statement& statement, ResolutionScopes& scopes);
void annotate_block(BlockStatement& block, ResolutionScopes& scopes);
void annotate_expression(Expression& expression, ResolutionScopes& scopes);
void annotate_class_member(ClassMember& member, ResolutionScopes& scopes);

}  // namespace tolu::optimizer
