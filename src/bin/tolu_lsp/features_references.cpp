// Definition, document highlights and references: the declaration of a name and its uses.
#include "bin/tolu_lsp/features.h"
#include "bin/tolu_lsp/features_internal.h"

namespace tolu::lsp {
namespace {

// The written name of the declaration under the cursor, if it has one.
std::optional<ast::Span> written_declaration(const Analysis& analysis, const detail::NameAt& at) {
  const ast::Span span = analysis.bindings.declarations[at.declaration].name_span;
  if (detail::is_empty(span)) return std::nullopt;
  return span;
}

}  // namespace

std::optional<ast::Span> definition(const Analysis& analysis, std::uint32_t offset) {
  if (!analysis.program) return std::nullopt;
  const auto at = detail::name_at(analysis.bindings, offset);
  if (!at) return std::nullopt;
  return written_declaration(analysis, *at);
}

std::vector<Highlight> document_highlights(const Analysis& analysis, std::uint32_t offset) {
  std::vector<Highlight> highlights;
  if (!analysis.program) return highlights;
  const auto at = detail::name_at(analysis.bindings, offset);
  if (!at) return highlights;
  // The declaration binds the name: it counts as a write.
  if (auto declared = written_declaration(analysis, *at)) highlights.push_back({*declared, true});
  for (const sema::Use* use : analysis.bindings.uses_of(at->declaration))
    highlights.push_back({use->span, use->is_write});
  std::sort(highlights.begin(), highlights.end(),
            [](const Highlight& a, const Highlight& b) { return a.span.start < b.span.start; });
  return highlights;
}

std::vector<ast::Span> references(const Analysis& analysis, std::uint32_t offset,
                                  bool include_declaration) {
  std::vector<ast::Span> spans;
  if (!analysis.program) return spans;
  const auto at = detail::name_at(analysis.bindings, offset);
  if (!at) return spans;
  if (include_declaration) {
    if (auto declared = written_declaration(analysis, *at)) spans.push_back(*declared);
  }
  for (const sema::Use* use : analysis.bindings.uses_of(at->declaration))
    spans.push_back(use->span);
  std::sort(spans.begin(), spans.end(), [](ast::Span a, ast::Span b) { return a.start < b.start; });
  return spans;
}

}  // namespace tolu::lsp
