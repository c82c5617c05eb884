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

std::string type_text(const OptionalType& annotation, const Optional<Expression>& value) {
  return type_text(annotation, value ? value->inferred_type() : TypeName());
}

class Indexer {
 public:
  Indexer(const Program& program, const TokenVector& tokens)
      : names_(program.storage->names), tokens_(tokens) {
    scopes_.push_scope();
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

  // Where the node at `node` writes `name`, as `site` says; the type written before it is a use
  // of the class or trait `annotation` names.
  Span written_name(Name name, Span node, NameSite site, const OptionalType& annotation = {}) {
    const auto found = find_declared_name(tokens_, name.view(), node, site);
    if (!found) return Span{node.start, node.start};
    if (annotation && found->type) use_type(*annotation, *found->type);
    return found->name;
  }

  // Declares `name`, written in the node at `node` as `site` says, in the innermost scope, after
  // resolving its type annotation in the scope around it.
  std::uint32_t declare(Name name, Span node, NameSite site, DeclarationKind kind,
                        const OptionalType& annotation, std::string type = {},
                        TypeCheck check = TypeCheck::Unknown) {
    const Span written = written_name(name, node, site, annotation);
    return bind(name, add_declaration(name, written, node, kind, std::move(type), check));
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

  // The declaration `name` refers to here, if the validator's scopes hold one.
  std::optional<std::uint32_t> resolve(Name name) const {
    const Name k = key(name);
    if (std::find(always_known_.begin(), always_known_.end(), k) != always_known_.end()) return {};
    const Binding* binding = nullptr;
    if (scopes_.find(k, &binding) != Lookup::Found) return {};
    return binding->declaration;
  }

  void use(const Identifier& identifier, const Expression& node, bool is_write) {
    const Span span = node.span();
    if (span.start == span.end) return;  // built by a pass, not written
    if (const auto declaration = resolve(identifier.name)) add_use(span, *declaration, is_write);
  }

  // A class or trait named where the name is not an expression: after "extends", "with" or
  // "but". It refers to whatever the name is bound to there.
  void use_name(Name name, std::optional<Span> written) {
    if (!written) return;
    if (const auto declaration = resolve(name)) add_use(*written, *declaration, false);
  }

  // A type written in a declaration or after "->": a use of the class, trait or imported name
  // it spells, or of a predeclared type; a name bound to anything else there is not a type.
  void use_type(Name type, Span written) {
    const auto declaration = resolve(type);
    if (!declaration) return;
    switch (index_.declarations[*declaration].kind) {
      case DeclarationKind::Class:
      case DeclarationKind::Trait:
      case DeclarationKind::Import:
      case DeclarationKind::Predeclared:
        add_use(written, *declaration, false);
        break;
      default:
        break;
    }
  }

  // The return type written before the body that starts at `body_start`.
  void use_return_type(const OptionalType& type, Span node, std::uint32_t body_start) {
    if (!type) return;
    if (auto written = find_return_type(tokens_, type->view(), node, body_start))
      use_type(*type, *written);
  }

  // The base class and traits a class declaration or a "new" expression names after `from`.
  void use_composition(Optional<Name> base, const List<Name>& traits, Span within,
                       std::uint32_t from) {
    std::vector<Name> names;
    if (base) names.push_back(*base);
    names.insert(names.end(), traits.begin(), traits.end());
    if (names.empty()) return;
    const auto written = find_composition_names(tokens_, names, within, from);
    for (std::size_t i = 0; i < names.size(); ++i) use_name(names[i], written[i]);
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
  void declare_statement(const Statement& statement, TypeCheck check, std::string type,
                         const OptionalType& annotation = {}) {
    const NameSite site = name_site(statement);
    for_each_statement_binding(statement, [&](Name name, Span node, StatementBinding binding) {
      declare(name, node, site, kind_of(binding), annotation, type, check);
    });
  }

  void visit(const VariableDeclaration& s, const Statement& statement) {
    if (s.initializer) walk_expression(*s.initializer);
    declare_statement(statement, s.needs_type_check, type_text(s.type_annotation, s.initializer),
                      s.type_annotation);
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
      declare(entry.name, entry.span, NameSite::BindingEntry, kind, entry.type_annotation,
              type_text(entry.type_annotation, TypeName()), entry.needs_type_check);
    }
  }

  // The definition of a function declared forward is a use of the forward declaration.
  void visit(const FunctionDeclaration& s, const Statement& statement) {
    if (Binding* existing = scopes_.find_innermost(key(s.name))) {
      const Span written = written_name(s.name, statement.span(), NameSite::Function);
      if (written.start < written.end) add_use(written, existing->declaration, false);
    } else {
      declare_statement(statement, TypeCheck::Unknown, "Function");
    }
    if (s.is_forward) return;
    use_return_type(s.return_type, statement.span(), s.body.span.start);
    FunctionScope scope(*this);
    walk_parameters(s.parameters);
    walk_statements(s.body.statements);
  }

  void visit(const Class& s, const Statement&) {
    bind(s.declaration.name, add_class(s.declaration));
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
      // The placeholder "^^" is never written as a loop's variable.
      const Span header = loop_header(statement.span(), s);
      const Span written = s.variable == "^^"
                               ? Span{header.start, header.start}
                               : written_name(s.variable, header, NameSite::LoopVariable);
      bind(s.variable,
           add_declaration(s.variable, written, statement.span(), DeclarationKind::LoopVariable));
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
      declare(clause.binding->name, clause.binding->span, NameSite::CatchBinding,
              DeclarationKind::CatchBinding, type, type ? type->str() : std::string("Exception"));
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
      declare(p.name, p.span, NameSite::Parameter, DeclarationKind::Parameter, p.type_annotation,
              type_text(p.type_annotation, TypeName()));
    }
  }

  void add_method(const MethodDeclaration& method) {
    add_declaration(method.name, written_name(method.name, method.span, NameSite::Method),
                    method.span, DeclarationKind::Method, "Function");
    if (method.is_forward) return;
    use_return_type(method.return_type, method.span, method.body.span.start);
    FunctionScope scope(*this);
    const std::string self_type = classes_.empty() ? std::string() : classes_.back();
    declare_implicit("self", method.span, DeclarationKind::Self, self_type);
    declare_implicit("this", method.span, DeclarationKind::Self, self_type);
    walk_parameters(method.parameters);
    walk_statements(method.body.statements);
  }

  // A class's declaration, after the uses of the base class and traits it names, which are
  // resolved in the scope around it, before its own name is bound.
  std::uint32_t add_class(const ClassDeclaration& c) {
    const Span written = written_name(c.name, c.span, NameSite::Class);
    const std::uint32_t from = written.start < written.end ? written.end : c.span.end;
    use_composition(c.base_class, c.traits, c.span, from);
    return add_declaration(c.name, written, c.span, DeclarationKind::Class, "Class");
  }

  std::uint32_t add_trait(const TraitDeclaration& t) {
    return add_declaration(t.name, written_name(t.name, t.span, NameSite::Trait), t.span,
                           DeclarationKind::Trait, "Trait");
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
        declare(f.name, f.span, NameSite::TypedAfterKeyword, DeclarationKind::Field,
                f.type_annotation, type_text(f.type_annotation, f.initializer), f.needs_type_check);
      } else if (const auto* nested_class = std::get_if<NestedClass>(&member.node)) {
        add_class(nested_class->declaration);  // not bound in the class's scope
        walk_class_body(nested_class->declaration);
      } else if (const auto* nested_trait = std::get_if<NestedTrait>(&member.node)) {
        add_trait(nested_trait->declaration);  // not bound in the class's scope
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
        bind(c.name, add_class(c));
        walk_class_body(c);
      } else if (const auto* nested_trait = std::get_if<NestedTrait>(&member.node)) {
        const TraitDeclaration& t = nested_trait->declaration;
        bind(t.name, add_trait(t));
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

  void visit(const UnaryExpression& e, const Expression& node) {
    if (updates_operand(e.op_id)) return walk_target(e.operand);
    walk_expression(e.operand);
    const auto* call = e.operand.as<CallExpression>();
    if (e.op_id == OperatorId::New && call && !e.traits.empty())
      use_composition(std::nullopt, e.traits, node.span(), call->callee.span().end);
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

  void visit(const FunctionExpression& e, const Expression& node) {
    use_return_type(e.return_type, node.span(), e.body.span.start);
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
    declare(e.name, node.span(), NameSite::TypedAfterKeyword, kind, e.type_annotation,
            type_text(e.type_annotation, node.inferred_type()), e.needs_type_check);
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
