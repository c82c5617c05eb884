// Type inference in one walk. Types are plain names compared by equality. A scope maps a name to
// its type, or to "no type" for a name declared without one: that entry still hides outer
// bindings of the name, so a use never borrows the type of an unrelated outer variable.
//
// Most nodes are inferred children first, in field order, each block and switch body in a scope
// of its own; then the node's own rule runs: type_of_node() for an expression, finish() for a
// statement that records something. The few nodes whose scopes or order differ have a walk().
#include "infer/inferencer.h"

#include <algorithm>
#include <cstdint>
#include <string_view>
#include <vector>

#include "base/operators.h"
#include "base/prefetch.h"
#include "base/scoped_table.h"
#include "tolu/builder.h"
#include "tolu/children.h"

namespace tolu {
namespace {

using namespace ast;

// A type: an interned name of the tree's storage, absent for "no type".
using Type = Name;

// The types the rules name, entered in the tree's name table once per walk.
struct Types {
  explicit Types(NameTable& names)
      : number(names.intern("Number")),
        string(names.intern("String")),
        boolean(names.intern("Boolean")),
        binary_string(names.intern("BinaryString")),
        null(names.intern("Null")),
        regexp(names.intern("Regexp")),
        array(names.intern("Array")),
        set(names.intern("Set")),
        bag(names.intern("Bag")),
        dict(names.intern("Dict")),
        pair_list(names.intern("PairList")),
        function(names.intern("Function")),
        trait(names.intern("Trait")),
        imported(names.intern("Imported")),
        exception(names.intern("Exception")),
        task(names.intern("Task")),
        unknown(names.intern("Unknown")) {}

  Name number, string, boolean, binary_string, null, regexp, array, set, bag, dict, pair_list,
      function, trait, imported, exception, task, unknown;
};

// The declared-type check: 2 when either type is unknown, else 0 when they agree, 1 when not.
TypeCheck type_check(Type declared, Type inferred) {
  if (!declared.present() || !inferred.present()) return TypeCheck::Unknown;
  return declared == inferred ? TypeCheck::No : TypeCheck::Yes;
}

// A type written in the source, if any.
Type declared(const OptionalType& annotation) {
  return annotation ? *annotation : Type();
}

// The type a declaration binds: the declared one, else the inferred one.
Type binding_type(const OptionalType& annotation, Type inferred) {
  return annotation ? *annotation : inferred;
}

// The type recorded on an expression.
Type type_of(const Expression& e) {
  return e.inferred_type().name();
}

Type same_type(const Expression& a, const Expression& b) {
  if (a.inferred_type() && a.inferred_type() == b.inferred_type()) return type_of(a);
  return Type();
}

Type infer_new_type(const Expression& e) {
  if (const auto* identifier = e.as<Identifier>()) return identifier->name;
  if (const auto* call = e.as<CallExpression>()) {
    if (const auto* callee = call->callee.as<Identifier>()) return callee->name;
  }
  return Type();
}

// The result types the operator table names outright; the others depend on the operands.
Type fixed_type(ResultType result, const Types& types) {
  switch (result) {
    case ResultType::Boolean:
      return types.boolean;
    case ResultType::Number:
      return types.number;
    case ResultType::String:
      return types.string;
    default:
      return Type();
  }
}

// The result types of the prefix operators.
Type unary_type(const UnaryExpression& e, const Types& types) {
  const ResultType result = operator_info(e.op_id).unary_result;
  if (result == ResultType::NewRule) return infer_new_type(e.operand);
  return fixed_type(result, types);
}

// The result types of the binary operators.
Type binary_type(const BinaryExpression& e, const Types& types) {
  const ResultType result = operator_info(e.op_id).result;
  if (result == ResultType::SameAsOperands) return same_type(e.left, e.right);
  if (result == ResultType::DefaultRule) {
    const Type left = type_of(e.left);
    if (left == types.dict) return types.dict;
    if (left == types.pair_list || left == types.null) return types.pair_list;
    return Type();
  }
  return fixed_type(result, types);
}

// The result type of an assignment, by operator: the value's, a fixed one, or failing both the
// target's (else the value's).
Type assignment_result_type(const AssignmentExpression& e, const Types& types) {
  const ResultType result = operator_info(e.op_id).result;
  if (result == ResultType::ValueType) return type_of(e.value);
  if (Type fixed = fixed_type(result, types); fixed.present()) return fixed;
  return type_of(e.target.inferred_type() ? e.target : e.value);
}

// Values by key, added while the signatures are collected and then sorted once, a later value
// for a key replacing an earlier one: a program's thousands of declared return types take one
// array rather than a heap block each.
template <class Key, class Value>
class SortedTable {
 public:
  void add(Key key, Value value) { entries_.push_back(Entry{key, value}); }
  // Sorts by key, keeping the last value added for each: a stable sort leaves the values of a
  // key in the order they were added, and a unique pass from the end keeps the last of each.
  void seal() {
    std::stable_sort(entries_.begin(), entries_.end(),
                     [](const Entry& a, const Entry& b) { return a.key < b.key; });
    const auto same_key = [](const Entry& a, const Entry& b) { return a.key == b.key; };
    const auto kept = std::unique(entries_.rbegin(), entries_.rend(), same_key);
    entries_.erase(entries_.begin(), kept.base());
  }
  // After seal(): the value for `key`, or null.
  const Value* find(Key key) const {
    const auto it = std::lower_bound(entries_.begin(), entries_.end(), key,
                                     [](const Entry& e, Key k) { return e.key < k; });
    return it != entries_.end() && it->key == key ? &it->value : nullptr;
  }

