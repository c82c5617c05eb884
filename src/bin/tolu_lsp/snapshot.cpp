#include "bin/tolu_lsp/snapshot.h"

#include <optional>
#include <utility>

namespace tolu::lsp {

Snapshot::Snapshot(std::string source, std::int64_t version_)
    : text(std::make_unique<const std::string>(std::move(source))),
      version(version_),
      lines(*text),
      analysis(analyze_program(*text, CompileOptions{}, std::nullopt)) {}

}  // namespace tolu::lsp
