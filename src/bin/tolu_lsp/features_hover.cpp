// Hover and inlay hints: what the front end knows of a name.
#include "bin/tolu_lsp/features.h"
#include "bin/tolu_lsp/features_internal.h"

namespace tolu::lsp {
namespace {

using namespace ast;
using sema::DeclarationKind;

std::string_view known(std::string_view type) {
  return type == "Unknown" ? std::string_view() : type;
}

// The inferred type of the identifier written at `span`, if the tree gives one.
std::string_view type_at(const Program& program, Span span) {
  std::string_view type;
  detail::walk_spans(program, [&](const auto& node, Span at) {
    if (!detail::is_empty(at) && !detail::encloses(at, span)) return false;
    if constexpr (std::is_same_v<std::remove_cvref_t<decltype(node)>, Expression>) {
      if (at == span && node.template is<Identifier>() && node.inferred_type())
        type = *node.inferred_type();
    }
    return type.empty();
  });
  return known(type);
}

// How a declaration reads in code: "let", "const", "function", ...
std::string_view introducer(const Analysis& analysis, const sema::Declaration& d) {
  switch (d.kind) {
    case DeclarationKind::Variable:
      return "let";
    case DeclarationKind::Constant:
      return "const";
    case DeclarationKind::Parameter:
      return "parameter";
    case DeclarationKind::Function:
      return "function";
    case DeclarationKind::Class:
      return "class";
    case DeclarationKind::Trait:
      return "trait";
    case DeclarationKind::Import:
      return "import";
    case DeclarationKind::CatchBinding:
      return "catch";
    case DeclarationKind::LoopVariable:
      return "for";
    case DeclarationKind::Self:
      return "self";
    case DeclarationKind::Method:
      return "method";
    case DeclarationKind::Predeclared:
      return "predeclared";
    case DeclarationKind::Field: {
      // A field's declaration starts with its kind.
      const Token* first = detail::token_at(analysis.tokens, d.node_span.start);
      return first && first->text == "const" ? "const" : "let";
    }
  }
  return "let";
}

std::string_view scope_of(const sema::Declaration& d, const sema::Use* use) {
  if (d.kind == DeclarationKind::Predeclared) return "predeclared by the runtime";
  if (d.kind == DeclarationKind::Field || d.kind == DeclarationKind::Method) return "class member";
  if (use && use->is_captured) return "captured from an enclosing function";
  return d.is_global ? "global" : "local";
}

bool carries_type_check(DeclarationKind kind) {
  return kind == DeclarationKind::Variable || kind == DeclarationKind::Constant ||
         kind == DeclarationKind::Field;
}

std::string_view type_check_text(TypeCheck check) {
  switch (check) {
    case TypeCheck::Yes:
      return "needed";
    case TypeCheck::No:
      return "not needed";
    case TypeCheck::Unknown:
      break;
  }
  return "not known";
}

}  // namespace

std::optional<Hover> hover(const Analysis& analysis, std::uint32_t offset) {
  if (!analysis.program) return std::nullopt;
  const auto found = detail::name_at(analysis.bindings, offset);
  if (!found) return std::nullopt;
  const sema::Declaration& d = analysis.bindings.declarations[found->declaration];
  std::string_view type = found->use ? type_at(analysis.program.value(), found->span) : "";
  if (type.empty()) type = known(d.type);
  // Functions, methods, classes and traits say what they are already.
  if (d.kind == DeclarationKind::Function || d.kind == DeclarationKind::Method ||
      d.kind == DeclarationKind::Class || d.kind == DeclarationKind::Trait)
    type = {};

  std::string markdown = "```tolu\n";
  markdown += introducer(analysis, d);
  markdown += " " + d.name;
  if (!type.empty()) markdown += ": " + std::string(type);
  markdown += "\n```\n\n";
  markdown += scope_of(d, found->use);
  if (carries_type_check(d.kind)) {
    markdown += " · type check: ";
    markdown += type_check_text(d.needs_type_check);
  }
  if (found->use && found->use->is_write) markdown += " · written here";
  return Hover{found->span, std::move(markdown)};
}

namespace {

// Hints for the declarations the tree gives an inferred type but no annotation.
class HintCollector {
 public:
  HintCollector(const TokenVector& tokens, Span range) : tokens_(tokens), range_(range) {}

  template <class Node>
  bool operator()(const Node& node, Span span) {
    if (!detail::is_empty(span) && (span.end < range_.start || span.start > range_.end))
      return false;
    if constexpr (std::is_same_v<Node, Statement>) {
      if (const auto* v = node.template as<VariableDeclaration>()) {
        if (!v->type_annotation && v->initializer)
          hint(v->name, span, v->initializer->inferred_type());
      }
    } else if constexpr (std::is_same_v<Node, Expression>) {
      if (const auto* d = node.template as<DeclarationExpression>()) {
        if (!d->type_annotation) hint(d->name, span, node.inferred_type());
      }
    } else if constexpr (std::is_same_v<Node, FieldDeclaration>) {
      if (!node.type_annotation && node.initializer)
        hint(node.name, span, node.initializer->inferred_type());
    }
    return true;
  }

  std::vector<InlayHint> hints;

 private:
  void hint(Name name, Span node, const TypeName& type) {
    if (!type || known(*type).empty()) return;
    const auto written = detail::name_token_in(tokens_, name.view(), node);
    if (!written || written->end < range_.start || written->end > range_.end) return;
    hints.push_back(InlayHint{written->end, ": " + std::string(*type)});
  }

  const TokenVector& tokens_;
  Span range_;
};

}  // namespace

std::vector<InlayHint> inlay_hints(const Analysis& analysis, Span range) {
  if (!analysis.program) return {};
  HintCollector collector(analysis.tokens, range);
  detail::walk_spans(analysis.program.value(), collector);
  std::sort(collector.hints.begin(), collector.hints.end(),
            [](const InlayHint& a, const InlayHint& b) { return a.offset < b.offset; });
  return std::move(collector.hints);
}

}  // namespace tolu::lsp
