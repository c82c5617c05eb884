// The binding index walks the tree once with the validator's scopes: the same constructs open
// scopes and bind names in the same order, so that each identifier finds the declaration the
// validator found for it. Declarations are numbered as they are met and renumbered in source
// order at the end.
#include "sema/bindings.h"

#include <algorithm>
#include <numeric>

#include "base/operators.h"
#include "base/predeclared.h"
#include "sema/name_tokens.h"
#include "sema/scope_stack.h"
#include "syntax_tree/statement_bindings.h"
#include "tolu/children.h"

namespace tolu::sema {

std::string_view declaration_kind_name(DeclarationKind kind) {
  switch (kind) {
    case DeclarationKind::Variable:
      return "Variable";
    case DeclarationKind::Constant:
      return "Constant";
    case DeclarationKind::Parameter:
      return "Parameter";
    case DeclarationKind::Function:
      return "Function";
    case DeclarationKind::Class:
      return "Class";
    case DeclarationKind::Trait:
      return "Trait";
    case DeclarationKind::Import:
      return "Import";
    case DeclarationKind::CatchBinding:
      return "CatchBinding";
    case DeclarationKind::LoopVariable:
      return "LoopVariable";
    case DeclarationKind::Self:
      return "Self";
    case DeclarationKind::Method:
      return "Method";
    case DeclarationKind::Field:
      return "Field";
    case DeclarationKind::Predeclared:
      return "Predeclared";
  }
  return "Unknown";
}

namespace {

using namespace ast;

// A span holds an offset when the offset is inside it or just after it; an empty span, that of
// a name not written, holds none.
bool covers(Span span, std::uint32_t offset) {
  return span.start < span.end && span.start <= offset && offset <= span.end;
}

bool updates_operand(OperatorId op) {
  return op == OperatorId::Increment || op == OperatorId::Decrement || op == OperatorId::Backslash;
}

DeclarationKind kind_of(StatementBinding binding) {
  switch (binding) {
    case StatementBinding::Variable:
      return DeclarationKind::Variable;
    case StatementBinding::Constant:
      return DeclarationKind::Constant;
    case StatementBinding::Function:
      return DeclarationKind::Function;
    case StatementBinding::Class:
      return DeclarationKind::Class;
    case StatementBinding::Trait:
      return DeclarationKind::Trait;
    case StatementBinding::Import:
      return DeclarationKind::Import;
  }
  return DeclarationKind::Variable;
}

bool is_mutable(DeclarationKind kind) {
  return kind == DeclarationKind::Variable || kind == DeclarationKind::Import ||
         kind == DeclarationKind::CatchBinding || kind == DeclarationKind::LoopVariable ||
         kind == DeclarationKind::Self || kind == DeclarationKind::Field;
}

std::string type_text(const OptionalType& annotation, const TypeName& inferred) {
  if (annotation) return annotation->str();
  return inferred ? std::string(*inferred) : std::string();
}

std::string type_text(const OptionalType& annotation, const std::optional<Expression>& value) {
  return type_text(annotation, value ? value->inferred_type() : TypeName());
}

class Indexer {
 public:
  Indexer(const Program& program, const TokenVector& tokens)
      : names_(program.storage->names), tokens_(tokens) {
    scopes_.push();
    for (std::string_view name : kTypeNames) declare_predeclared(name);
    for (std::string_view name : kRuntimeNames) declare_predeclared(name);
    for (std::string_view name : kAlwaysKnownNames) always_known_.push_back(names_.intern(name));
  }

  BindingIndex run(const Program& program) {
    for (const Statement& s : program.statements) walk_statement(s);
    return finish();
  }

 private:
  // ---- Declarations and uses ----

  Name key(Name name) const { return name.table() == &names_ ? name : names_.intern(name.view()); }

  // Records a declaration met in the walk; `written` is the span of its name, or an empty span
  // at the declaring node when the name is not written there.
  std::uint32_t add_declaration(Name name, Span written, Span node, DeclarationKind kind,
                                std::string type = {}, TypeCheck check = TypeCheck::Unknown) {
    const auto index = static_cast<std::uint32_t>(index_.declarations.size());
    index_.declarations.push_back(
        Declaration{name.str(), written, node, kind, scopes_.depth() == 1, std::move(type), check});
    function_levels_.push_back(function_level_);
    return index;
  }

