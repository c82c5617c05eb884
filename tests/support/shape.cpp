#include "support/shape.h"

#include "tolu/front_end.h"

namespace tolu::testing {
namespace {

using namespace ast;
using testing::shape;

std::string shape(const Statement& statement);

std::string join(const std::vector<std::string>& items, std::string_view separator) {
  std::string out;
  for (std::size_t i = 0; i < items.size(); ++i)
    out += (i ? std::string(separator) : "") + items[i];
  return out;
}

std::string shape(const DictKey& key) {
  if (auto* n = std::get_if<NameKey>(&key.node)) return n->name.str();
  if (auto* s = std::get_if<StringKey>(&key.node)) return "\"" + std::string(s->value) + "\"";
  return "(" + shape(std::get<ExpressionKey>(key.node).expression) + ")";
}

std::string shape(const List<CallArgument>& arguments) {
  std::vector<std::string> items;
  for (const auto& a : arguments) {
    if (auto* named = std::get_if<Stored<Named>>(&a.node)) {
      items.push_back(shape((*named)->key) + ": " + shape(a.value));
    } else if (std::holds_alternative<Spread>(a.node)) {
      items.push_back("..." + shape(a.value));
    } else {
      items.push_back(shape(a.value));
    }
  }
  return "(" + join(items, ", ") + ")";
}

std::string shape(const List<Expression>& elements) {
  std::vector<std::string> items;
  for (const auto& e : elements) items.push_back(shape(e));
  return join(items, ", ");
}

std::string shape(const List<DictEntry>& entries) {
  std::vector<std::string> items;
  for (const auto& e : entries) items.push_back(shape(e.key) + ": " + shape(e.value));
  return join(items, ", ");
}

std::string shape(const List<TemplatePart>& parts) {
  std::string out;
  for (const auto& p : parts) {
    if (auto* t = std::get_if<Text>(&p.node)) {
      out += t->text;
    } else {
      out += "${" + shape(std::get<Interpolation>(p.node).expression) + "}";
    }
  }
  return out;
}

std::string shape(const List<Parameter>& parameters) {
  std::vector<std::string> items;
  for (const auto& p : parameters) {
    std::string item = (p.is_variadic ? "..." : "") +
                       (p.type_annotation ? *p.type_annotation + " " : "") + p.name +
                       (p.is_optional ? "?" : "");
    if (p.default_value) item += " := " + shape(*p.default_value);
    items.push_back(item);
  }
  return "(" + join(items, ", ") + ")";
}

std::string shape(const BlockStatement& block) {
  std::vector<std::string> items;
  for (const auto& s : block.statements) items.push_back(shape(s));
  return "{" + join(items, "; ") + "}";
}

struct ExpressionShape {
  std::string operator()(const Identifier& n) const { return n.name.str(); }
  std::string operator()(const NumberLiteral& n) const { return std::string(n.text); }
  std::string operator()(const StringLiteral& n) const {
    return "\"" + std::string(n.value) + "\"";
  }
  std::string operator()(const BinaryStringLiteral& n) const {
    return "'" + std::string(n.bytes.begin(), n.bytes.end()) + "'";
  }
  std::string operator()(const RegexLiteral& n) const {
    return "/" + std::string(n.pattern) + "/" + std::string(n.flags);
  }
  std::string operator()(const BooleanLiteral& n) const { return n.value ? "true" : "false"; }
  std::string operator()(const NullLiteral&) const { return "null"; }
  std::string operator()(const ArrayLiteral& n) const { return "[" + shape(n.elements) + "]"; }
  std::string operator()(const SetLiteral& n) const { return "<<" + shape(n.elements) + ">>"; }
  std::string operator()(const BagLiteral& n) const { return "<<<" + shape(n.elements) + ">>>"; }
  std::string operator()(const DictLiteral& n) const { return "{" + shape(n.entries) + "}"; }
  std::string operator()(const PairListLiteral& n) const { return "{{" + shape(n.entries) + "}}"; }
  std::string operator()(const TemplateLiteral& n) const { return "`" + shape(n.parts) + "`"; }
  std::string operator()(const UnaryExpression& n) const {
    std::vector<std::string> names;
    for (const Name& name : n.traits) names.push_back(name.str());
    std::string traits = n.traits.empty() ? "" : " with " + join(names, ",");
    return "(" + n.op + traits + " " + shape(n.operand) + ")";
  }
  std::string operator()(const BinaryExpression& n) const {
    return "(" + shape(n.left) + " " + n.op + " " + shape(n.right) + ")";
  }
  std::string operator()(const TernaryExpression& n) const {
    return "(" + shape(n.condition) + " ? " + shape(n.then_branch) + " : " + shape(n.else_branch) +
           ")";
  }
  std::string operator()(const FallbackExpression& n) const {
    return "(" + shape(n.left) + " ?: " + shape(n.right) + ")";
  }
  std::string operator()(const AssignmentExpression& n) const {
    return "(" + shape(n.target) + " " + n.op + " " + shape(n.value) +
           (n.is_weak ? " but weak" : "") + ")";
  }
  std::string operator()(const CallExpression& n) const {
    return shape(n.callee) + shape(n.arguments);
  }
  std::string operator()(const MemberExpression& n) const { return shape(n.object) + "." + n.name; }
  std::string operator()(const DynamicMemberCall& n) const {
    return shape(n.object) + ".(" + shape(n.member) + ")" + shape(n.arguments);
  }
  std::string operator()(const IndexExpression& n) const {
    return shape(n.object) + "[" + shape(n.index) + "]";
  }
  std::string operator()(const SliceExpression& n) const {
    return shape(n.object) + "[" + (n.start ? shape(*n.start) : "") + ":" +
           (n.end ? shape(*n.end) : "") + "]";
  }
  std::string operator()(const DictAccessExpression& n) const {
    return shape(n.object) + "{" + shape(n.key) + "}";
  }
  std::string operator()(const PostfixExpression& n) const {
    return "(" + shape(n.operand) + n.op + ")";
  }
  std::string operator()(const LambdaExpression& n) const {
    return std::string(n.is_async ? "async " : "") + "fn" + shape(n.parameters) + " -> " +
           shape(n.body);
  }
  std::string operator()(const FunctionExpression& n) const {
    return std::string(n.is_async ? "async " : "") + "function" + shape(n.parameters) +
           (n.return_type ? " -> " + *n.return_type : "") + " " + shape(n.body);
  }
  std::string operator()(const DeclarationExpression& n) const {
    return "(" + n.kind + " " + (n.type_annotation ? *n.type_annotation + " " : "") + n.name +
           (n.initializer ? " := " + shape(*n.initializer) : "") + (n.is_weak ? " but weak" : "") +
           ")";
  }
  std::string operator()(const TryExpression& n) const {
    return "try " + shape(n.body) + " catch*" + std::to_string(n.catches.size());
  }
  std::string operator()(const DoExpression& n) const { return "do " + shape(n.body); }
  std::string operator()(const AwaitExpression& n) const { return "await " + shape(n.body); }
  std::string operator()(const SpawnExpression& n) const { return "spawn " + shape(n.body); }
  std::string operator()(const SuperCallExpression& n) const {
    return "super" + shape(n.arguments);
  }
};

std::string optional_shape(const Optional<Expression>& e) {
  return e ? " " + shape(*e) : "";
}

struct StatementShape {
  std::string operator()(const Block& n) const { return shape(n.block); }
  std::string operator()(const VariableDeclaration& n) const {
    return n.kind + " " + (n.type_annotation ? *n.type_annotation + " " : "") + n.name +
           (n.initializer ? " := " + shape(*n.initializer) : "") + (n.is_weak ? " but weak" : "");
  }
  std::string operator()(const DestructuringDeclaration& n) const {
    std::vector<std::string> items;
    for (const auto& e : n.pattern.entries) {
      items.push_back(shape(e.key) + ":" + (e.type_annotation ? *e.type_annotation + " " : "") +
                      e.name + (e.default_value ? " := " + shape(*e.default_value) : "") +
                      (e.is_weak ? " but weak" : ""));
    }
    return n.kind + " {" + join(items, ", ") + "} := " + shape(n.initializer);
  }
  std::string operator()(const FunctionDeclaration& n) const {
    if (n.is_forward) return std::string(n.is_async ? "async " : "") + "function " + n.name + ";";
    return std::string(n.is_async ? "async " : "") + "function " + n.name + shape(n.parameters) +
           (n.return_type ? " -> " + *n.return_type : "") + " " + shape(n.body);
  }
  std::string operator()(const Class& n) const { return "class " + n.declaration.name; }
  std::string operator()(const Trait& n) const { return "trait " + n.declaration.name; }
  std::string operator()(const Import& n) const {
    std::vector<std::string> items;
    for (const auto& s : n.specifiers)
      items.push_back(s.name == s.local_name ? s.name.str() : s.name + " as " + s.local_name);
    return "from " + std::string(n.module_path) + (n.is_try ? " try" : "") + " import " +
           (n.imports_all ? "*" : join(items, ", ")) +
           (n.condition ? " " + n.condition->keyword + " " + shape(n.condition->condition) : "");
  }
  std::string operator()(const If& n) const {
    return "if " + shape(n.condition) + " " + shape(n.then_block) +
           (n.else_branch ? " else " + shape(*n.else_branch) : "");
  }
  std::string operator()(const While& n) const {
    return "while " + shape(n.condition) + " " + shape(n.body);
  }
  std::string operator()(const For& n) const {
    return "for " + (n.binding_kind ? n.binding_kind->str() : "?") + " " + n.variable + " in " +
           shape(n.iterable) + " " + shape(n.body) +
           (n.else_block ? " else " + shape(*n.else_block) : "");
  }
  std::string operator()(const Switch& n) const {
    std::string out =
        "switch " + shape(n.discriminant) + (n.comparator ? " : " + *n.comparator : "") + " {";
    for (const auto& c : n.cases) {
      std::vector<std::string> body;
      for (const auto& s : c.body) body.push_back(shape(s));
      out += " case " + shape(c.values) + ": " + join(body, "; ") + ";";
    }
    if (n.default_body) {
      std::vector<std::string> body;
      for (const auto& s : *n.default_body) body.push_back(shape(s));
      out += " default: " + join(body, "; ") + ";";
    }
    return out + " }";
  }
  std::string operator()(const Try& n) const {
    std::string out = "try " + shape(n.body);
    for (const auto& c : n.catches) {
      out += " catch";
      if (c.binding)
        out +=
            "(" + (c.binding->type_name ? *c.binding->type_name + " " : "") + c.binding->name + ")";
      out += " " + shape(c.body);
    }
    return out;
  }
  std::string operator()(const Return& n) const { return "return" + optional_shape(n.value); }
  std::string operator()(const LoopControl& n) const { return n.keyword.str(); }
  std::string operator()(const Throw& n) const { return "throw " + shape(n.value); }
  std::string operator()(const Die& n) const { return "die " + shape(n.value); }
  std::string operator()(const PostfixConditional& n) const {
    return shape(n.statement.statement) + " " + n.statement.keyword + " " +
           shape(n.statement.condition);
  }
  std::string operator()(const Output& n) const {
    return n.keyword + (n.arguments.empty() ? "" : " " + shape(n.arguments));
  }
  std::string operator()(const ExpressionStatement& n) const { return shape(n.expression); }
};

std::string shape(const Statement& statement) {
  return ast::visit_node(StatementShape{}, statement.node());
}

}  // namespace

std::string shape(const ast::Expression& expression) {
  return ast::visit_node(ExpressionShape{}, expression.node());
}

std::string shape(const ast::Program& program) {
  std::vector<std::string> items;
  for (const auto& s : program.statements) items.push_back(shape(s));
  return join(items, "; ");
}

std::string describe_error(const ToluError& error) {
  return std::string(error_kind_name(error.kind())) + " " + std::to_string(error.line()) + ":" +
         std::to_string(error.column()) + " " + error.message();
}

std::string expression_shape(std::string_view source) {
  auto result = parse_expression_with_source_file(source, std::nullopt);
  return result ? shape(result.value()) : describe_error(result.error());
}

std::string program_shape(std::string_view source) {
  CompileOptions options;
  options.validate = false;
  options.infer_types = false;
  auto result = parse_program_with_compile_options_and_source_file(source, options, std::nullopt);
  if (!result) return describe_error(result.error());
  return shape(result.value());
}

}  // namespace tolu::testing