 private:
  struct Entry {
    Key key;
    Value value;
  };
  std::vector<Entry> entries_;
};

class Inferencer {
 public:
  explicit Inferencer(Storage& storage)
      : names_(storage.names), notes_(storage.notes), types_(storage.names) {
    scopes_.reserve(storage.names.id_limit());
    scopes_.push_scope();
  }

  void annotate(Program& program) {
    collect_signatures(program.statements);
    function_signatures_.seal();
    class_tables_.seal();
    method_signatures_.seal();
    List<Statement>& statements = program.statements;
    for (std::size_t i = 0; i < statements.size(); ++i) {
      prefetch_.top_level(statements, i);
      infer_statement(statements[i]);
    }
  }

 private:
  // ---- Signatures ----

  void collect_signatures(const List<Statement>& statements) {
    for (std::size_t i = 0; i < statements.size(); ++i) {
      prefetch_statement_node_ahead(statements, i);
      const Statement& s = statements[i];
      if (const auto* block = s.as<Block>()) {
        collect_signatures(block->block.statements);
      } else if (const auto* function = s.as<FunctionDeclaration>()) {
        if (function->return_type)
          function_signatures_.add(key(function->name).id(), *function->return_type);
      } else if (const auto* class_statement = s.as<Class>()) {
        collect_class_signatures(class_statement->declaration);
      }
    }
  }

  // Each class declaration with a typed method gets a table of its own; a later declaration of
  // the class's name with typed methods replaces the table the name had, not only its methods.
  void collect_class_signatures(const ClassDeclaration& declaration) {
    const std::uint32_t table = method_tables_++;
    bool typed = false;
    for (const ClassMember& member : declaration.members) {
      if (const auto* method = std::get_if<Method>(&member.node)) {
        if (method->declaration.return_type) {
          method_signatures_.add(method_key(table, key(method->declaration.name)),
                                 *method->declaration.return_type);
          typed = true;
        }
      } else if (const auto* nested = std::get_if<NestedClass>(&member.node)) {
        collect_class_signatures(nested->declaration);
      }
    }
    if (typed) class_tables_.add(key(declaration.name).id(), table);
  }

  static std::uint64_t method_key(std::uint32_t table, Name method) {
    return (std::uint64_t{table} << 32) | method.id();
  }

  // ---- Scopes ----

  class ReturnTypeGuard {
   public:
    ReturnTypeGuard(Inferencer& inferencer, Type return_type)
        : inferencer_(inferencer), saved_(inferencer.current_return_type_) {
      inferencer_.current_return_type_ = return_type;
    }
    ~ReturnTypeGuard() { inferencer_.current_return_type_ = saved_; }
    ReturnTypeGuard(const ReturnTypeGuard&) = delete;
    ReturnTypeGuard& operator=(const ReturnTypeGuard&) = delete;