  Span name_in(Name name, Span node) const {
    if (auto found = find_name_token(tokens_, name.view(), node)) return *found;
    return Span{node.start, node.start};
  }

  // Declares `name`, written in the node at `node`, in the innermost scope.
  std::uint32_t declare(Name name, Span node, DeclarationKind kind, std::string type = {},
                        TypeCheck check = TypeCheck::Unknown) {
    return bind(name,
                add_declaration(name, name_in(name, node), node, kind, std::move(type), check));
  }

  // A name the language binds by itself where it is not written.
  std::uint32_t declare_implicit(std::string_view spelling, Span node, DeclarationKind kind,
                                 std::string type = {}) {
    const Name name = names_.intern(spelling);
    return bind(name,
                add_declaration(name, Span{node.start, node.start}, node, kind, std::move(type)));
  }

  void declare_predeclared(std::string_view spelling) {
    const Name name = names_.intern(spelling);
    bind(name, add_declaration(name, Span{}, Span{}, DeclarationKind::Predeclared));
  }

  std::uint32_t bind(Name name, std::uint32_t declaration) {
    Binding binding{is_mutable(index_.declarations[declaration].kind), false, declaration};
    scopes_.declare(key(name), binding);
    return declaration;
  }

  void use(const Identifier& identifier, const Expression& node, bool is_write) {
    const Span span = node.span();
    if (span.start == span.end) return;  // built by a pass, not written
    const Name k = key(identifier.name);
    if (std::find(always_known_.begin(), always_known_.end(), k) != always_known_.end()) return;
    const Binding* binding = nullptr;
    if (scopes_.find(k, &binding) != Lookup::Found) return;
    add_use(span, binding->declaration, is_write);
  }

  void add_use(Span span, std::uint32_t declaration, bool is_write) {
    const bool captured = !index_.declarations[declaration].is_global &&
                          function_levels_[declaration] < function_level_;
    index_.uses.push_back(Use{span, declaration, is_write, captured});
  }

  // ---- Statements ----

  void walk_statements(const List<Statement>& statements) {
    for (const Statement& s : statements) walk_statement(s);
  }

  void walk_block(const BlockStatement& block) {
    ScopeGuard scope(scopes_);
    walk_statements(block.statements);
  }

  void walk_statement(const Statement& statement) {
    visit_node(
        [&](const auto& s) {
          if constexpr (requires { this->visit(s, statement); }) {
            visit(s, statement);
          } else {
            walk_children(s);
          }
        },
        statement.node());
  }

  template <class Node>
  void walk_children(const Node& node) {
    for_each_child(node, Overloads{[&](const Expression& e) { walk_expression(e); },
                                   [&](const Statement& s) { walk_statement(s); },
                                   [&](const BlockStatement& b) { walk_block(b); },
                                   [&](const CatchClause& clause) { walk_catch_clause(clause); }});
  }

  // The names of a statement that binds names in its scope.
  void declare_statement(const Statement& statement, TypeCheck check, std::string type) {
    for_each_statement_binding(statement, [&](Name name, Span node, StatementBinding binding) {
      declare(name, node, kind_of(binding), type, check);
    });
  }

  void visit(const VariableDeclaration& s, const Statement& statement) {
    if (s.initializer) walk_expression(*s.initializer);
    declare_statement(statement, s.needs_type_check, type_text(s.type_annotation, s.initializer));
  }

  void visit(const DestructuringDeclaration& s, const Statement&) {
    walk_expression(s.initializer);
    for (const auto& entry : s.pattern.entries) {
      if (const Expression* k = key_expression(entry.key)) walk_expression(*k);
      if (entry.default_value) walk_expression(*entry.default_value);
    }
    const DeclarationKind kind =
        s.kind == "const" ? DeclarationKind::Constant : DeclarationKind::Variable;
    for (const auto& entry : s.pattern.entries) {
      declare(entry.name, entry.span, kind, type_text(entry.type_annotation, TypeName()),
              entry.needs_type_check);
    }
  }

