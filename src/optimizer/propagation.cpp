// Constant propagation: a use of a variable that is sure to hold a literal becomes that literal,
// and what becomes constant on the way is folded at once.
//
// A variable holds a literal from a declaration with a literal initializer until anything may
// assign it. Code that may not run (branches, loop bodies, catch bodies, the operands that
// short-circuit) is processed on a copy of the constant scopes, and afterwards the names it may
// assign are forgotten. A loop body, a catch body or a case body starts without the names that
// the loop, the try body or the switch may assign; code that runs later at an unknown point
// (functions, lambdas, methods, field initializers and spawned tasks) sees no outer constant
// and makes the names it assigns forgotten where it is declared.
#include <type_traits>

#include "base/operators.h"
#include "optimizer/optimizer_internal.h"
#include "tolu/children.h"

namespace tolu::optimizer {
namespace {

using namespace ast;

// The operators that write their operand: increment, decrement and the reference "\".
bool writes_operand(OperatorId op) {
  return op == OperatorId::Increment || op == OperatorId::Decrement || op == OperatorId::Backslash;
}

bool is_path(OperatorId op) {
  return op == OperatorId::At || op == OperatorId::AtAt || op == OperatorId::AtQuestion;
}

// Operators whose right operand runs only when the left one leaves the result open.
bool short_circuits(OperatorId op) {
  return op == OperatorId::And || op == OperatorId::Or || op == OperatorId::Nand;
}

bool is_eval_call(const CallExpression& call) {
  const auto* callee = call.callee.as<Identifier>();
  return callee && callee->name == "eval";
}

// The variable an assignment target writes: the identifier reached through the left operand of
// a path, the object of a member, index, slice or dict access; null for anything else.
const Identifier* target_base(const Expression& target) {
  const Expression* at = &target;
  while (true) {
    if (const auto* identifier = at->as<Identifier>()) return identifier;
    if (const auto* binary = at->as<BinaryExpression>()) {
      at = &binary->left;
    } else if (const auto* member = at->as<MemberExpression>()) {
      at = &member->object;
    } else if (const auto* index = at->as<IndexExpression>()) {
      at = &index->object;
    } else if (const auto* slice = at->as<SliceExpression>()) {
      at = &slice->object;
    } else if (const auto* access = at->as<DictAccessExpression>()) {
      at = &access->object;
    } else {
      return nullptr;
    }
  }
}

// The names a piece of code may assign, wherever in it: conditions, initializers, defaults,
// targets, and the bodies of functions, lambdas, methods and tasks met inside. A declaration
// expression counts as well: it gives its name another value from where it stands.
class AssignedNameScan {
 public:
  explicit AssignedNameScan(AssignedNames& out) : out_(out) {}

  void statement(const Statement& statement) {
    if (!out_.everything) children(statement);
  }

  void expression(const Expression& expression) {
    if (out_.everything) return;
    visit_node(
        Overloads{[&](const AssignmentExpression& node) { base_of(node.target); },
                  [&](const UnaryExpression& node) {
                    if (writes_operand(node.op_id)) base_of(node.operand);
                  },
                  [&](const PostfixExpression& node) { base_of(node.operand); },
                  [&](const DeclarationExpression& node) { out_.names.push_back(node.name); },
                  [&](const CallExpression& node) {
                    if (is_eval_call(node)) out_.everything = true;
                  },
                  [](const auto&) {}},
        expression.node());
    children(expression);
  }

  template <class Node>
  void children(const Node& node) {
    for_each_child(node, Overloads{[&](const Expression& e) { expression(e); },
                                   [&](const Statement& s) { statement(s); }});
  }

 private:
  void base_of(const Expression& target) {
    if (const Identifier* base = target_base(target)) out_.names.push_back(base->name);
  }

  AssignedNames& out_;
};

// What an expression, a statement, a statement list or the parts of any other node may assign.
template <class Node>
AssignedNames assigned_in(const Node& node) {
  AssignedNames assigned;
  AssignedNameScan scan(assigned);
  if constexpr (std::is_same_v<Node, Expression>) {
    scan.expression(node);
  } else if constexpr (std::is_same_v<Node, Statement>) {
    scan.statement(node);
  } else if constexpr (std::is_same_v<Node, List<Statement>>) {
    for (const Statement& statement : node) scan.statement(statement);
  } else {
    scan.children(node);
  }
  return assigned;
}

void add_assigned(AssignedNames& to, const AssignedNames& from) {
  to.everything |= from.everything;
  to.names.insert(to.names.end(), from.names.begin(), from.names.end());
}

class Propagator {
 public:
  Propagator(ConstantScopes& scopes, const Builder& builder) : scopes_(scopes), builder_(builder) {}

  void statements(List<Statement>& statements) {
    for (Statement& statement : statements) {
      this->statement(statement);
      bind_declared_names(statement);
    }
  }

