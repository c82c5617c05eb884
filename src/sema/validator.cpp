// The validator walks the tree once in source order. Scopes follow the blocks, functions and
// constructs that open them; four context flags, passed by value, say where return, await and
// the loop-control keywords are allowed. The first broken rule ends the walk.
//
// A node with a rule of its own has a visit(); every other node has its children validated in
// field order, each block in a scope of its own.
#include "sema/validator.h"

#include <algorithm>
#include <array>
#include <vector>

#include "base/operators.h"
#include "base/predeclared.h"
#include "base/prefetch.h"
#include "sema/name_tokens.h"
#include "sema/scope_stack.h"
#include "tolu/children.h"

namespace tolu {
namespace {

using namespace ast;
using sema::Binding;
using sema::Lookup;
using sema::NameSite;
using sema::ScopeGuard;
using sema::ScopeStack;

struct Context {
  bool in_function = false;
  bool in_async = false;
  bool in_loop = false;
  bool in_switch = false;
};

Context function_context(bool is_async) {
  return {true, is_async, false, false};
}

// Thrown by fail() and caught once in validate_program.
struct ValidationFailure {
  ToluError error;
};

[[noreturn]] void fail(std::string message, Line line) {
  throw ValidationFailure{ToluError::semantic(std::move(message), line)};
}

// An error that quotes the name written at `name`, when that is known.
[[noreturn]] void fail_quoting(std::string message, Line line, std::optional<Span> name) {
  if (!name || name->start == name->end) fail(std::move(message), line);
  throw ValidationFailure{
      ToluError::semantic(std::move(message), line, TextSpan{name->start, name->end})};
}

// The prefix operators that update their operand in place: ++, -- and the backslash.
bool updates_operand(OperatorId op) {
  return op == OperatorId::Increment || op == OperatorId::Decrement || op == OperatorId::Backslash;
}

class Validator {
 public:
  // Scopes are keyed by the names of `names`, the table of the tree to validate.
  // Given the program's tokens, an error quoting a declared name carries where it is written.
  Validator(NameTable& names, const TokenVector* tokens) : names_(names), tokens_(tokens) {
    // The program's names and the predeclared ones, which may be new to the table.
    const std::size_t name_limit =
        names.id_limit() + kTypeNames.size() + kRuntimeNames.size() + kAlwaysKnownNames.size();
    scopes_.reserve(name_limit);
    body_methods_.reserve_index(name_limit);
    body_nested_.reserve_index(name_limit);
    scopes_.push_scope();
    for (std::string_view name : kTypeNames) declare_spelled(name, 0, false);
    for (std::string_view name : kRuntimeNames) declare_spelled(name, 0, false);
    for (std::string_view name : kAlwaysKnownNames) {
      const Name known = names_.intern(name);
      if (known.id() >= always_known_.size()) always_known_.resize(known.id() + 1);
      always_known_[known.id()] = true;
    }
  }

  void validate_program(const Program& program) {
    const Context top_level{false, true, false, false};
    const List<Statement>& statements = program.statements;
    for (std::size_t i = 0; i < statements.size(); ++i) {
      prefetch_.top_level(statements, i);
      validate_statement(statements[i], top_level);
    }
  }

 private:
  // ---- Names ----

  // `name` as a key of the scopes. A tree built by hand may hold names of another table; those
  // are entered in this one.
  Name key(Name name) const { return name.table() == &names_ ? name : names_.intern(name.view()); }

  // Where `name` is written in the node at `declaration`, if the tokens are at hand.
  // `site` says where the node writes it.
  std::optional<Span> written(Name name, Span declaration, NameSite site) const {
    if (!tokens_) return std::nullopt;
    const auto found = sema::find_declared_name(*tokens_, name.view(), declaration, site);
    if (!found) return std::nullopt;
    return found->name;
  }

  [[noreturn]] void fail_redeclared(Name name, Line line, Span declaration, NameSite site) const {
    fail_quoting("Redeclaration of '" + name + "' in the same scope", line,
                 written(name, declaration, site));
  }

