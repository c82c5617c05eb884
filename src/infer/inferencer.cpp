// Type inference in one walk. Types are plain names compared by equality. A scope maps a name to
// its type, or to "no type" for a name declared without one: that entry still hides outer
// bindings of the name, so a use never borrows the type of an unrelated outer variable.
#include "infer/inferencer.h"

#include <string_view>
#include <unordered_map>
#include <vector>

#include "base/operators.h"
#include "base/scoped_table.h"

namespace tolu {
namespace {

using namespace ast;

using Type = std::optional<std::string>;

// The declared-type check: 2 when either type is unknown, else 0 when they agree, 1 when not.
TypeCheck type_check(const Type& declared, const Type& inferred) {
  if (!declared || !inferred) return TypeCheck::Unknown;
  return *declared == *inferred ? TypeCheck::No : TypeCheck::Yes;
}

// The type a declaration binds: the declared one, else the inferred one.
Type binding_type(const Type& declared, const Type& inferred) {
  return declared ? declared : inferred;
}

// The type recorded on an expression.
Type type_of(const Expression& e) {
  return e.inferred_type().to_optional();
}

Type same_type(const Expression& a, const Expression& b) {
  if (a.inferred_type() && a.inferred_type() == b.inferred_type()) return type_of(a);
  return std::nullopt;
}

Type infer_new_type(const Expression& e) {
  if (const auto* identifier = e.as<Identifier>()) return identifier->name;
  if (const auto* call = e.as<CallExpression>()) {
    if (const auto* callee = call->callee.as<Identifier>()) return callee->name;
  }
  return std::nullopt;
}

template <class Key>
Expression* key_expression(Key& key) {
  auto* expression_key = std::get_if<ExpressionKey>(&key.node);
  return expression_key ? &expression_key->expression : nullptr;
}

// The result types the operator table names outright; the others depend on the operands.
Type fixed_type(ResultType result) {
  switch (result) {
    case ResultType::Boolean:
      return "Boolean";
    case ResultType::Number:
      return "Number";
    case ResultType::String:
      return "String";
    default:
      return std::nullopt;
  }
}

// The result types of the prefix operators.
Type unary_type(const UnaryExpression& e) {
  const ResultType result = operator_info(e.op_id).unary_result;
  if (result == ResultType::NewRule) return infer_new_type(e.operand);
  return fixed_type(result);
}

// The result types of the binary operators.
Type binary_type(const BinaryExpression& e) {
  const ResultType result = operator_info(e.op_id).result;
  if (result == ResultType::SameAsOperands) return same_type(e.left, e.right);
  if (result == ResultType::DefaultRule) {
    const TypeName& left = e.left.inferred_type();
    if (left == "Dict") return "Dict";
    if (left == "PairList" || left == "Null") return "PairList";
    return std::nullopt;
  }
  return fixed_type(result);
}

// The result type of an assignment, by operator: the value's, a fixed one, or failing both the
// target's (else the value's).
Type assignment_result_type(const AssignmentExpression& e) {
  const ResultType result = operator_info(e.op_id).result;
  if (result == ResultType::ValueType) return type_of(e.value);
  if (Type fixed = fixed_type(result)) return fixed;
  return type_of(e.target.inferred_type() ? e.target : e.value);
}

// One shared name per distinct type, so that all the expressions of a type share its string.
class TypeNames {
 public:
  TypeName name(const Type& type) {
    if (!type) return {};
    auto [it, inserted] = names_.try_emplace(*type);
    if (inserted) it->second = TypeName(*type);
    return it->second;
  }

 private:
  std::unordered_map<std::string, TypeName> names_;
};

class Inferencer {
 public:
  Inferencer() { scopes_.push_scope(); }

  void annotate(Program& program) {
    collect_signatures(program.statements);
    for (Statement& s : program.statements) infer_statement(s);
  }

 private:
  // ---- Signatures ----

