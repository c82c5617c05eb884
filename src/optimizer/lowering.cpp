// Range-array loops lowered to counting loops, and pipeline chains to nested calls through the
// placeholder "^^".
#include <algorithm>
#include <array>
#include <string>
#include <utility>

#include "optimizer/optimizer_internal.h"
#include "syntax_tree/operator_nodes.h"
#include "tolu/children.h"
#include "tolu/clone.h"

namespace tolu::optimizer {
namespace {

using namespace ast;

constexpr std::string_view kPlaceholder = "^^";

bool is_placeholder(const Expression& expression) {
  const auto* identifier = expression.as<Identifier>();
  return identifier && identifier->name == kPlaceholder;
}

// ---- Range-array loops ----------------------------------------------------------------------

// The variables a lowered loop declares for itself.
struct RangeLoopNames {
  std::string current;
  std::string end;
  std::string step;
  std::string seen;
  std::array<const std::string*, 4> all() const { return {&current, &end, &step, &seen}; }
};

RangeLoopNames range_loop_names(const For& loop) {
  const std::string base =
      "__tolu_range_" + std::to_string(loop.line) + "_" + std::string(loop.variable.view());
  return {base + "_current", base + "_end", base + "_step", base + "_seen"};
}

// A bound that can be read once before the loop: a name or a number.
bool is_plain_bound(const Expression& bound) {
  return bound.is<Identifier>() || bound.is<NumberLiteral>();
}

// The range `start ... end` that makes up the whole iterable, or null.
BinaryExpression* iterated_range(For& loop) {
  auto* array = loop.iterable.as<ArrayLiteral>();
  if (!array || array->elements.size() != 1) return nullptr;
  auto* range = array->elements[0].as<BinaryExpression>();
  if (!range || range->op != "...") return nullptr;
  if (!is_plain_bound(range->left) || !is_plain_bound(range->right)) return nullptr;
  return range;
}

// Whether the loop mentions one of the names. A spelling that was never interned occurs nowhere
// in the tree, which spares the walk in almost every case.
bool mentions_any(const Statement& loop, const RangeLoopNames& names, const NameTable& table) {
  const auto spellings = names.all();
  const auto interned = [&](const std::string* name) { return table.find(*name).present(); };
  if (std::none_of(spellings.begin(), spellings.end(), interned)) return false;
  NameSet found;
  collect_statement_identifiers(loop, found);
  return std::any_of(spellings.begin(), spellings.end(),
                     [&](const std::string* name) { return found.contains(*name); });
}

// Makes the nodes of one lowered loop, every one at the loop's line and in its file.
class LoopNodes {
 public:
  LoopNodes(const For& loop, const Builder& builder)
      : line_(loop.line), file_(loop.source_file), b_(builder) {}

  Expression name(std::string_view name) const {
    return b_.expression(Identifier{b_.name(name), std::nullopt}, line_, file_);
  }
  Expression number(std::string_view text) const {
    return b_.expression(NumberLiteral{b_.text(text)}, line_, file_);
  }
  Expression boolean(bool value) const {
    return b_.expression(BooleanLiteral{value}, line_, file_);
  }
  Expression binary(std::string_view op, Expression left, Expression right) const {
    return binary_expression(line_, file_, op, std::move(left), std::move(right), b_);
  }
  Expression unary(std::string_view op, Expression operand) const {
    UnaryExpression node;
    set_operator(node, op, b_.storage());
    node.operand = std::move(operand);
    return b_.expression(std::move(node), line_, file_);
  }
  Expression ternary(Expression condition, Expression then_branch, Expression else_branch) const {
    return b_.expression(
        TernaryExpression{std::move(condition), std::move(then_branch), std::move(else_branch)},
        line_, file_);
  }
  Expression assignment(std::string_view op, std::string_view target, Expression value) const {
    AssignmentExpression node;
    set_operator(node, op, b_.storage());
    node.target = name(target);
    node.value = std::move(value);
    return b_.expression(std::move(node), line_, file_);
  }
  Statement declaration(std::string_view kind, std::string_view name, Expression value) const {
    return variable_statement(line_, file_, kind, name, std::move(value), b_);
  }
  Statement statement(Expression expression) const {
    return b_.statement(ExpressionStatement{std::move(expression), file_, line_});
  }
  BlockStatement block(std::vector<Statement> statements) const {
    return BlockStatement{b_.list(std::move(statements)), file_, line_, true};
  }
  Statement while_loop(Expression condition, BlockStatement body) const {
    return b_.statement(While{std::move(condition), std::move(body), file_, line_});
  }
  Statement if_then(Expression condition, BlockStatement then_block) const {
    return b_.statement(
        If{std::move(condition), std::move(then_block), std::nullopt, file_, line_});
  }