   private:
    Inferencer& inferencer_;
    Type saved_;
  };

  // Records `type` for `name` in the innermost scope; an absent type records "no type", which
  // hides outer bindings. "Unknown" records nothing.
  void bind(Name name, Type type) {
    if (type == types_.unknown) return;
    scopes_.assign(key(name), type);
  }

  Type lookup(Name name) const {
    const Type* type = scopes_.find_value(key(name));
    return type ? *type : Type();
  }

  // `name` as a key of the tables. A tree built by hand may hold names of another table; those
  // are entered in this one.
  Name key(Name name) const { return name.table() == &names_ ? name : names_.intern(name.view()); }

  Type infer_lvalue_type(const Expression& target) const {
    if (const auto* identifier = target.as<Identifier>()) return lookup(identifier->name);
    return type_of(target);
  }

  void infer_parameters(List<Parameter>& parameters) {
    for (Parameter& p : parameters) {
      if (p.default_value) infer_expression(*p.default_value);
      const Type inferred = p.default_value ? type_of(*p.default_value) : Type();
      bind(p.name, binding_type(p.type_annotation, inferred));
    }
  }

  void infer_statements(List<Statement>& statements) {
    for (std::size_t i = 0; i < statements.size(); ++i) {
      prefetch_.nested(statements, i);
      infer_statement(statements[i]);
    }
  }

  void infer_scoped(List<Statement>& statements) {
    OpenScope scope(scopes_);
    infer_statements(statements);
  }

  // ---- Statements ----

  void infer_statement(Statement& statement) {
    ast::visit_node(
        [&](auto& s) {
          if constexpr (requires { this->walk(s); }) {
            walk(s);
          } else {
            infer_children(s);
            if constexpr (requires { this->finish(s); }) finish(s);
          }
        },
        statement.node());
  }

  template <class Node>
  void infer_children(Node& node) {
    for_each_child(node, Overloads{[&](Expression& e) { infer_expression(e); },
                                   [&](Statement& s) { infer_statement(s); },
                                   [&](BlockStatement& b) { infer_scoped(b.statements); },
                                   [&](List<Statement>& body) { infer_scoped(body); },
                                   [&](CatchClause& clause) { infer_catch_clause(clause); }});
  }

  void finish(VariableDeclaration& s) {
    const Type inferred = s.initializer ? type_of(*s.initializer) : Type();
    s.needs_type_check = type_check(declared(s.type_annotation), inferred);
    bind(s.name, binding_type(s.type_annotation, inferred));
  }

  // Each entry's key and default are inferred just before the entry is bound.
  void walk(DestructuringDeclaration& s) {
    infer_expression(s.initializer);
    for (DeclarationBindingEntry& entry : s.pattern.entries) {
      if (Expression* key = key_expression(entry.key)) infer_expression(*key);
      if (entry.default_value) infer_expression(*entry.default_value);
      entry.needs_type_check = entry.type_annotation ? TypeCheck::Yes : TypeCheck::Unknown;
      bind(entry.name, declared(entry.type_annotation));
    }
  }

  void walk(FunctionDeclaration& s) {
    bind(s.name, types_.function);
    ReturnTypeGuard return_type(*this, declared(s.return_type));
    OpenScope scope(scopes_);
    infer_parameters(s.parameters);
    infer_statements(s.body.statements);
  }

  void walk(Class& s) {
    bind(s.declaration.name, s.declaration.name);
    OpenScope scope(scopes_);
    infer_class(s.declaration.members);
  }

  void walk(Trait& s) {
    bind(s.declaration.name, types_.trait);
    OpenScope scope(scopes_);
    for (ClassMember& member : s.declaration.members) {
      if (auto* method = std::get_if<Method>(&member.node)) infer_method(method->declaration);
    }
  }

  // The condition of an import is not inferred.
  void walk(Import& s) {
    for (const ImportSpecifier& specifier : s.specifiers)
      bind(specifier.local_name, types_.imported);
  }