  void collect_signatures(const std::vector<Statement>& statements) {
    for (const Statement& s : statements) {
      if (const auto* block = s.as<Block>()) {
        collect_signatures(block->block.statements);
      } else if (const auto* function = s.as<FunctionDeclaration>()) {
        if (function->return_type) function_signatures_[function->name] = *function->return_type;
      } else if (const auto* class_statement = s.as<Class>()) {
        collect_class_signatures(class_statement->declaration);
      }
    }
  }

  void collect_class_signatures(const ClassDeclaration& declaration) {
    std::unordered_map<std::string_view, std::string_view> methods;
    for (const ClassMember& member : declaration.members) {
      if (const auto* method = std::get_if<Method>(&member.node)) {
        if (method->declaration.return_type)
          methods[method->declaration.name] = *method->declaration.return_type;
      } else if (const auto* nested = std::get_if<NestedClass>(&member.node)) {
        collect_class_signatures(nested->declaration);
      }
    }
    if (!methods.empty()) class_method_signatures_[declaration.name] = std::move(methods);
  }

  // ---- Scopes ----

  class ScopeGuard {
   public:
    explicit ScopeGuard(Inferencer& inferencer) : inferencer_(inferencer) {
      inferencer_.scopes_.push_scope();
    }
    ~ScopeGuard() { inferencer_.scopes_.pop_scope(); }
    ScopeGuard(const ScopeGuard&) = delete;
    ScopeGuard& operator=(const ScopeGuard&) = delete;

   private:
    Inferencer& inferencer_;
  };

  class ReturnTypeGuard {
   public:
    ReturnTypeGuard(Inferencer& inferencer, const Type& return_type)
        : inferencer_(inferencer), saved_(std::move(inferencer.current_return_type_)) {
      inferencer_.current_return_type_ = return_type;
    }
    ~ReturnTypeGuard() { inferencer_.current_return_type_ = std::move(saved_); }
    ReturnTypeGuard(const ReturnTypeGuard&) = delete;
    ReturnTypeGuard& operator=(const ReturnTypeGuard&) = delete;

   private:
    Inferencer& inferencer_;
    Type saved_;
  };

  // Records `type` for `name` in the innermost scope; an absent type records "no type", which
  // hides outer bindings. "Unknown" records nothing.
  void bind(std::string_view name, Type type) {
    if (type == "Unknown") return;
    scopes_.assign(name, std::move(type));
  }

  Type lookup(std::string_view name) const {
    const Type* type = scopes_.find(name).first;
    return type ? *type : std::nullopt;
  }

  Type infer_lvalue_type(const Expression& target) const {
    if (const auto* identifier = target.as<Identifier>()) return lookup(identifier->name);
    return type_of(target);
  }

  void infer_parameters(std::vector<Parameter>& parameters) {
    for (Parameter& p : parameters) {
      if (p.default_value) infer_expression(*p.default_value);
      const Type inferred = p.default_value ? type_of(*p.default_value) : std::nullopt;
      bind(p.name, binding_type(p.type_annotation, inferred));
    }
  }

  void infer_statements(std::vector<Statement>& statements) {
    for (Statement& s : statements) infer_statement(s);
  }

  void infer_scoped(std::vector<Statement>& statements) {
    ScopeGuard scope(*this);
    infer_statements(statements);
  }

  // ---- Statements ----

  void infer_statement(Statement& statement) {
    ast::visit_node([&](auto& s) { visit(s); }, statement.node());
  }

  void visit(Block& s) { infer_scoped(s.block.statements); }

  void visit(VariableDeclaration& s) {
    if (s.initializer) infer_expression(*s.initializer);
    const Type inferred = s.initializer ? type_of(*s.initializer) : std::nullopt;
    s.needs_type_check = type_check(s.type_annotation, inferred);
    bind(s.name, binding_type(s.type_annotation, inferred));
  }

