#include "bin/tolu_lsp/snapshot.h"

#include <optional>
#include <utility>

namespace tolu::lsp {

Snapshot::Snapshot(std::string source, std::int64_t version_)
    : text(std::make_unique<const std::string>(std::move(source))),
      version(version_),
      lines(*text),
      analysis(analyze_program(*text, CompileOptions{}, std::nullopt)) {
  // A snapshot lives as long as its document is open: keep only what the features read (the
  // tokens' kinds, spans and spellings, not the literals' decoded payloads), at its size.
  analysis.tokens.literals = {};
  analysis.tokens.tokens.shrink_to_fit();
  analysis.bindings.declarations.shrink_to_fit();
  analysis.bindings.uses.shrink_to_fit();
  if (analysis.program.ok() && analysis.program.value().storage) {
    analysis.program.value().storage->arena.trim();
  }
}

}  // namespace tolu::lsp