  // An else branch has a scope of its own, even when it is another if.
  void walk(If& s) {
    infer_expression(s.condition);
    infer_scoped(s.then_block.statements);
    if (s.else_branch) {
      OpenScope scope(scopes_);
      infer_statement(*s.else_branch);
    }
  }

  void walk(For& s) {
    infer_expression(s.iterable);
    {
      OpenScope scope(scopes_);
      bind(s.variable, Type());  // declared, with no type known
      infer_statements(s.body.statements);
    }
    if (s.else_block) infer_scoped(s.else_block->statements);
  }

  // A catch body shares the scope of its binding.
  void infer_catch_clause(CatchClause& clause) {
    OpenScope scope(scopes_);
    if (clause.binding) {
      const auto& type_name = clause.binding->type_name;
      bind(clause.binding->name, type_name ? *type_name : types_.exception);
    }
    infer_statements(clause.body.statements);
  }

  void finish(Return& s) {
    s.needs_type_check =
        s.value ? type_check(current_return_type_, type_of(*s.value)) : TypeCheck::Unknown;
  }

  // The guarded statement is inferred before its condition.
  void walk(PostfixConditional& s) {
    infer_statement(s.statement.statement);
    infer_expression(s.statement.condition);
  }

  // ---- Classes ----

  void infer_class(List<ClassMember>& members) {
    for (ClassMember& member : members) {
      if (auto* field = std::get_if<Field>(&member.node)) {
        FieldDeclaration& f = field->declaration;
        if (f.initializer) infer_expression(*f.initializer);
        const Type inferred = f.initializer ? type_of(*f.initializer) : Type();
        f.needs_type_check = type_check(declared(f.type_annotation), inferred);
        bind(f.name, binding_type(f.type_annotation, inferred));
      } else if (auto* method = std::get_if<Method>(&member.node)) {
        infer_method(method->declaration);
      } else if (auto* nested = std::get_if<NestedClass>(&member.node)) {
        OpenScope scope(scopes_);
        infer_class(nested->declaration.members);
      }
    }
  }

  void infer_method(MethodDeclaration& method) {
    ReturnTypeGuard return_type(*this, declared(method.return_type));
    OpenScope scope(scopes_);
    infer_parameters(method.parameters);
    infer_statements(method.body.statements);
  }

  // ---- Expressions ----

  void infer_expression(Expression& e) {
    const TypeName type(ast::visit_node(
        [&](auto& node) -> Type {
          if constexpr (requires { this->walk(node); }) {
            return walk(node);
          } else {
            infer_children(node);
            return type_of_node(node);
          }
        },
        e.node()));
    // A node whose type is the one it has keeps its notes: no look-up (0.6 instructions a byte).
    const ExpressionNotes& notes = notes_.at(e.data()->notes_number_value(), e.data());
    if (type.name().identity() != notes.inferred_type.name().identity())
      e.set_notes(notes_.find_or_add(notes.source_file, type));
  }

  // The type of an expression whose children have their types.
  Type type_of_node(const Identifier& e) const { return lookup(e.name); }
  Type type_of_node(const NumberLiteral&) const { return types_.number; }
  Type type_of_node(const StringLiteral&) const { return types_.string; }
  Type type_of_node(const BinaryStringLiteral&) const { return types_.binary_string; }
  Type type_of_node(const BooleanLiteral&) const { return types_.boolean; }
  Type type_of_node(const NullLiteral&) const { return types_.null; }
  Type type_of_node(const RegexLiteral&) const { return types_.regexp; }
  Type type_of_node(const TemplateLiteral&) const { return types_.string; }
  Type type_of_node(const ArrayLiteral&) const { return types_.array; }
  Type type_of_node(const SetLiteral&) const { return types_.set; }
  Type type_of_node(const BagLiteral&) const { return types_.bag; }
  Type type_of_node(const DictLiteral&) const { return types_.dict; }
  Type type_of_node(const PairListLiteral&) const { return types_.pair_list; }
  Type type_of_node(const UnaryExpression& e) const { return unary_type(e, types_); }
  Type type_of_node(const BinaryExpression& e) const { return binary_type(e, types_); }
  static Type type_of_node(const TernaryExpression& e) {
    return same_type(e.then_branch, e.else_branch);
  }
  static Type type_of_node(const FallbackExpression& e) { return same_type(e.left, e.right); }
  static Type type_of_node(const MemberExpression&) { return Type(); }
  static Type type_of_node(const DynamicMemberCall&) { return Type(); }
  static Type type_of_node(const IndexExpression&) { return Type(); }
  static Type type_of_node(const SliceExpression& e) { return type_of(e.object); }
  static Type type_of_node(const DictAccessExpression&) { return Type(); }
  Type type_of_node(const PostfixExpression&) const { return types_.number; }
  static Type type_of_node(const TryExpression&) { return Type(); }
  static Type type_of_node(const AwaitExpression&) { return Type(); }
  Type type_of_node(const SpawnExpression&) const { return types_.task; }
  static Type type_of_node(const SuperCallExpression&) { return Type(); }