  // The definition of a function declared forward is a use of the forward declaration.
  void visit(const FunctionDeclaration& s, const Statement& statement) {
    if (Binding* existing = scopes_.find_innermost(key(s.name))) {
      const Span written = name_in(s.name, statement.span());
      if (written.start < written.end) add_use(written, existing->declaration, false);
    } else {
      declare_statement(statement, TypeCheck::Unknown, "Function");
    }
    if (s.is_forward) return;
    FunctionScope scope(*this);
    walk_parameters(s.parameters);
    walk_statements(s.body.statements);
  }

  void visit(const Class& s, const Statement& statement) {
    declare_statement(statement, TypeCheck::Unknown, "Class");
    walk_class_body(s.declaration);
  }

  void visit(const Trait& s, const Statement& statement) {
    declare_statement(statement, TypeCheck::Unknown, "Trait");
    walk_trait_body(s.declaration);
  }

  void visit(const Import& s, const Statement& statement) {
    if (s.imports_all) scopes_.add_wildcard_import();
    declare_statement(statement, TypeCheck::Unknown, {});
    if (s.condition) walk_expression(s.condition->condition);
  }

  void visit(const For& s, const Statement& statement) {
    walk_expression(s.iterable);
    {
      ScopeGuard scope(scopes_);
      const Span header = loop_header(statement.span(), s);
      const auto found = find_name_token(tokens_, s.variable.view(), header);
      bind(s.variable,
           add_declaration(s.variable, found ? *found : Span{header.start, header.start},
                           statement.span(), DeclarationKind::LoopVariable));
      walk_statements(s.body.statements);
    }
    if (s.else_block) walk_block(*s.else_block);
  }

  void visit(const Switch& s, const Statement&) {
    walk_expression(s.discriminant);
    for (const SwitchCase& clause : s.cases) {
      for (const Expression& value : clause.values) walk_expression(value);
      ScopeGuard scope(scopes_);
      walk_statements(clause.body);
    }
    if (s.default_body) {
      ScopeGuard scope(scopes_);
      walk_statements(*s.default_body);
    }
  }

  void walk_catch_clause(const CatchClause& clause) {
    ScopeGuard scope(scopes_);
    if (clause.binding) {
      const auto& type = clause.binding->type_name;
      declare(clause.binding->name, clause.binding->span, DeclarationKind::CatchBinding,
              type ? type->str() : std::string("Exception"));
    }
    walk_statements(clause.body.statements);
  }

  void visit(const PostfixConditional& s, const Statement&) {
    walk_statement(s.statement.statement);
    walk_expression(s.statement.condition);
  }

  // ---- Functions, classes and traits ----

  // A function's scope: what is declared outside it is captured by its uses inside.
  class FunctionScope {
   public:
    explicit FunctionScope(Indexer& indexer) : indexer_(indexer), scope_(indexer.scopes_) {
      ++indexer_.function_level_;
    }
    ~FunctionScope() { --indexer_.function_level_; }
    FunctionScope(const FunctionScope&) = delete;
    FunctionScope& operator=(const FunctionScope&) = delete;

   private:
    Indexer& indexer_;
    ScopeGuard scope_;
  };

  void walk_parameters(const List<Parameter>& parameters) {
    for (const Parameter& p : parameters) {
      if (p.default_value) walk_expression(*p.default_value);
      declare(p.name, p.span, DeclarationKind::Parameter, type_text(p.type_annotation, TypeName()));
    }
  }

  void add_method(const MethodDeclaration& method) {
    add_declaration(method.name, name_in(method.name, method.span), method.span,
                    DeclarationKind::Method, "Function");
    if (method.is_forward) return;
    FunctionScope scope(*this);
    const std::string self_type = classes_.empty() ? std::string() : classes_.back();
    declare_implicit("self", method.span, DeclarationKind::Self, self_type);
    declare_implicit("this", method.span, DeclarationKind::Self, self_type);
    walk_parameters(method.parameters);
    walk_statements(method.body.statements);
  }