  void visit(DestructuringDeclaration& s) {
    infer_expression(s.initializer);
    for (DeclarationBindingEntry& entry : s.pattern.entries) {
      if (Expression* key = key_expression(entry.key)) infer_expression(*key);
      if (entry.default_value) infer_expression(*entry.default_value);
      entry.needs_type_check = entry.type_annotation ? TypeCheck::Yes : TypeCheck::Unknown;
      bind(entry.name, entry.type_annotation);
    }
  }

  void visit(FunctionDeclaration& s) {
    bind(s.name, "Function");
    ReturnTypeGuard return_type(*this, s.return_type);
    ScopeGuard scope(*this);
    infer_parameters(s.parameters);
    infer_statements(s.body.statements);
  }

  void visit(Class& s) {
    bind(s.declaration.name, s.declaration.name);
    ScopeGuard scope(*this);
    infer_class(s.declaration.members);
  }

  void visit(Trait& s) {
    bind(s.declaration.name, "Trait");
    ScopeGuard scope(*this);
    for (ClassMember& member : s.declaration.members) {
      if (auto* method = std::get_if<Method>(&member.node)) infer_method(method->declaration);
    }
  }

  void visit(Import& s) {
    for (const ImportSpecifier& specifier : s.specifiers) bind(specifier.local_name, "Imported");
  }

  void visit(If& s) {
    infer_expression(s.condition);
    infer_scoped(s.then_block.statements);
    if (s.else_branch) {
      ScopeGuard scope(*this);
      infer_statement(*s.else_branch);
    }
  }

  void visit(While& s) {
    infer_expression(s.condition);
    infer_scoped(s.body.statements);
  }

  void visit(For& s) {
    infer_expression(s.iterable);
    {
      ScopeGuard scope(*this);
      bind(s.variable, std::nullopt);  // declared, with no type known
      infer_statements(s.body.statements);
    }
    if (s.else_block) infer_scoped(s.else_block->statements);
  }

  void visit(Switch& s) {
    infer_expression(s.discriminant);
    for (SwitchCase& clause : s.cases) {
      for (Expression& value : clause.values) infer_expression(value);
      infer_scoped(clause.body);
    }
    if (s.default_body) infer_scoped(*s.default_body);
  }

  void visit(Try& s) {
    infer_scoped(s.body.statements);
    infer_catch_clauses(s.catches);
  }

  void infer_catch_clauses(std::vector<CatchClause>& catches) {
    for (CatchClause& clause : catches) {
      ScopeGuard scope(*this);
      if (clause.binding)
        bind(clause.binding->name, clause.binding->type_name.value_or("Exception"));
      infer_statements(clause.body.statements);
    }
  }

  void visit(Return& s) {
    if (!s.value) {
      s.needs_type_check = TypeCheck::Unknown;
      return;
    }
    infer_expression(*s.value);
    s.needs_type_check = type_check(current_return_type_, type_of(*s.value));
  }

  void visit(LoopControl&) {}
  void visit(Throw& s) { infer_expression(s.value); }
  void visit(Die& s) { infer_expression(s.value); }
  void visit(ExpressionStatement& s) { infer_expression(s.expression); }

  void visit(PostfixConditional& s) {
    infer_statement(s.statement.statement);
    infer_expression(s.statement.condition);
  }

  void visit(Output& s) {
    for (Expression& argument : s.arguments) infer_expression(argument);
  }

  // ---- Classes ----

  void infer_class(std::vector<ClassMember>& members) {
    for (ClassMember& member : members) {
      if (auto* field = std::get_if<Field>(&member.node)) {
        FieldDeclaration& f = field->declaration;
        if (f.initializer) infer_expression(*f.initializer);
        const Type inferred = f.initializer ? type_of(*f.initializer) : std::nullopt;
        f.needs_type_check = type_check(f.type_annotation, inferred);
        bind(f.name, binding_type(f.type_annotation, inferred));
      } else if (auto* method = std::get_if<Method>(&member.node)) {
        infer_method(method->declaration);
      } else if (auto* nested = std::get_if<NestedClass>(&member.node)) {
        ScopeGuard scope(*this);
        infer_class(nested->declaration.members);
      }
    }
  }

