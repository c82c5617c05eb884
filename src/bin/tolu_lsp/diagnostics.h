// The diagnostic of an analysis that failed: where the error is, in character offsets, and the
// protocol's Diagnostic object for it.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "bin/tolu_lsp/json_rpc.h"
#include "bin/tolu_lsp/positions.h"
#include "bin/tolu_lsp/protocol.h"
#include "front_end/analysis.h"

namespace tolu::lsp {

struct Related {
  OffsetSpan span;
  std::string message;
};

// Where the error of `analysis` (of `text`) stands: the offending token; for an unexpected end,
// the end of the text, with the open delimiter among the related places; for a semantic error,
// the name it quotes (the whole line when it quotes none). Every note of the error is a related
// place.
struct ErrorPlace {
  OffsetSpan span;
  std::vector<Related> related;
};
ErrorPlace error_place(const ToluError& error, const TokenVector& tokens, std::string_view text);

// The character offset of a 1-based line and column of the front end (lines end at "\n" only),
// clamped to the end of the line and of the text.
std::uint32_t offset_of_line_column(std::string_view text, std::size_t line, std::size_t column);

// The publishDiagnostics parameters for `uri`: no diagnostic when the analysis has a program.
Json diagnostics_params(const Analysis& analysis, std::string_view text, const LineIndex& lines,
                        Encoding encoding, std::string_view uri,
                        std::optional<std::int64_t> version);

}  // namespace tolu::lsp