  // A nested class or trait of a class body is not bound in its scope.
  void add_unbound(const ClassDeclaration& c) {
    add_declaration(c.name, name_in(c.name, c.span), c.span, DeclarationKind::Class, "Class");
  }
  void add_unbound(const TraitDeclaration& t) {
    add_declaration(t.name, name_in(t.name, t.span), t.span, DeclarationKind::Trait, "Trait");
  }

  void walk_class_body(const ClassDeclaration& declaration) {
    ScopeGuard scope(scopes_);
    classes_.push_back(declaration.name.str());
    for (const ClassMember& member : declaration.members) {
      if (const auto* method = std::get_if<Method>(&member.node)) {
        add_method(method->declaration);
      } else if (const auto* field = std::get_if<Field>(&member.node)) {
        const FieldDeclaration& f = field->declaration;
        if (f.initializer) walk_expression(*f.initializer);
        declare(f.name, f.span, DeclarationKind::Field, type_text(f.type_annotation, f.initializer),
                f.needs_type_check);
      } else if (const auto* nested_class = std::get_if<NestedClass>(&member.node)) {
        add_unbound(nested_class->declaration);
        walk_class_body(nested_class->declaration);
      } else if (const auto* nested_trait = std::get_if<NestedTrait>(&member.node)) {
        add_unbound(nested_trait->declaration);
        walk_trait_body(nested_trait->declaration);
      }
    }
    classes_.pop_back();
  }

  void walk_trait_body(const TraitDeclaration& declaration) {
    ScopeGuard scope(scopes_);
    classes_.emplace_back();  // a trait's self is of the class that composes it
    for (const ClassMember& member : declaration.members) {
      if (const auto* method = std::get_if<Method>(&member.node)) {
        add_method(method->declaration);
      } else if (const auto* nested_class = std::get_if<NestedClass>(&member.node)) {
        const ClassDeclaration& c = nested_class->declaration;
        declare(c.name, c.span, DeclarationKind::Class, "Class");
        walk_class_body(c);
      } else if (const auto* nested_trait = std::get_if<NestedTrait>(&member.node)) {
        const TraitDeclaration& t = nested_trait->declaration;
        declare(t.name, t.span, DeclarationKind::Trait, "Trait");
        walk_trait_body(t);
      }
    }
    classes_.pop_back();
  }

  // ---- Expressions ----

  void walk_expression(const Expression& expression) {
    visit_node(
        [&](const auto& e) {
          if constexpr (requires { this->visit(e, expression); }) {
            visit(e, expression);
          } else {
            walk_children(e);
          }
        },
        expression.node());
  }

  // An assignment's or update's target: a name written, or any other target walked as usual.
  void walk_target(const Expression& target) {
    if (const auto* identifier = target.as<Identifier>()) return use(*identifier, target, true);
    walk_expression(target);
  }

  void walk_with_placeholder(const Expression& operand) {
    ScopeGuard scope(scopes_);
    declare_implicit("^^", operand.span(), DeclarationKind::Constant);
    walk_expression(operand);
  }

  void walk_regex_replacement(const Expression& value) {
    const auto* binary = value.as<BinaryExpression>();
    if (!binary || binary->op_id != OperatorId::Arrow) return walk_expression(value);
    walk_expression(binary->left);
    ScopeGuard scope(scopes_);
    declare_implicit("m", binary->right.span(), DeclarationKind::Variable);
    walk_expression(binary->right);
  }

  void visit(const Identifier& e, const Expression& node) { use(e, node, false); }

  void visit(const UnaryExpression& e, const Expression&) {
    if (updates_operand(e.op_id)) return walk_target(e.operand);
    walk_expression(e.operand);
  }

  void visit(const PostfixExpression& e, const Expression&) { walk_target(e.operand); }

  void visit(const BinaryExpression& e, const Expression&) {
    if (e.op_id == OperatorId::PipeRight) {
      walk_expression(e.left);
      return walk_with_placeholder(e.right);
    }
    if (e.op_id == OperatorId::PipeLeft) {
      walk_expression(e.right);
      return walk_with_placeholder(e.left);
    }
    walk_expression(e.left);
    if (e.op_id == OperatorId::Can && (e.right.is<Identifier>() || e.right.is<StringLiteral>()))
      return;
    walk_expression(e.right);
  }