  // An assignment to a name binds it, keeping a type the name already has.
  Type type_of_node(AssignmentExpression& e) {
    const Type result = assignment_result_type(e, types_);
    e.needs_type_check = type_check(result, infer_lvalue_type(e.target));
    if (const auto* identifier = e.target.as<Identifier>()) {
      const Type current = lookup(identifier->name);
      if (current.present()) {
        bind(identifier->name, current);
      } else if (result.present()) {
        bind(identifier->name, result);
      }
    }
    return result;
  }

  // A call of a declared function, or of a method of a class-typed object, has the declared
  // return type.
  Type type_of_node(const CallExpression& e) const {
    if (const auto* callee = e.callee.as<Identifier>()) {
      const Type* type = function_signatures_.find(key(callee->name).id());
      return type ? *type : Type();
    }
    if (const auto* member = e.callee.as<MemberExpression>()) {
      const Type object_type = type_of(member->object);
      if (!object_type.present()) return Type();
      const std::uint32_t* table = class_tables_.find(key(object_type).id());
      if (!table) return Type();
      const Type* type = method_signatures_.find(method_key(*table, key(member->name)));
      return type ? *type : Type();
    }
    return Type();
  }

  Type type_of_node(DeclarationExpression& e) {
    const Type inferred = e.initializer ? type_of(*e.initializer) : Type();
    e.needs_type_check = type_check(declared(e.type_annotation), inferred);
    const Type bound = binding_type(e.type_annotation, inferred);
    bind(e.name, bound);
    return bound == types_.unknown ? Type() : bound;
  }

  // A do block has the type of its last statement's value.
  static Type type_of_node(const DoExpression& e) {
    if (e.body.statements.empty()) return Type();
    const Statement& last = e.body.statements.back();
    if (const auto* r = last.as<Return>()) return r->value ? type_of(*r->value) : Type();
    if (const auto* s = last.as<ExpressionStatement>()) return type_of(s->expression);
    return Type();
  }

  Type walk(LambdaExpression& e) {
    OpenScope scope(scopes_);
    infer_parameters(e.parameters);
    infer_expression(e.body);
    return types_.function;
  }

  Type walk(FunctionExpression& e) {
    ReturnTypeGuard return_type(*this, declared(e.return_type));
    OpenScope scope(scopes_);
    infer_parameters(e.parameters);
    infer_statements(e.body.statements);
    return types_.function;
  }

  NameTable& names_;
  ast::NotesTable& notes_;
  const Types types_;
  ScopedTable<Type, Name> scopes_;  // the program scope stays at the bottom
  Type current_return_type_;
  // Declared return types: of functions by name id; of methods by their class declaration's
  // table (class_tables_, by the class's name id) and name id.
  SortedTable<std::uint32_t, Type> function_signatures_;
  SortedTable<std::uint32_t, std::uint32_t> class_tables_;
  SortedTable<std::uint64_t, Type> method_signatures_;
  std::uint32_t method_tables_ = 0;
  StatementPrefetch prefetch_;
};

}  // namespace

// Kept out of line even where link-time optimisation would inline it, so that a profile of the
// whole pipeline finds inference as one call, as it finds the other stages (bench/instructions.sh).
[[gnu::noinline]] void annotate_program(ast::Program& program) {
  Inferencer(*program.storage).annotate(program);
}

}  // namespace tolu