 private:
  Line line_;
  SourceFile file_;
  const Builder& b_;
};

// (step > 0 ⋀ current ≤ end) ⋁ (step < 0 ⋀ current ≥ end): the counter has not passed the end
// in the direction it runs.
Expression counting_condition(const LoopNodes& make, const RangeLoopNames& names) {
  Expression upward = make.binary("⋀", make.binary(">", make.name(names.step), make.number("0")),
                                  make.binary("≤", make.name(names.current), make.name(names.end)));
  Expression downward =
      make.binary("⋀", make.binary("<", make.name(names.step), make.number("0")),
                  make.binary("≥", make.name(names.current), make.name(names.end)));
  return make.binary("⋁", std::move(upward), std::move(downward));
}

// The body of the counting loop: the seen flag, the loop variable, the increment, then the
// loop's own statements. The increment comes first, so that `next` cannot skip it.
BlockStatement counting_body(For& loop, const LoopNodes& make, const RangeLoopNames& names) {
  std::vector<Statement> body;
  body.reserve(loop.body.statements.size() + 3);
  if (loop.else_block)
    body.push_back(make.statement(make.assignment(":=", names.seen, make.boolean(true))));
  const std::string_view kind = loop.binding_kind ? loop.binding_kind->view() : "let";
  body.push_back(make.declaration(kind, loop.variable, make.name(names.current)));
  body.push_back(make.statement(make.assignment("+=", names.current, make.name(names.step))));
  for (Statement& statement : loop.body.statements) body.push_back(std::move(statement));
  return make.block(std::move(body));
}

// ---- Identifier collection --------------------------------------------------------------------

// The names a node mentions or declares itself, apart from those of its children.
struct OwnNames {
  NameSet& names;

  void add(Name name) { names.insert(name.view()); }
  void operator()(const Identifier& node) { add(node.name); }
  void operator()(const MemberExpression& node) { add(node.name); }
  void operator()(const DeclarationExpression& node) { add(node.name); }
  void operator()(const VariableDeclaration& node) { add(node.name); }
  void operator()(const FunctionDeclaration& node) { add(node.name); }
  void operator()(const For& node) { add(node.variable); }
  void operator()(const Parameter& node) { add(node.name); }
  void operator()(const CatchBinding& node) { add(node.name); }
  void operator()(const DeclarationBindingEntry& node) { add(node.name); }
  void operator()(const ClassDeclaration& node) { add(node.name); }
  void operator()(const TraitDeclaration& node) { add(node.name); }
  void operator()(const MethodDeclaration& node) { add(node.name); }
  void operator()(const FieldDeclaration& node) { add(node.name); }
  void operator()(const NameKey& node) { add(node.name); }
  void operator()(const ImportSpecifier& node) {
    add(node.name);
    add(node.local_name);
  }
  template <class Other>
  void operator()(const Other&) {}
};

// Every name in a subtree: each node's own names, then its children's.
struct IdentifierCollector {
  OwnNames own;

  template <class Node>
  void take(const Node& node) {
    own(node);
    for_each_child(node, *this);
  }
  template <class Tagged>
  void take_variant(const Tagged& node) {
    visit_node(own, node.node());
    for_each_child(node, *this);
  }