  void visit(const AssignmentExpression& e, const Expression&) {
    walk_target(e.target);
    if (e.op_id == OperatorId::ReplaceAssign) return walk_regex_replacement(e.value);
    walk_expression(e.value);
  }

  void visit(const LambdaExpression& e, const Expression&) {
    FunctionScope scope(*this);
    walk_parameters(e.parameters);
    walk_expression(e.body);
  }

  void visit(const FunctionExpression& e, const Expression&) {
    FunctionScope scope(*this);
    walk_parameters(e.parameters);
    walk_statements(e.body.statements);
  }

  // The name is bound only for the expression itself.
  void visit(const DeclarationExpression& e, const Expression& node) {
    ScopeGuard scope(scopes_);
    if (e.initializer) walk_expression(*e.initializer);
    const DeclarationKind kind =
        e.kind == "const" ? DeclarationKind::Constant : DeclarationKind::Variable;
    declare(e.name, node.span(), kind, type_text(e.type_annotation, node.inferred_type()),
            e.needs_type_check);
  }

  void visit(const TryExpression& e, const Expression&) {
    walk_statements(e.body.statements);
    for (const CatchClause& clause : e.catches) walk_catch_clause(clause);
  }

  // ---- The result ----

  // Declarations in source order, predeclared first; uses by start.
  BindingIndex finish() {
    auto& declarations = index_.declarations;
    std::vector<std::uint32_t> order(declarations.size());
    std::iota(order.begin(), order.end(), 0u);
    std::stable_sort(order.begin(), order.end(), [&](std::uint32_t a, std::uint32_t b) {
      const Declaration& x = declarations[a];
      const Declaration& y = declarations[b];
      const bool x_pre = x.kind == DeclarationKind::Predeclared;
      const bool y_pre = y.kind == DeclarationKind::Predeclared;
      if (x_pre != y_pre) return x_pre;
      return x.name_span.start < y.name_span.start;
    });
    std::vector<std::uint32_t> renumbered(declarations.size());
    std::vector<Declaration> sorted;
    sorted.reserve(declarations.size());
    for (std::uint32_t i = 0; i < order.size(); ++i) {
      renumbered[order[i]] = i;
      sorted.push_back(std::move(declarations[order[i]]));
    }
    declarations = std::move(sorted);
    for (Use& u : index_.uses) u.declaration = renumbered[u.declaration];
    std::stable_sort(index_.uses.begin(), index_.uses.end(),
                     [](const Use& a, const Use& b) { return a.span.start < b.span.start; });
    return std::move(index_);
  }

  NameTable& names_;
  const TokenVector& tokens_;
  ScopeStack scopes_;
  std::vector<Name> always_known_;
  BindingIndex index_;
  std::vector<std::uint32_t> function_levels_;  // by declaration, as met
  std::uint32_t function_level_ = 0;            // functions around the walk
  std::vector<std::string> classes_;            // the classes whose bodies are walked
};

}  // namespace

std::optional<std::uint32_t> BindingIndex::declaration_at(std::uint32_t offset) const {
  // Uses do not overlap: the last one starting at or before `offset`.
  auto it = std::upper_bound(uses.begin(), uses.end(), offset,
                             [](std::uint32_t o, const Use& u) { return o < u.span.start; });
  if (it != uses.begin() && covers(std::prev(it)->span, offset)) return std::prev(it)->declaration;
  for (std::uint32_t i = 0; i < declarations.size(); ++i) {
    if (covers(declarations[i].name_span, offset)) return i;
  }
  return std::nullopt;
}

std::vector<const Use*> BindingIndex::uses_of(std::uint32_t declaration) const {
  std::vector<const Use*> result;
  for (const Use& u : uses) {
    if (u.declaration == declaration) result.push_back(&u);
  }
  return result;
}

BindingIndex build_binding_index(const Program& program, const TokenVector& tokens) {
  if (!program.storage) return {};
  return Indexer(program, tokens).run(program);
}

}  // namespace tolu::sema
