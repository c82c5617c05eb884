// The protocol's JSON shapes of positions and ranges, both ways.
#pragma once

#include <cstdint>
#include <optional>

#include "bin/tolu_lsp/document.h"
#include "bin/tolu_lsp/json_rpc.h"
#include "bin/tolu_lsp/positions.h"

namespace tolu::lsp {

// A stretch [start, end) of a text in character offsets.
struct OffsetSpan {
  std::uint32_t start = 0;
  std::uint32_t end = 0;
  bool operator==(const OffsetSpan&) const = default;
};

Json position_json(Position position);
Json range_json(const LineIndex& lines, OffsetSpan span, Encoding encoding);

// Nothing when `value` is not a position (two non-negative integers) or a range. Numbers past
// 32 bits are clamped like any other position past the end.
std::optional<Position> read_position(const Json& value);
std::optional<Range> read_range(const Json& value);

}  // namespace tolu::lsp