  void block(BlockStatement& block) {
    if (!block.needs_lexical_scope) {
      statements(block.statements);
      return;
    }
    scopes_.push_scope();
    statements(block.statements);
    scopes_.pop_scope();
  }

  void statement(Statement& statement) {
    visit_node(Overloads{[&](DestructuringDeclaration& node) { destructuring(node); },
                         [&](FunctionDeclaration&) { forget_assigned_in(statement); },
                         [&](Class& node) { class_body(node.declaration.members, statement); },
                         [&](Trait& node) { class_body(node.declaration.members, statement); },
                         [&](If& node) { if_statement(node); },
                         [&](While& node) { while_statement(node); },
                         [&](For& node) { for_statement(node); },
                         [&](Switch& node) { switch_statement(node); },
                         [&](Try& node) { try_construct(node.body, node.catches); },
                         [&](PostfixConditional& node) { postfix_conditional(node.statement); },
                         [&](auto& node) { plain_children(node); }},
               statement.node());
  }

  void expression(Expression& expression, bool in_target) {
    if (expression.is<Identifier>()) {
      if (!in_target) identifier(expression);
      return;
    }
    visit_node(Overloads{[&](UnaryExpression& node) { unary(node); },
                         [&](BinaryExpression& node) { binary(node, in_target); },
                         [&](FallbackExpression& node) {
                           this->expression(node.left, false);
                           maybe_skipped(node.right);
                         },
                         [&](TernaryExpression& node) { ternary(node); },
                         [&](AssignmentExpression& node) { assignment(node); },
                         [&](CallExpression& node) { call(node); },
                         [&](MemberExpression& node) { this->expression(node.object, in_target); },
                         [&](IndexExpression& node) {
                           this->expression(node.object, in_target);
                           this->expression(node.index, false);
                         },
                         [&](SliceExpression& node) {
                           this->expression(node.object, in_target);
                           if (node.start) this->expression(*node.start, false);
                           if (node.end) this->expression(*node.end, false);
                         },
                         [&](DictAccessExpression& node) {
                           this->expression(node.object, in_target);
                           if (Expression* key = key_expression(node.key))
                             this->expression(*key, false);
                         },
                         [&](PostfixExpression& node) { write_target(node.operand); },
                         [&](LambdaExpression& node) { forget_assigned_in(node); },
                         [&](FunctionExpression& node) { forget_assigned_in(node); },
                         [&](DeclarationExpression& node) { declaration(node); },
                         [&](TryExpression& node) { try_construct(node.body, node.catches); },
                         [&](DoExpression& node) { block_on_copy(node.body); },
                         [&](AwaitExpression& node) { block_on_copy(node.body); },
                         [&](SpawnExpression& node) { spawned(node.body); },
                         [&](auto& node) { plain_children(node); }},
               expression.node());
    if (!in_target) fold(expression);
  }

  void class_member(ClassMember& member) {
    visit_node(Overloads{[](Method&) {},
                         [&](NestedClass& node) {
                           for (ClassMember& inner : node.declaration.members) class_member(inner);
                         },
                         [&](NestedTrait& node) {
                           for (ClassMember& inner : node.declaration.members) class_member(inner);
                         },
                         [&](Field& node) {
                           if (!node.declaration.initializer) return;
                           // An initializer runs whenever an instance is made.
                           const ConstantScopes::Copy own_stack(scopes_,
                                                                ConstantScopes::Copy::OwnStack);
                           expression(*node.declaration.initializer, false);
                         }},
               member.node);
  }

  void regex_replacement_pattern(Expression& value) {
    auto* arrow = value.as<BinaryExpression>();
    if (!arrow || arrow->op_id != OperatorId::Arrow) {
      forget_assigned_in(value);
      return;
    }
    expression(arrow->left, false);
    // The replacement is left as written; whatever it assigns is no longer known.
    forget_assigned_in(arrow->right);
  }

 private:
  // ---- Statements ---------------------------------------------------------------------------

  // Children in the order of the shared traversal, none of them a target.
  template <class Node>
  void plain_children(Node& node) {
    for_each_child(
        node, Overloads{[&](Expression& e) { expression(e, false); },
                        [&](Statement& s) { statement(s); }, [&](BlockStatement& b) { block(b); }});
  }