  // `declaration` is the span of the node that declares the name, of the form `site`.
  void declare_name(Name name, Line line, bool is_mutable, Span declaration, NameSite site,
                    bool forward = false) {
    if (!scopes_.declare(key(name), Binding{is_mutable, forward, 0}))
      fail_redeclared(name, line, declaration, site);
  }

  // A name the language binds by itself.
  void declare_spelled(std::string_view spelling, Line line, bool is_mutable) {
    declare_name(names_.intern(spelling), line, is_mutable, Span{}, NameSite::TypedAfterKeyword);
  }

  void lookup(Name name, Line line, Span written) const {
    const Name k = key(name);
    if (k.id() < always_known_.size() && always_known_[k.id()]) return;
    const Binding* binding = nullptr;
    if (scopes_.find(k, &binding) == Lookup::Missing) {
      fail_quoting("Use of undeclared identifier '" + name + "' (compile-time)", line, written);
    }
  }

  // Only a name can be a constant; a name found nowhere is left to the lookup.
  void require_mutable_target(const Expression& target, Line line) const {
    const auto* identifier = target.as<Identifier>();
    if (!identifier) return;
    const Binding* binding = nullptr;
    if (scopes_.find(key(identifier->name), &binding) == Lookup::Found && !binding->is_mutable) {
      fail_quoting("cannot modify const binding '" + identifier->name + "'", line, target.span());
    }
  }

  void declare_parameters(const List<Parameter>& parameters, Context context) {
    for (const Parameter& p : parameters) {
      if (p.default_value) validate_expression(*p.default_value, context);
      declare_name(p.name, p.line, false, p.span, NameSite::Parameter);
    }
  }

  // ---- Statements ----

  void validate_statements(const List<Statement>& statements, Context context) {
    for (std::size_t i = 0; i < statements.size(); ++i) {
      prefetch_.nested(statements, i);
      validate_statement(statements[i], context);
    }
  }

  void validate_block(const BlockStatement& block, Context context) {
    ScopeGuard scope(scopes_);
    validate_statements(block.statements, context);
  }

  void validate_statement(const Statement& statement, Context context) {
    ast::visit_node(
        [&](const auto& s) {
          if constexpr (requires { this->visit(s, context, statement); }) {
            visit(s, context, statement);
          } else if constexpr (requires { this->visit(s, context); }) {
            visit(s, context);
          } else {
            validate_children(s, context);
          }
        },
        statement.node());
  }

  template <class Node>
  void validate_children(const Node& node, Context c) {
    for_each_child(node,
                   Overloads{[&](const Expression& e) { validate_expression(e, c); },
                             [&](const Statement& s) { validate_statement(s, c); },
                             [&](const BlockStatement& b) { validate_block(b, c); },
                             [&](const CatchClause& clause) { validate_catch_clause(clause, c); }});
  }

  void visit(const VariableDeclaration& s, Context c, const Statement& statement) {
    if (s.initializer) validate_expression(*s.initializer, c);
    declare_name(s.name, s.line, s.kind != "const", statement.span(), NameSite::TypedAfterKeyword);
  }

  void visit(const DestructuringDeclaration& s, Context c) {
    validate_expression(s.initializer, c);
    const auto& entries = s.pattern.entries;
    if (const std::size_t i = first_repeated_name(
            entries.size(), [&](std::size_t i) { return key(entries[i].name); }, pattern_names_);
        i < entries.size()) {
      const auto& entry = entries[i];
      fail_quoting("Duplicate unpacked binding '" + entry.name + "' in declaration", entry.line,
                   written(entry.name, entry.span, NameSite::BindingEntry));
    }
    for (const auto& entry : s.pattern.entries) {
      if (const Expression* key = key_expression(entry.key)) validate_expression(*key, c);
      if (entry.default_value) validate_expression(*entry.default_value, c);
    }
    for (const auto& entry : s.pattern.entries)
      declare_name(entry.name, entry.line, s.kind != "const", entry.span, NameSite::BindingEntry);
  }

