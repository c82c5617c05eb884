#include "bin/tolu_lsp/protocol.h"

#include <algorithm>

namespace tolu::lsp {
namespace {

std::optional<std::uint32_t> read_count(const Json& object, const char* key) {
  const auto it = object.find(key);
  if (it == object.end()) return std::nullopt;
  if (it->is_number_unsigned()) {
    return static_cast<std::uint32_t>(
        std::min<std::uint64_t>(it->get<std::uint64_t>(), UINT32_MAX));
  }
  if (it->is_number_integer() && it->get<std::int64_t>() >= 0) {
    return static_cast<std::uint32_t>(std::min<std::int64_t>(it->get<std::int64_t>(), UINT32_MAX));
  }
  return std::nullopt;
}

}  // namespace

Json position_json(Position position) {
  return {{"line", position.line}, {"character", position.character}};
}

Json range_json(const LineIndex& lines, OffsetSpan span, Encoding encoding) {
  const Range range = lines.range_of(span.start, span.end, encoding);
  return {{"start", position_json(range.start)}, {"end", position_json(range.end)}};
}

std::optional<Position> read_position(const Json& value) {
  if (!value.is_object()) return std::nullopt;
  const auto line = read_count(value, "line");
  const auto character = read_count(value, "character");
  if (!line || !character) return std::nullopt;
  return Position{*line, *character};
}

std::optional<Range> read_range(const Json& value) {
  if (!value.is_object() || !value.contains("start") || !value.contains("end")) return std::nullopt;
  const auto start = read_position(value["start"]);
  const auto end = read_position(value["end"]);
  if (!start || !end) return std::nullopt;
  return Range{*start, *end};
}

}  // namespace tolu::lsp