  // What a declaration statement leaves known about the names it declares.
  void bind_declared_names(const Statement& statement) {
    visit_node(
        Overloads{[&](const VariableDeclaration& node) {
                    std::optional<Constant> constant;
                    if (node.initializer) constant = constant_of(*node.initializer);
                    if (constant) {
                      scopes_.record_constant(node.name, *constant);
                    } else {
                      scopes_.forget_constant(node.name);
                    }
                  },
                  [&](const DestructuringDeclaration& node) {
                    for (const auto& entry : node.pattern.entries) {
                      scopes_.forget_constant(entry.name);
                    }
                  },
                  [&](const FunctionDeclaration& node) { scopes_.forget_constant(node.name); },
                  [&](const Class& node) { scopes_.forget_constant(node.declaration.name); },
                  [&](const Trait& node) { scopes_.forget_constant(node.declaration.name); },
                  [&](const Import& node) {
                    for (const auto& specifier : node.specifiers) {
                      scopes_.forget_constant(specifier.local_name);
                    }
                  },
                  [](const auto&) {}},
        statement.node());
  }

  void destructuring(DestructuringDeclaration& node) {
    expression(node.initializer, false);
    for (DeclarationBindingEntry& entry : node.pattern.entries) {
      if (Expression* key = key_expression(entry.key)) expression(*key, false);
      // A default runs only when the value has no such entry.
      if (entry.default_value) maybe_skipped(*entry.default_value);
    }
  }

  // Methods and field initializers may run at any later point.
  void class_body(List<ClassMember>& members, const Statement& declaration) {
    for (ClassMember& member : members) class_member(member);
    forget_assigned_in(declaration);
  }

  void if_statement(If& node) {
    expression(node.condition, false);
    {
      const ConstantScopes::Copy copy(scopes_);
      block(node.then_block);
    }
    if (node.else_branch) {
      const ConstantScopes::Copy copy(scopes_);
      statement(*node.else_branch);
    }
    forget_assigned_in(node.then_block);
    if (node.else_branch) forget_assigned_in(*node.else_branch);
  }

  // The condition and the body may run after any earlier iteration, so both start without the
  // names that either assigns; after the loop those names are forgotten as well.
  void while_statement(While& node) {
    AssignedNames assigned = assigned_in(node.condition);
    add_assigned(assigned, assigned_in(node.body));
    {
      const ConstantScopes::Copy copy(scopes_);
      scopes_.forget_assigned(assigned);
      expression(node.condition, false);
      block(node.body);
    }
    scopes_.forget_assigned(assigned);
  }

  void for_statement(For& node) {
    expression(node.iterable, false);
    const AssignedNames in_body = assigned_in(node.body);
    {
      const ConstantScopes::Copy copy(scopes_);
      scopes_.push_scope();
      scopes_.forget_assigned(in_body);
      scopes_.forget_constant(node.variable);
      statements(node.body.statements);
    }
    scopes_.forget_assigned(in_body);
    if (node.else_block) {
      // The else block runs only when the body never did.
      {
        const ConstantScopes::Copy copy(scopes_);
        block(*node.else_block);
      }
      forget_assigned_in(*node.else_block);
    }
  }

  // The case values run in order on the scopes themselves; each case body starts from the
  // scopes without every name the values and the bodies may assign. Processing all the values
  // before the bodies gives the same result as interleaving them, since a body changes nothing
  // outside its copy, and the values change only names that their scan finds. After the switch
  // those names are all forgotten: the values after the one that matched do not run.
  void switch_statement(Switch& node) {
    expression(node.discriminant, false);
    AssignedNames in_cases;
    for (const SwitchCase& clause : node.cases) add_assigned(in_cases, assigned_in(clause));
    if (node.default_body) add_assigned(in_cases, assigned_in(*node.default_body));

    for (SwitchCase& clause : node.cases) {
      for (Expression& value : clause.values) expression(value, false);
    }
    {
      const ConstantScopes::Copy copy(scopes_);
      scopes_.forget_assigned(in_cases);
      for (SwitchCase& clause : node.cases) case_body(clause.body);
      if (node.default_body) case_body(*node.default_body);
    }
    scopes_.forget_assigned(in_cases);
  }

  void case_body(List<Statement>& body) {
    const ConstantScopes::Copy copy(scopes_);
    scopes_.push_scope();
    statements(body);
  }

  // A catch body may run after any part of the try body.
  void try_construct(BlockStatement& body, List<CatchClause>& catches) {
    {
      const ConstantScopes::Copy copy(scopes_);
      block(body);
    }
    const AssignedNames in_body = assigned_in(body);
    for (CatchClause& clause : catches) {
      const ConstantScopes::Copy copy(scopes_);
      scopes_.push_scope();
      if (clause.binding && !clause.binding->name.empty()) {
        scopes_.forget_constant(clause.binding->name);
      }
      scopes_.forget_assigned(in_body);
      statements(clause.body.statements);
    }
    scopes_.forget_assigned(in_body);
    for (const CatchClause& clause : catches) forget_assigned_in(clause.body);
  }

  // The condition runs first; the statement only when it holds.
  void postfix_conditional(PostfixConditionalStatement& node) {
    expression(node.condition, false);
    {
      const ConstantScopes::Copy copy(scopes_);
      statement(node.statement);
    }
    forget_assigned_in(node.statement);
  }