  void operator()(const Expression& node) { take_variant(node); }
  void operator()(const Statement& node) { take_variant(node); }
  void operator()(const DictKey& key) {
    std::visit(own, key.node);
    for_each_child(key, *this);
  }
  void operator()(const Parameter& node) { take(node); }
  void operator()(const CatchBinding& node) { take(node); }
  void operator()(const DeclarationBindingEntry& node) { take(node); }
  void operator()(const ClassDeclaration& node) { take(node); }
  void operator()(const TraitDeclaration& node) { take(node); }
  void operator()(const MethodDeclaration& node) { take(node); }
  void operator()(const FieldDeclaration& node) { take(node); }
  void operator()(const ImportSpecifier& node) { take(node); }
};

// ---- Pipeline chains --------------------------------------------------------------------------

std::optional<ChainDirection> pipe_direction(const Expression& expression) {
  const auto* binary = expression.as<BinaryExpression>();
  if (!binary) return std::nullopt;
  if (binary->op_id == OperatorId::PipeRight) return ChainDirection::Right;
  if (binary->op_id == OperatorId::PipeLeft) return ChainDirection::Left;
  return std::nullopt;
}

// The head and the parts of a chain running in `direction`, as places in the chain, the parts
// in the order the value flows through them. False when the chain also pipes the other way, or
// when `head` was set already.
template <class E>
bool chain_places(E& expression, ChainDirection direction, E*& head, std::vector<E*>& parts) {
  const std::optional<ChainDirection> pipe = pipe_direction(expression);
  if (!pipe) {
    if (head) return false;
    head = &expression;
    return true;
  }
  if (*pipe != direction) return false;
  auto& node = *expression.template as<BinaryExpression>();
  const bool right = direction == ChainDirection::Right;
  if (!chain_places(right ? node.left : node.right, direction, head, parts)) return false;
  parts.push_back(right ? &node.right : &node.left);
  return true;
}

// Whether the placeholder occurs anywhere in a subtree, at any depth.
struct PlaceholderSearch {
  bool found = false;
  void operator()(const Expression& expression) {
    if (found) return;
    found = is_placeholder(expression);
    if (!found) for_each_child(expression, *this);
  }
  void operator()(const Statement& statement) {
    if (!found) for_each_child(statement, *this);
  }
};

template <class Node>
bool mentions_placeholder(const Node& node) {
  PlaceholderSearch search;
  search(node);
  return search.found;
}

bool parameters_mention_placeholder(const List<Parameter>& parameters) {
  PlaceholderSearch search;
  for (const Parameter& parameter : parameters) for_each_child(parameter, search);
  return search.found;
}

// Calls `at(slot)` for each placeholder that substitution reaches: through array elements,
// operands, the parts of ternaries, fallbacks and indexes, callees and argument values, and the
// objects of member accesses. Everything else is left as it is.
template <class At>
void for_each_placeholder_slot(Expression& expression, At& at) {
  if (is_placeholder(expression)) return at(expression);
  const auto into = [&](Expression& child) { for_each_placeholder_slot(child, at); };
  visit_node(Overloads{[&](ArrayLiteral& node) {
                         for (Expression& element : node.elements) into(element);
                       },
                       [&](UnaryExpression& node) { into(node.operand); },
                       [&](BinaryExpression& node) {
                         into(node.left);
                         into(node.right);
                       },
                       [&](TernaryExpression& node) {
                         into(node.condition);
                         into(node.then_branch);
                         into(node.else_branch);
                       },
                       [&](FallbackExpression& node) {
                         into(node.left);
                         into(node.right);
                       },
                       [&](IndexExpression& node) {
                         into(node.object);
                         into(node.index);
                       },
                       [&](CallExpression& node) {
                         into(node.callee);
                         for (CallArgument& argument : node.arguments) into(argument.value);
                       },
                       [&](MemberExpression& node) { into(node.object); }, [](auto&) {}},
             expression.node());
}

void collect_argument_usage(const List<CallArgument>& arguments, bool nested, HereUsage& usage) {
  for (const CallArgument& argument : arguments) {
    // A computed key is not substituted into, so a placeholder there could not be replaced.
    const auto* named = std::get_if<Stored<Named>>(&argument.node);
    const Expression* key = named ? key_expression((*named)->key) : nullptr;
    if (key && mentions_placeholder(*key)) usage.unsupported = true;
    collect_here_usage(argument.value, nested, usage);
  }
}

}  // namespace

// ---- Range-array loops ----------------------------------------------------------------------

std::optional<Statement> lower_range_array_loop(Statement& statement, const Builder& builder) {
  auto* loop = statement.as<For>();
  if (!loop) return std::nullopt;
  BinaryExpression* range = iterated_range(*loop);
  if (!range) return std::nullopt;
  const RangeLoopNames names = range_loop_names(*loop);
  if (mentions_any(statement, names, builder.storage().names)) return std::nullopt;

  const LoopNodes make(*loop, builder);
  std::vector<Statement> statements;
  statements.push_back(make.declaration("let", names.current, std::move(range->left)));
  statements.push_back(make.declaration("let", names.end, std::move(range->right)));
  Expression upward = make.binary("≤", make.name(names.current), make.name(names.end));
  statements.push_back(make.declaration(
      "let", names.step, make.ternary(std::move(upward), make.number("1"), make.number("-1"))));
  if (loop->else_block)
    statements.push_back(make.declaration("let", names.seen, make.boolean(false)));
  statements.push_back(
      make.while_loop(counting_condition(make, names), counting_body(*loop, make, names)));
  if (loop->else_block) {
    statements.push_back(
        make.if_then(make.unary("¬", make.name(names.seen)), std::move(*loop->else_block)));
  }
  return builder.statement(Block{make.block(std::move(statements))});
}

Statement variable_statement(Line line, const SourceFile& source_file, std::string_view kind,
                             std::string_view name, std::optional<Expression> initializer,
                             const Builder& builder) {
  VariableDeclaration node;
  node.kind = builder.name(kind);
  node.name = builder.name(name);
  node.initializer = std::move(initializer);
  node.source_file = source_file;
  node.line = line;
  return builder.statement(std::move(node));
}

// ---- Identifier collection --------------------------------------------------------------------

void collect_statement_identifiers(const Statement& statement, NameSet& names) {
  IdentifierCollector{OwnNames{names}}(statement);
}

void collect_expression_identifiers(const Expression& expression, NameSet& names) {
  IdentifierCollector{OwnNames{names}}(expression);
}

void collect_class_member_identifiers(const ClassMember& member, NameSet& names) {
  IdentifierCollector collector{OwnNames{names}};
  for_each_child(member, collector);
}

// ---- Pipeline chains --------------------------------------------------------------------------

bool collect_chain_parts(const Expression& expression, ChainDirection direction,
                         std::optional<Expression>& head, std::vector<Expression>& parts,
                         const Builder& builder) {
  const Expression* head_place = nullptr;
  std::vector<const Expression*> part_places;
  if (head || !chain_places(expression, direction, head_place, part_places)) return false;
  head = clone(*head_place, builder);
  for (const Expression* part : part_places) parts.push_back(clone(*part, builder));
  return true;
}

void collect_here_usage(const Expression& expression, bool nested, HereUsage& usage) {
  const auto walk = [&](const Expression& child) { collect_here_usage(child, nested, usage); };
  const auto unsupported = [&] { usage.unsupported = true; };
  visit_node(Overloads{[&](const Identifier& node) {
                         if (node.name != kPlaceholder) return;
                         ++(nested ? usage.nested_uses : usage.direct_uses);
                       },
                       [](const NumberLiteral&) {}, [](const StringLiteral&) {},
                       [](const BooleanLiteral&) {}, [](const NullLiteral&) {},
                       // Interpolations are not substituted into, as in templates.
                       [&](const RegexLiteral& node) {
                         if (!node.parts.empty()) unsupported();
                       },
                       [&](const ArrayLiteral& node) {
                         for (const Expression& element : node.elements) walk(element);
                       },
                       [&](const UnaryExpression& node) { walk(node.operand); },
                       [&](const BinaryExpression& node) {
                         // A chain inside the part receives a placeholder of its own.
                         if (pipe_direction(expression)) return unsupported();
                         walk(node.left);
                         walk(node.right);
                       },
                       [&](const TernaryExpression& node) {
                         walk(node.condition);
                         walk(node.then_branch);
                         walk(node.else_branch);
                       },
                       [&](const FallbackExpression& node) {
                         walk(node.left);
                         walk(node.right);
                       },
                       [&](const IndexExpression& node) {
                         walk(node.object);
                         walk(node.index);
                       },
                       [&](const CallExpression& node) {
                         walk(node.callee);
                         collect_argument_usage(node.arguments, nested, usage);
                       },
                       [&](const MemberExpression& node) { walk(node.object); },
                       [&](const LambdaExpression& node) {
                         if (parameters_mention_placeholder(node.parameters)) ++usage.nested_uses;
                         collect_here_usage(node.body, true, usage);
                       },
                       [&](const FunctionExpression& node) {
                         const List<Statement>& body = node.body.statements;
                         if (parameters_mention_placeholder(node.parameters) ||
                             std::any_of(body.begin(), body.end(), statement_contains_here)) {
                           ++usage.nested_uses;
                         }
                       },
                       [&](const auto&) { unsupported(); }},
             expression.node());
}

bool statement_contains_here(const Statement& statement) {
  return mentions_placeholder(statement);
}

Expression substitute_here(const Expression& expression, const Expression& value,
                           const Builder& builder) {
  Expression copy = clone(expression, builder);
  auto at = [&](Expression& slot) { slot = clone(value, builder); };
  for_each_placeholder_slot(copy, at);
  return copy;
}

CallArgument substitute_call_argument(const CallArgument& argument, const Expression& value,
                                      const Builder& builder) {
  CallArgument copy = clone(argument, builder);
  auto at = [&](Expression& slot) { slot = clone(value, builder); };
  for_each_placeholder_slot(copy.value, at);
  return copy;
}

bool lower_pipeline_chain(Expression& expression) {
  const std::optional<ChainDirection> direction = pipe_direction(expression);
  if (!direction) return false;
  Expression* head = nullptr;
  std::vector<Expression*> parts;
  if (!chain_places(expression, *direction, head, parts)) return false;
  for (const Expression* part : parts) {
    HereUsage usage;
    collect_here_usage(*part, false, usage);
    if (!usage.substitutable()) return false;
  }
  // Every part uses the placeholder once, where substitution reaches it: the value moves into
  // that place, and the part becomes the value flowing into the next.
  Expression value = std::move(*head);
  for (Expression* part : parts) {
    auto at = [&](Expression& slot) { slot = std::move(value); };
    for_each_placeholder_slot(*part, at);
    value = std::move(*part);
  }
  value.set_span(expression.span());  // the call stands where the whole chain stood
  expression = std::move(value);
  return true;
}

}  // namespace tolu::optimizer