  void infer_method(MethodDeclaration& method) {
    ReturnTypeGuard return_type(*this, method.return_type);
    ScopeGuard scope(*this);
    infer_parameters(method.parameters);
    infer_statements(method.body.statements);
  }

  // ---- Expressions ----

  void infer_expression(Expression& e) {
    e.inferred_type() =
        type_names_.name(ast::visit_node([&](auto& node) { return visit(node); }, e.node()));
  }

  void infer_parts(std::vector<TemplatePart>& parts) {
    for (TemplatePart& part : parts) {
      if (auto* interpolation = std::get_if<Interpolation>(&part.node))
        infer_expression(interpolation->expression);
    }
  }

  void infer_elements(std::vector<Expression>& elements) {
    for (Expression& element : elements) infer_expression(element);
  }

  void infer_entries(std::vector<DictEntry>& entries) {
    for (DictEntry& entry : entries) {
      if (Expression* key = key_expression(entry.key)) infer_expression(*key);
      infer_expression(entry.value);
    }
  }

  void infer_arguments(std::vector<CallArgument>& arguments) {
    for (CallArgument& argument : arguments) {
      if (auto* named = std::get_if<Named>(&argument.node)) {
        if (Expression* key = key_expression(named->key)) infer_expression(*key);
      }
      infer_expression(argument.value);
    }
  }

  Type visit(Identifier& e) { return lookup(e.name); }
  Type visit(NumberLiteral&) { return "Number"; }
  Type visit(StringLiteral&) { return "String"; }
  Type visit(BinaryStringLiteral&) { return "BinaryString"; }
  Type visit(BooleanLiteral&) { return "Boolean"; }
  Type visit(NullLiteral&) { return "Null"; }

  Type visit(RegexLiteral& e) {
    infer_parts(e.parts);
    return "Regexp";
  }

  Type visit(TemplateLiteral& e) {
    infer_parts(e.parts);
    return "String";
  }

  Type visit(ArrayLiteral& e) {
    infer_elements(e.elements);
    return "Array";
  }

  Type visit(SetLiteral& e) {
    infer_elements(e.elements);
    return "Set";
  }

  Type visit(BagLiteral& e) {
    infer_elements(e.elements);
    return "Bag";
  }

  Type visit(DictLiteral& e) {
    infer_entries(e.entries);
    return "Dict";
  }

  Type visit(PairListLiteral& e) {
    infer_entries(e.entries);
    return "PairList";
  }

  Type visit(UnaryExpression& e) {
    infer_expression(e.operand);
    return unary_type(e);
  }

  Type visit(BinaryExpression& e) {
    infer_expression(e.left);
    infer_expression(e.right);
    return binary_type(e);
  }

  Type visit(TernaryExpression& e) {
    infer_expression(e.condition);
    infer_expression(e.then_branch);
    infer_expression(e.else_branch);
    return same_type(e.then_branch, e.else_branch);
  }

  Type visit(FallbackExpression& e) {
    infer_expression(e.left);
    infer_expression(e.right);
    return same_type(e.left, e.right);
  }

  Type visit(AssignmentExpression& e) {
    infer_expression(e.target);
    infer_expression(e.value);
    Type result = assignment_result_type(e);
    e.needs_type_check = type_check(result, infer_lvalue_type(e.target));
    if (const auto* identifier = e.target.as<Identifier>()) {
      const Type current = lookup(identifier->name);
      if (current) {
        bind(identifier->name, current);
      } else if (result) {
        bind(identifier->name, result);
      }
    }
    return result;
  }