  // ---- Expressions --------------------------------------------------------------------------

  void identifier(Expression& expression) {
    const Constant* constant = scopes_.lookup_constant(expression.as<Identifier>()->name);
    if (constant) expression = constant_for_use(*constant, expression, builder_);
  }

  void fold(Expression& expression) {
    if (std::optional<Expression> folded = fold_expression(expression, builder_)) {
      expression = std::move(*folded);
    }
  }

  // The operand of ++, -- or the reference "\" stays what it is, and its variable is no
  // longer known.
  void write_target(Expression& target) {
    expression(target, true);
    forget_lvalue_constants(scopes_, target);
  }

  void unary(UnaryExpression& node) {
    if (writes_operand(node.op_id)) {
      write_target(node.operand);
    } else {
      expression(node.operand, false);
    }
  }

  void binary(BinaryExpression& node, bool in_target) {
    // The left operand of a path is the variable a path assignment writes.
    expression(node.left, in_target && is_path(node.op_id));
    if (short_circuits(node.op_id)) {
      maybe_skipped(node.right);
    } else {
      expression(node.right, false);
    }
  }

  void ternary(TernaryExpression& node) {
    expression(node.condition, false);
    branch_on_copy(node.then_branch);
    branch_on_copy(node.else_branch);
    forget_assigned_in(node.then_branch);
    forget_assigned_in(node.else_branch);
  }

  void assignment(AssignmentExpression& node) {
    expression(node.target, true);
    if (node.op_id == OperatorId::ReplaceAssign) {
      regex_replacement_pattern(node.value);
    } else if (node.op_id == OperatorId::FallbackAssign) {
      // The value runs only when the target holds nothing.
      maybe_skipped(node.value);
    } else {
      expression(node.value, false);
    }
    forget_lvalue_constants(scopes_, node.target);
  }

  void call(CallExpression& node) {
    const bool eval = is_eval_call(node);
    plain_children(node);
    if (eval) scopes_.forget_all_constants();
  }

  void declaration(DeclarationExpression& node) {
    std::optional<Constant> constant;
    if (node.initializer) {
      expression(*node.initializer, false);
      constant = constant_of(*node.initializer);
    }
    if (constant) {
      scopes_.record_constant(node.name, *constant);
    } else {
      scopes_.forget_constant(node.name);
    }
  }

  // An operand that may not run: processed on a copy, then what it assigns is forgotten.
  void maybe_skipped(Expression& operand) {
    branch_on_copy(operand);
    forget_assigned_in(operand);
  }

  void branch_on_copy(Expression& branch) {
    const ConstantScopes::Copy copy(scopes_);
    expression(branch, false);
  }

  void block_on_copy(BlockStatement& body) {
    {
      const ConstantScopes::Copy copy(scopes_);
      block(body);
    }
    forget_assigned_in(body);
  }

  // A spawned task may run after what follows it has changed any variable: it starts with no
  // constant from outside.
  void spawned(BlockStatement& body) {
    {
      const ConstantScopes::Copy own_stack(scopes_, ConstantScopes::Copy::OwnStack);
      block(body);
    }
    forget_assigned_in(body);
  }

  // The assigned-name scan of `node`, against the scopes.
  template <class Node>
  void forget_assigned_in(const Node& node) {
    scopes_.forget_assigned(assigned_in(node));
  }

  ConstantScopes& scopes_;
  const Builder& builder_;
};

}  // namespace

void forget_lvalue_constants(ConstantScopes& scopes, const Expression& target) {
  if (const Identifier* base = target_base(target)) scopes.forget_constant(base->name);
}

void propagate_constants_statements(List<Statement>& statements, ConstantScopes& scopes,
                                    const Builder& builder) {
  Propagator(scopes, builder).statements(statements);
}

void propagate_constants_statement(Statement& statement, ConstantScopes& scopes,
                                   const Builder& builder) {
  Propagator(scopes, builder).statement(statement);
}

void propagate_constants_block(BlockStatement& block, ConstantScopes& scopes,
                               const Builder& builder) {
  Propagator(scopes, builder).block(block);
}

void propagate_constants_expression(Expression& expression, ConstantScopes& scopes, bool in_target,
                                    const Builder& builder) {
  Propagator(scopes, builder).expression(expression, in_target);
}

void propagate_constants_class_member(ClassMember& member, ConstantScopes& scopes,
                                      const Builder& builder) {
  Propagator(scopes, builder).class_member(member);
}

void propagate_regex_replacement_pattern(Expression& value, ConstantScopes& scopes,
                                         const Builder& builder) {
  Propagator(scopes, builder).regex_replacement_pattern(value);
}

}  // namespace tolu::optimizer
