// One analysis of a document's text, kept with the text it views.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "bin/tolu_lsp/positions.h"
#include "front_end/analysis.h"

namespace tolu::lsp {

struct Snapshot {
  // Analyses `text` (a copy of the document's, at `version`).
  Snapshot(std::string text, std::int64_t version);
  Snapshot(const Snapshot&) = delete;
  Snapshot& operator=(const Snapshot&) = delete;

  bool ok() const { return analysis.program.ok(); }

  std::unique_ptr<const std::string> text;  // on the heap: tokens and lines view it
  std::int64_t version;
  LineIndex lines;
  // The tokens keep no literal payloads (TokenVector::literals is empty).
  Analysis analysis;
};

}  // namespace tolu::lsp
