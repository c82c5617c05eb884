// The document outline: what the program declares, nested as it is written.
#include <type_traits>

#include "bin/tolu_lsp/features.h"
#include "bin/tolu_lsp/features_internal.h"

namespace tolu::lsp {
namespace {

using namespace ast;

// The editor protocol's SymbolKind numbers.
enum SymbolKind : int {
  kClass = 5,
  kMethod = 6,
  kProperty = 7,
  kField = 8,
  kConstructor = 9,
  kInterface = 11,
  kFunction = 12,
  kVariable = 13,
  kConstant = 14,
};

std::string type_detail(const OptionalType& annotation, const TypeName& inferred) {
  if (annotation) return annotation->str();
  if (inferred && *inferred != "Unknown") return std::string(*inferred);
  return {};
}

std::string type_detail(const OptionalType& annotation, const Optional<Expression>& value) {
  return type_detail(annotation, value ? value->inferred_type() : TypeName());
}

std::string parameter_list(const List<Parameter>& parameters) {
  std::string text = "(";
  for (const Parameter& p : parameters) {
    if (text.size() > 1) text += ", ";
    if (p.is_variadic) text += "...";
    if (p.type_annotation) text += p.type_annotation->str() + " ";
    text += p.name.str();
    if (p.is_optional) text += "?";
  }
  return text + ")";
}

std::string signature(const List<Parameter>& parameters, const OptionalType& return_type) {
  std::string text = parameter_list(parameters);
  if (return_type) text += " -> " + return_type->str();
  return text;
}

// Collects the symbols below a node into `out`; a declaring node becomes a symbol whose children
// are the declarations inside it.
class Outliner {
 public:
  explicit Outliner(const TokenVector& tokens) : tokens_(tokens) {}

  template <class Node>
  void children(const Node& node, std::vector<Symbol>& out) {
    std::vector<Symbol>* saved = out_;
    out_ = &out;
    for_each_child(node, Overloads{[&](const Expression& e) { expression(e); },
                                   [&](const Statement& s) { statement(s); },
                                   [&](const ClassMember& m) { member(m); }});
    out_ = saved;
  }

 private:
  Symbol& add(std::string name, std::string detail, int kind, Span range) {
    const Span selection =
        detail::name_token_in(tokens_, name, range).value_or(Span{range.start, range.start});
    out_->push_back(Symbol{std::move(name), std::move(detail), kind, range, selection, {}});
    return out_->back();
  }

  template <class Node>
  void add_with_children(std::string name, std::string detail, int kind, Span range,
                         const Node& node) {
    std::vector<Symbol> inner;
    children(node, inner);
    Symbol& symbol = add(std::move(name), std::move(detail), kind, range);
    symbol.children = std::move(inner);
  }

  void statement(const Statement& s) {
    const Span range = s.span();
    if (const auto* v = s.as<VariableDeclaration>()) {
      const int kind = v->kind == "const" ? kConstant : kVariable;
      add_with_children(v->name.str(), type_detail(v->type_annotation, v->initializer), kind, range,
                        *v);
    } else if (const auto* d = s.as<DestructuringDeclaration>()) {
      for (const DeclarationBindingEntry& entry : d->pattern.entries) {
        const int kind = d->kind == "const" ? kConstant : kVariable;
        add(entry.name.str(), entry.type_annotation ? entry.type_annotation->str() : "", kind,
            entry.span);
      }
      children(*d, *out_);
    } else if (const auto* f = s.as<FunctionDeclaration>()) {
      add_with_children(f->name.str(), signature(f->parameters, f->return_type), kFunction, range,
                        *f);
    } else if (const auto* c = s.as<Class>()) {
      class_declaration(c->declaration);
    } else if (const auto* t = s.as<Trait>()) {
      trait_declaration(t->declaration);
    } else {
      children(s, *out_);
    }
  }

  void expression(const Expression& e) {
    if (const auto* d = e.as<DeclarationExpression>()) {
      const int kind = d->kind == "const" ? kConstant : kVariable;
      add_with_children(d->name.str(), type_detail(d->type_annotation, e.inferred_type()), kind,
                        e.span(), *d);
    } else {
      children(e, *out_);
    }
  }

  void class_declaration(const ClassDeclaration& c) {
    std::string detail = c.base_class ? "extends " + c.base_class->str() : std::string();
    add_with_children(c.name.str(), std::move(detail), kClass, c.span, c);
  }

  void trait_declaration(const TraitDeclaration& t) {
    add_with_children(t.name.str(), "", kInterface, t.span, t);
  }

  void member(const ClassMember& m) {
    if (const auto* field = std::get_if<Field>(&m.node)) {
      const FieldDeclaration& f = field->declaration;
      add_with_children(f.name.str(), type_detail(f.type_annotation, f.initializer),
                        f.kind == "const" ? kConstant : kField, f.span, f);
    } else if (const auto* method = std::get_if<Method>(&m.node)) {
      const MethodDeclaration& d = method->declaration;
      const int kind = d.name == "new" ? kConstructor : kMethod;
      std::string detail = signature(d.parameters, d.return_type);
      if (d.is_static) detail = "static " + detail;
      add_with_children(d.name.str(), std::move(detail), kind, d.span, d);
    } else if (const auto* nested = std::get_if<NestedClass>(&m.node)) {
      class_declaration(nested->declaration);
    } else if (const auto* trait = std::get_if<NestedTrait>(&m.node)) {
      trait_declaration(trait->declaration);
    }
  }

  const TokenVector& tokens_;
  std::vector<Symbol>* out_ = nullptr;
};

}  // namespace

std::vector<Symbol> document_symbols(const Analysis& analysis) {
  std::vector<Symbol> symbols;
  if (!analysis.program) return symbols;
  Outliner(analysis.tokens).children(analysis.program.value(), symbols);
  return symbols;
}

}  // namespace tolu::lsp