  void visit(const FunctionDeclaration& s, Context, const Statement& statement) {
    if (Binding* existing = scopes_.find_innermost(key(s.name))) {
      if (!existing->forward || s.is_forward)
        fail_redeclared(s.name, s.line, statement.span(), NameSite::Function);
      existing->forward = false;
    } else {
      declare_name(s.name, s.line, false, statement.span(), NameSite::Function, s.is_forward);
    }
    if (s.is_forward) return;
    ScopeGuard scope(scopes_);
    const Context inner = function_context(s.is_async);
    declare_parameters(s.parameters, inner);
    validate_statements(s.body.statements, inner);
  }

  void visit(const Class& s, Context) {
    declare_name(s.declaration.name, s.declaration.line, false, s.declaration.span,
                 NameSite::Class);
    validate_class_body(s.declaration);
  }

  void visit(const Trait& s, Context) {
    declare_name(s.declaration.name, s.declaration.line, false, s.declaration.span,
                 NameSite::Trait);
    validate_trait_body(s.declaration);
  }

  void visit(const Import& s, Context) {
    if (s.imports_all) scopes_.add_wildcard_import();
    for (const auto& specifier : s.specifiers)
      declare_name(specifier.local_name, specifier.line, true, specifier.span,
                   NameSite::ImportSpecifier);
    if (s.condition) validate_expression(s.condition->condition, Context{});
  }

  void visit(const While& s, Context c) {
    validate_expression(s.condition, c);
    Context loop = c;
    loop.in_loop = true;
    validate_block(s.body, loop);
  }

  void visit(const For& s, Context c, const Statement& statement) {
    validate_expression(s.iterable, c);
    {
      ScopeGuard scope(scopes_);
      declare_name(s.variable, s.line, !s.binding_kind || *s.binding_kind != "const",
                   sema::loop_header(statement.span(), s), NameSite::LoopVariable);
      Context loop = c;
      loop.in_loop = true;
      validate_statements(s.body.statements, loop);
    }
    if (s.else_block) validate_block(*s.else_block, c);
  }

  void visit(const Switch& s, Context c) {
    validate_expression(s.discriminant, c);
    Context inner = c;
    inner.in_switch = true;
    for (const SwitchCase& clause : s.cases) {
      for (const Expression& value : clause.values) validate_expression(value, c);
      ScopeGuard scope(scopes_);
      validate_statements(clause.body, inner);
    }
    if (s.default_body) {
      ScopeGuard scope(scopes_);
      validate_statements(*s.default_body, inner);
    }
  }

  // A catch body shares the scope of its binding.
  void validate_catch_clause(const CatchClause& clause, Context c) {
    ScopeGuard scope(scopes_);
    if (clause.binding)
      declare_name(clause.binding->name, clause.line, true, clause.binding->span,
                   NameSite::CatchBinding);
    validate_statements(clause.body.statements, c);
  }

  void visit(const Return& s, Context c) {
    if (!c.in_function) fail("return is not valid outside function scope", s.line);
    if (s.value) validate_expression(*s.value, c);
  }

  void visit(const LoopControl& s, Context c) {
    const bool allowed = s.keyword == "continue" ? c.in_loop || c.in_switch : c.in_loop;
    if (!allowed) fail(s.keyword + " is not valid outside loop scope", s.line);
  }

  void visit(const PostfixConditional& s, Context c) {
    validate_statement(s.statement.statement, c);
    validate_expression(s.statement.condition, c);
  }

  // ---- Class and trait bodies ----

  // Methods are tracked by name within one body; a forward method may be completed once.
  void validate_method_member(const MethodDeclaration& method) {
    const Name name = key(method.name);
    if (bool* forward = body_methods_.find_innermost(name)) {
      if (!*forward || method.is_forward)
        fail_redeclared(method.name, method.line, method.span, NameSite::Method);
      *forward = false;
    } else {
      body_methods_.declare(name, method.is_forward);
    }
    if (!method.is_forward) validate_method(method);
  }

