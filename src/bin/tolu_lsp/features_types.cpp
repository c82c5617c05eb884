// The names a program writes as types, base classes and composed traits, found where their
// grammar writes them, as the binding index finds the ones it records as uses.
#include "bin/tolu_lsp/features_internal.h"
#include "sema/name_tokens.h"

namespace tolu::lsp::detail {
namespace {

using namespace ast;
using sema::NameSite;

bool overlaps(Span a, Span b) {
  return a.start <= b.end && b.start <= a.end;
}

class TypeCollector {
 public:
  TypeCollector(const TokenVector& tokens, Span within) : tokens_(tokens), within_(within) {}

  template <class Node>
  bool operator()(const Node& node, Span span) {
    if (!is_empty(span) && !overlaps(span, within_)) return false;
    if constexpr (std::is_same_v<Node, Statement>) {
      if (const auto* v = node.template as<VariableDeclaration>()) {
        annotation(v->name, v->type_annotation, span, NameSite::TypedAfterKeyword);
      } else if (const auto* f = node.template as<FunctionDeclaration>()) {
        return_type(f->return_type, span, f->body.span, f->is_forward);
      }
    } else if constexpr (std::is_same_v<Node, Expression>) {
      if (const auto* d = node.template as<DeclarationExpression>()) {
        annotation(d->name, d->type_annotation, span, NameSite::TypedAfterKeyword);
      } else if (const auto* f = node.template as<FunctionExpression>()) {
        return_type(f->return_type, span, f->body.span, false);
      } else if (const auto* u = node.template as<UnaryExpression>()) {
        const auto* call = u->operand.template as<CallExpression>();
        const std::uint32_t from = call ? call->callee.span().end : span.end;
        composition(std::nullopt, u->traits, span, from, call != nullptr);
      }
    } else if constexpr (std::is_same_v<Node, Parameter>) {
      annotation(node.name, node.type_annotation, span, NameSite::Parameter);
    } else if constexpr (std::is_same_v<Node, CatchBinding>) {
      annotation(node.name, node.type_name, span, NameSite::CatchBinding);
    } else if constexpr (std::is_same_v<Node, DeclarationBindingEntry>) {
      annotation(node.name, node.type_annotation, span, NameSite::BindingEntry);
    } else if constexpr (std::is_same_v<Node, FieldDeclaration>) {
      annotation(node.name, node.type_annotation, span, NameSite::TypedAfterKeyword);
    } else if constexpr (std::is_same_v<Node, MethodDeclaration>) {
      return_type(node.return_type, span, node.body.span, node.is_forward);
    } else if constexpr (std::is_same_v<Node, ClassDeclaration>) {
      const auto written =
          sema::find_declared_name(tokens_, node.name.view(), span, NameSite::Class);
      const std::uint32_t from = written ? written->name.end : span.end;
      composition(node.base_class, node.traits, span, from, true);
    }
    return true;
  }

  std::vector<WrittenType> types;

 private:
  // The type written before the name a node declares.
  void annotation(Name name, const OptionalType& type, Span node, NameSite site) {
    if (!type) return;
    const auto written = sema::find_declared_name(tokens_, name.view(), node, site);
    add(*type, written ? written->type : std::nullopt, TypeRole::Annotation);
  }

  // The return type written after "->", before the body.
  void return_type(const OptionalType& type, Span node, Span body, bool is_forward) {
    if (!type) return;
    std::optional<Span> written;
    if (!is_forward) written = sema::find_return_type(tokens_, type->view(), node, body.start);
    add(*type, written, TypeRole::Annotation);
  }

  void composition(Optional<Name> base, const List<Name>& traits, Span within, std::uint32_t from,
                   bool searched) {
    std::vector<Name> names;
    if (base) names.push_back(*base);
    names.insert(names.end(), traits.begin(), traits.end());
    if (names.empty()) return;
    std::vector<std::optional<Span>> written(names.size());
    if (searched) written = sema::find_composition_names(tokens_, names, within, from);
    for (std::size_t i = 0; i < names.size(); ++i) {
      add(names[i], written[i], base && i == 0 ? TypeRole::BaseClass : TypeRole::Trait);
    }
  }

  void add(Name name, std::optional<Span> written, TypeRole role) {
    if (written && !overlaps(*written, within_)) return;
    types.push_back(WrittenType{name.view(), written, role});
  }

  const TokenVector& tokens_;
  Span within_;
};

}  // namespace

const sema::Use* use_at(const sema::BindingIndex& bindings, Span span) {
  const auto& uses = bindings.uses;
  auto it = std::lower_bound(
      uses.begin(), uses.end(), span.start,
      [](const sema::Use& u, std::uint32_t start) { return u.span.start < start; });
  return it != uses.end() && it->span == span ? &*it : nullptr;
}

std::vector<WrittenType> written_types(const Analysis& analysis, Span within) {
  if (!analysis.program) return {};
  TypeCollector collector(analysis.tokens, within);
  walk_spans(analysis.program.value(), collector);
  return std::move(collector.types);
}

}  // namespace tolu::lsp::detail
