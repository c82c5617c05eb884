// The language features of tolu-lsp, as pure functions of one good analysis of a document (an
// Analysis whose program is ok) and of character offsets into its text. Nothing here knows of
// JSON-RPC or of editor positions: the server converts positions to and from offsets, maps
// offsets through edits made since the analysis, and turns these results into messages.
//
// The analysis is expected to come from the default CompileOptions (no optimization): passes
// that fold or propagate constants drop identifiers from the tree, and with them their uses.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "front_end/analysis.h"
#include "tolu/syntax_tree.h"

namespace tolu::lsp {

// A node of the document outline. `kind` is the editor protocol's SymbolKind number; `range`
// covers the whole declaration, `selection` its name.
struct Symbol {
  std::string name;
  std::string detail;
  int kind = 0;
  ast::Span range;
  ast::Span selection;
  std::vector<Symbol> children;
};
std::vector<Symbol> document_symbols(const Analysis& analysis);

// A foldable run of lines, 0-based and inclusive; kind is "", "comment" or "imports".
struct Fold {
  std::uint32_t start_line = 0;
  std::uint32_t end_line = 0;
  std::string kind;
};
std::vector<Fold> folding_ranges(const Analysis& analysis, std::string_view text);

// The spans of the nodes around `offset`, innermost first, each strictly containing the one
// before, ending with the whole program.
std::vector<ast::Span> selection_chain(const Analysis& analysis, std::uint32_t offset);

struct Hover {
  ast::Span range;
  std::string markdown;
};
std::optional<Hover> hover(const Analysis& analysis, std::uint32_t offset);

// `type` indexes semantic_token_types(); `modifiers` is a bit set over semantic_token_modifiers().
struct SemanticToken {
  ast::Span span;
  std::uint32_t type = 0;
  std::uint32_t modifiers = 0;
};
std::vector<std::string_view> semantic_token_types();
std::vector<std::string_view> semantic_token_modifiers();
// Sorted by start, never overlapping.
std::vector<SemanticToken> semantic_tokens(const Analysis& analysis);

// A label (": Type") to show at `offset`.
struct InlayHint {
  std::uint32_t offset = 0;
  std::string label;
};
std::vector<InlayHint> inlay_hints(const Analysis& analysis, ast::Span range);

// The name at the declaration of the name under `offset`.
std::optional<ast::Span> definition(const Analysis& analysis, std::uint32_t offset);

struct Highlight {
  ast::Span span;
  bool is_write = false;
};
std::vector<Highlight> document_highlights(const Analysis& analysis, std::uint32_t offset);
std::vector<ast::Span> references(const Analysis& analysis, std::uint32_t offset,
                                  bool include_declaration);

// Rename: the span of the name under the cursor, or a message saying why it can't be renamed.
std::variant<ast::Span, std::string> prepare_rename(const Analysis& analysis, std::uint32_t offset);
// Every span to replace with `new_name` (declaration and uses), or why it can't be done.
// `text` is the text the analysis was made from: the renamed text is analysed again, and the
// rename is refused unless it is accepted and every name in it still means what it meant.
std::variant<std::vector<ast::Span>, std::string> rename(const Analysis& analysis,
                                                         std::string_view text,
                                                         std::uint32_t offset,
                                                         std::string_view new_name);

}  // namespace tolu::lsp