  void validate_class_body(const ClassDeclaration& declaration) {
    ScopeGuard scope(scopes_);
    OpenScope methods(body_methods_);
    OpenScope nested(body_nested_);
    auto declare_nested = [&](Name name, Line line, Span span, NameSite site) {
      if (!body_nested_.declare(key(name), true)) fail_redeclared(name, line, span, site);
    };
    for (const ClassMember& member : declaration.members) {
      if (const auto* method = std::get_if<Method>(&member.node)) {
        validate_method_member(method->declaration);
      } else if (const auto* field = std::get_if<Field>(&member.node)) {
        const FieldDeclaration& f = field->declaration;
        if (f.initializer) validate_expression(*f.initializer, Context{});
        declare_name(f.name, f.line, f.kind != "const", f.span, NameSite::TypedAfterKeyword);
      } else if (const auto* nested_class = std::get_if<NestedClass>(&member.node)) {
        declare_nested(nested_class->declaration.name, nested_class->declaration.line,
                       nested_class->declaration.span, NameSite::Class);
        validate_class_body(nested_class->declaration);
      } else if (const auto* nested_trait = std::get_if<NestedTrait>(&member.node)) {
        declare_nested(nested_trait->declaration.name, nested_trait->declaration.line,
                       nested_trait->declaration.span, NameSite::Trait);
        validate_trait_body(nested_trait->declaration);
      }
    }
  }

  void validate_trait_body(const TraitDeclaration& declaration) {
    ScopeGuard scope(scopes_);
    OpenScope methods(body_methods_);
    for (const ClassMember& member : declaration.members) {
      if (const auto* method = std::get_if<Method>(&member.node)) {
        validate_method_member(method->declaration);
      } else if (const auto* field = std::get_if<Field>(&member.node)) {
        fail_quoting(
            "field '" + field->declaration.name + "' is not valid inside trait body",
            field->declaration.line,
            written(field->declaration.name, field->declaration.span, NameSite::TypedAfterKeyword));
      } else if (const auto* nested_class = std::get_if<NestedClass>(&member.node)) {
        declare_name(nested_class->declaration.name, nested_class->declaration.line, false,
                     nested_class->declaration.span, NameSite::Class);
        validate_class_body(nested_class->declaration);
      } else if (const auto* nested_trait = std::get_if<NestedTrait>(&member.node)) {
        declare_name(nested_trait->declaration.name, nested_trait->declaration.line, false,
                     nested_trait->declaration.span, NameSite::Trait);
        validate_trait_body(nested_trait->declaration);
      }
    }
  }

  void validate_method(const MethodDeclaration& method) {
    ScopeGuard scope(scopes_);
    declare_spelled("self", method.line, true);
    declare_spelled("this", method.line, true);
    const Context inner = function_context(method.is_async);
    declare_parameters(method.parameters, inner);
    validate_statements(method.body.statements, inner);
  }

  // ---- Expressions ----

  void validate_expression(const Expression& expression, Context context) {
    ast::visit_node(
        [&](const auto& e) {
          if constexpr (requires { this->visit(e, expression, context); }) {
            visit(e, expression, context);
          } else {
            validate_children(e, context);
          }
        },
        expression.node());
  }

  // Declares "^^" around the receiving side of a pipeline.
  void validate_with_placeholder(const Expression& operand, Context c) {
    ScopeGuard scope(scopes_);
    declare_spelled("^^", operand.line(), false);
    validate_expression(operand, c);
  }

  // In `s ~= pattern -> replacement`, the replacement sees the match as "m".
  void validate_regex_replacement_expression(const Expression& value, Context c) {
    const auto* binary = value.as<BinaryExpression>();
    if (!binary || binary->op_id != OperatorId::Arrow) return validate_expression(value, c);
    validate_expression(binary->left, c);
    ScopeGuard scope(scopes_);
    declare_spelled("m", binary->right.line(), true);
    validate_expression(binary->right, c);
  }

  void visit(const Identifier& e, const Expression& node, Context) {
    lookup(e.name, node.line(), node.span());
  }

