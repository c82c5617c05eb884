// Semantic tokens: every written name, classified by what it names and where it was declared.
#include "bin/tolu_lsp/features.h"
#include "bin/tolu_lsp/features_internal.h"

namespace tolu::lsp {
namespace {

using sema::DeclarationKind;

// Indexes into semantic_token_types().
enum TokenType : std::uint32_t {
  kParameter,
  kVariable,
  kFunction,
  kClass,
  kInterface,
  kMethod,
  kProperty,
};

// Bits over semantic_token_modifiers().
enum TokenModifier : std::uint32_t {
  kDeclaration = 1u << 0,
  kReadonly = 1u << 1,
  kDefaultLibrary = 1u << 2,
  kGlobal = 1u << 3,
  kCaptured = 1u << 4,
  kModification = 1u << 5,
};

std::uint32_t type_of(const sema::Declaration& d) {
  switch (d.kind) {
    case DeclarationKind::Parameter:
      return kParameter;
    case DeclarationKind::Function:
      return kFunction;
    case DeclarationKind::Class:
      return kClass;
    case DeclarationKind::Trait:
      return kInterface;
    case DeclarationKind::Method:
      return kMethod;
    case DeclarationKind::Field:
      return kProperty;
    case DeclarationKind::Predeclared:
      // The runtime's classes and the abstract types, or one of its "__" globals.
      return d.name.starts_with("__") ? kVariable : kClass;
    default:
      return kVariable;
  }
}

std::uint32_t modifiers_of(const sema::Declaration& d) {
  std::uint32_t bits = 0;
  if (d.kind == DeclarationKind::Constant || d.kind == DeclarationKind::Function ||
      d.kind == DeclarationKind::Class || d.kind == DeclarationKind::Trait ||
      d.kind == DeclarationKind::Predeclared)
    bits |= kReadonly;
  if (d.kind == DeclarationKind::Predeclared) bits |= kDefaultLibrary;
  if (d.is_global) bits |= kGlobal;
  return bits;
}

}  // namespace

std::vector<std::string_view> semantic_token_types() {
  return {"parameter", "variable", "function", "class", "interface", "method", "property"};
}

std::vector<std::string_view> semantic_token_modifiers() {
  return {"declaration", "readonly", "defaultLibrary", "global", "captured", "modification"};
}

std::vector<SemanticToken> semantic_tokens(const Analysis& analysis) {
  std::vector<SemanticToken> tokens;
  if (!analysis.program) return tokens;
  const auto& declarations = analysis.bindings.declarations;
  for (const sema::Declaration& d : declarations) {
    if (detail::is_empty(d.name_span)) continue;
    tokens.push_back({d.name_span, type_of(d), modifiers_of(d) | kDeclaration});
  }
  for (const sema::Use& u : analysis.bindings.uses) {
    if (detail::is_empty(u.span) || u.declaration >= declarations.size()) continue;
    const sema::Declaration& d = declarations[u.declaration];
    std::uint32_t bits = modifiers_of(d);
    if (u.is_captured) bits |= kCaptured;
    if (u.is_write) bits |= kModification;
    tokens.push_back({u.span, type_of(d), bits});
  }
  std::stable_sort(tokens.begin(), tokens.end(),
                   [](const auto& a, const auto& b) { return a.span.start < b.span.start; });
  // A name is one token: drop any that would overlap the one before it.
  std::vector<SemanticToken> sorted;
  sorted.reserve(tokens.size());
  for (const SemanticToken& t : tokens) {
    if (sorted.empty() || sorted.back().span.end <= t.span.start) sorted.push_back(t);
  }
  return sorted;
}

}  // namespace tolu::lsp
