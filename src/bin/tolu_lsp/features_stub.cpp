// Placeholder definitions until each feature has its own source.
#include "bin/tolu_lsp/features.h"

namespace tolu::lsp {

std::vector<Symbol> document_symbols(const Analysis&) {
  return {};
}
std::vector<Fold> folding_ranges(const Analysis&, std::string_view) {
  return {};
}
std::vector<ast::Span> selection_chain(const Analysis&, std::uint32_t) {
  return {};
}
std::optional<Hover> hover(const Analysis&, std::uint32_t) {
  return std::nullopt;
}
std::vector<std::string_view> semantic_token_types() {
  return {"parameter", "variable", "function", "class"};
}
std::vector<std::string_view> semantic_token_modifiers() {
  return {"declaration", "readonly"};
}
std::vector<SemanticToken> semantic_tokens(const Analysis&) {
  return {};
}
std::vector<InlayHint> inlay_hints(const Analysis&, ast::Span) {
  return {};
}
std::optional<ast::Span> definition(const Analysis&, std::uint32_t) {
  return std::nullopt;
}
std::vector<Highlight> document_highlights(const Analysis&, std::uint32_t) {
  return {};
}
std::vector<ast::Span> references(const Analysis&, std::uint32_t, bool) {
  return {};
}
std::variant<ast::Span, std::string> prepare_rename(const Analysis&, std::uint32_t) {
  return std::string("not yet available");
}
std::variant<std::vector<ast::Span>, std::string> rename(const Analysis&, std::string_view,
                                                         std::uint32_t, std::string_view) {
  return std::string("not yet available");
}

}  // namespace tolu::lsp