  void visit(const UnaryExpression& e, const Expression& node, Context c) {
    if (updates_operand(e.op_id)) {
      if (!is_assignable_target(e.operand))
        fail("invalid target for unary operator '" + e.op + "'", node.line());
      require_mutable_target(e.operand, node.line());
    }
    validate_expression(e.operand, c);
  }

  void visit(const BinaryExpression& e, const Expression&, Context c) {
    if (e.op_id == OperatorId::PipeRight) {
      validate_expression(e.left, c);
      return validate_with_placeholder(e.right, c);
    }
    if (e.op_id == OperatorId::PipeLeft) {
      validate_expression(e.right, c);
      return validate_with_placeholder(e.left, c);
    }
    validate_expression(e.left, c);
    // The right operand of can names a method.
    if (e.op_id == OperatorId::Can && (e.right.is<Identifier>() || e.right.is<StringLiteral>()))
      return;
    validate_expression(e.right, c);
  }

  void visit(const AssignmentExpression& e, const Expression& node, Context c) {
    if (!is_assignable_target(e.target)) fail("invalid assignment target", node.line());
    require_mutable_target(e.target, node.line());
    validate_expression(e.target, c);
    if (e.op_id == OperatorId::ReplaceAssign)
      return validate_regex_replacement_expression(e.value, c);
    validate_expression(e.value, c);
  }

  void visit(const PostfixExpression& e, const Expression& node, Context c) {
    if (!is_assignable_target(e.operand))
      fail("invalid target for postfix operator '" + e.op + "'", node.line());
    require_mutable_target(e.operand, node.line());
    validate_expression(e.operand, c);
  }

  void visit(const LambdaExpression& e, const Expression&, Context) {
    ScopeGuard scope(scopes_);
    const Context inner = function_context(e.is_async);
    declare_parameters(e.parameters, inner);
    validate_expression(e.body, inner);
  }

  void visit(const FunctionExpression& e, const Expression&, Context) {
    ScopeGuard scope(scopes_);
    const Context inner = function_context(e.is_async);
    declare_parameters(e.parameters, inner);
    validate_statements(e.body.statements, inner);
  }

  void visit(const DeclarationExpression& e, const Expression& node, Context c) {
    ScopeGuard scope(scopes_);
    if (e.initializer) validate_expression(*e.initializer, c);
    declare_name(e.name, node.line(), e.kind != "const", node.span(), NameSite::TypedAfterKeyword);
  }

  // Unlike a try statement's, the body of a try expression opens no scope of its own.
  void visit(const TryExpression& e, const Expression&, Context c) {
    validate_statements(e.body.statements, c);
    for (const CatchClause& clause : e.catches) validate_catch_clause(clause, c);
  }

  void visit(const AwaitExpression& e, const Expression& node, Context c) {
    if (!c.in_async) fail("await may only be used inside async code", node.line());
    validate_block(e.body, c);
  }

  void visit(const SpawnExpression& e, const Expression&, Context c) {
    Context inner = c;
    inner.in_async = true;
    validate_block(e.body, inner);
  }

  NameTable& names_;
  const TokenVector* tokens_;
  ScopeStack scopes_;
  std::vector<bool> always_known_;  // by name id
  // Per class or trait body, innermost last: its methods (true while only forward-declared) and
  // the classes and traits nested in it. Per destructuring pattern: the names it binds.
  ScopedTable<bool, Name> body_methods_;
  ScopedTable<bool, Name> body_nested_;
  ScopedTable<bool, Name> pattern_names_;
  StatementPrefetch prefetch_;
};

}  // namespace

std::optional<ToluError> validate_program(const ast::Program& program, const TokenVector* tokens) {
  try {
    if (!program.storage) return std::nullopt;  // a moved-from program holds no statements
    Validator(program.storage->names, tokens).validate_program(program);
    return std::nullopt;
  } catch (ValidationFailure& failure) {
    return std::move(failure.error);
  }
}

}  // namespace tolu