  Type visit(CallExpression& e) {
    infer_expression(e.callee);
    infer_arguments(e.arguments);
    if (const auto* callee = e.callee.as<Identifier>()) {
      auto it = function_signatures_.find(callee->name);
      return it == function_signatures_.end() ? Type() : Type(std::string(it->second));
    }
    if (const auto* member = e.callee.as<MemberExpression>()) {
      const TypeName& object_type = member->object.inferred_type();
      if (!object_type) return std::nullopt;
      auto methods = class_method_signatures_.find(*object_type);
      if (methods == class_method_signatures_.end()) return std::nullopt;
      auto it = methods->second.find(member->name);
      return it == methods->second.end() ? Type() : Type(std::string(it->second));
    }
    return std::nullopt;
  }

  Type visit(MemberExpression& e) {
    infer_expression(e.object);
    return std::nullopt;
  }

  Type visit(DynamicMemberCall& e) {
    infer_expression(e.object);
    infer_expression(e.member);
    infer_arguments(e.arguments);
    return std::nullopt;
  }

  Type visit(IndexExpression& e) {
    infer_expression(e.object);
    infer_expression(e.index);
    return std::nullopt;
  }

  Type visit(SliceExpression& e) {
    infer_expression(e.object);
    if (e.start) infer_expression(*e.start);
    if (e.end) infer_expression(*e.end);
    return type_of(e.object);
  }

  Type visit(DictAccessExpression& e) {
    infer_expression(e.object);
    if (Expression* key = key_expression(e.key)) infer_expression(*key);
    return std::nullopt;
  }

  Type visit(PostfixExpression& e) {
    infer_expression(e.operand);
    return "Number";
  }

  Type visit(LambdaExpression& e) {
    ScopeGuard scope(*this);
    infer_parameters(e.parameters);
    infer_expression(e.body);
    return "Function";
  }

  Type visit(FunctionExpression& e) {
    ReturnTypeGuard return_type(*this, e.return_type);
    ScopeGuard scope(*this);
    infer_parameters(e.parameters);
    infer_statements(e.body.statements);
    return "Function";
  }

  Type visit(DeclarationExpression& e) {
    if (e.initializer) infer_expression(*e.initializer);
    const Type inferred = e.initializer ? type_of(*e.initializer) : std::nullopt;
    e.needs_type_check = type_check(e.type_annotation, inferred);
    Type bound = binding_type(e.type_annotation, inferred);
    bind(e.name, bound);
    return bound == "Unknown" ? std::nullopt : bound;
  }

  Type visit(TryExpression& e) {
    infer_scoped(e.body.statements);
    infer_catch_clauses(e.catches);
    return std::nullopt;
  }

  Type visit(DoExpression& e) {
    infer_scoped(e.body.statements);
    if (e.body.statements.empty()) return std::nullopt;
    const Statement& last = e.body.statements.back();
    if (const auto* r = last.as<Return>()) return r->value ? type_of(*r->value) : std::nullopt;
    if (const auto* s = last.as<ExpressionStatement>()) return type_of(s->expression);
    return std::nullopt;
  }

  Type visit(AwaitExpression& e) {
    infer_scoped(e.body.statements);
    return std::nullopt;
  }

  Type visit(SpawnExpression& e) {
    infer_scoped(e.body.statements);
    return "Task";
  }

  Type visit(SuperCallExpression& e) {
    infer_arguments(e.arguments);
    return std::nullopt;
  }

  ScopedTable<Type> scopes_;  // the program scope stays at the bottom
  TypeNames type_names_;
  Type current_return_type_;
  std::unordered_map<std::string_view, std::string_view> function_signatures_;
  std::unordered_map<std::string_view, std::unordered_map<std::string_view, std::string_view>>
      class_method_signatures_;
};

}  // namespace

void annotate_program(ast::Program& program) {
  Inferencer().annotate(program);
}

}  // namespace tolu
