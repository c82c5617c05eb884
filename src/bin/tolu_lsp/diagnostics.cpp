#include "bin/tolu_lsp/diagnostics.h"

#include <algorithm>

#include "base/unicode.h"

namespace tolu::lsp {
namespace {

// The token that starts at `offset`, else the character there (none at the end of a line or of
// the text).
OffsetSpan token_at(const TokenVector& tokens, const LineIndex& lines, std::uint32_t offset) {
  const auto& list = tokens.tokens;
  const auto it = std::lower_bound(list.begin(), list.end(), offset,
                                   [](const Token& t, std::uint32_t o) { return t.start < o; });
  if (it != list.end() && it->start == offset) return {it->start, it->end};
  const std::uint32_t line_end = lines.line_end(lines.line_of(offset));
  return {offset, offset < line_end ? offset + 1 : offset};
}

OffsetSpan whole_line(const LineIndex& lines, std::uint32_t offset) {
  const std::uint32_t line = lines.line_of(offset);
  return {lines.line_start(line), lines.line_end(line)};
}

template <class Error>
std::optional<OffsetSpan> quoted_name(const Error& error) {
  if constexpr (requires { error.name_span(); }) {
    if (const auto span = error.name_span()) return OffsetSpan{span->start, span->end};
  }
  return std::nullopt;
}

}  // namespace

std::uint32_t offset_of_line_column(std::string_view text, std::size_t line, std::size_t column) {
  std::size_t pos = 0;
  std::uint32_t offset = 0;
  for (std::size_t l = 1; l < line && pos < text.size(); ++offset) {
    if (text[pos] == '\n') ++l;
    decode_utf8(text, pos);
  }
  for (std::size_t c = 1; c < column && pos < text.size() && text[pos] != '\n'; ++c, ++offset) {
    decode_utf8(text, pos);
  }
  return offset;
}

ErrorPlace error_place(const ToluError& error, const TokenVector& tokens, std::string_view text) {
  ErrorPlace place;
  const LineIndex lines(text);
  for (const Note& note : error.notes()) {
    const std::uint32_t at = offset_of_line_column(text, note.line, note.column);
    place.related.push_back({token_at(tokens, lines, at), note.message});
  }
  const std::uint32_t at = offset_of_line_column(text, error.line(), error.column());
  switch (error.kind()) {
    case ErrorKind::UnexpectedEnd: {
      place.span = {lines.character_count(), lines.character_count()};
      break;
    }
    case ErrorKind::Semantic:
      place.span = quoted_name(error).value_or(whole_line(lines, at));
      break;
    case ErrorKind::Lexical:
    case ErrorKind::Syntax:
      place.span = token_at(tokens, lines, at);
      break;
    default:
      place.span = {0, 0};
      break;
  }
  return place;
}

Json diagnostics_params(const Analysis& analysis, std::string_view text, const LineIndex& lines,
                        Encoding encoding, std::string_view uri,
                        std::optional<std::int64_t> version) {
  Json diagnostics = Json::array();
  if (!analysis.program) {
    const ToluError& error = analysis.program.error();
    const ErrorPlace place = error_place(error, analysis.tokens, text);
    Json diagnostic = {{"range", range_json(lines, place.span, encoding)},
                       {"severity", 1},
                       {"source", "tolu"},
                       {"code", error_kind_name(error.kind())},
                       {"message", error.message()}};
    if (!place.related.empty()) {
      Json related = Json::array();
      for (const Related& r : place.related) {
        related.push_back(
            {{"location", {{"uri", uri}, {"range", range_json(lines, r.span, encoding)}}},
             {"message", r.message}});
      }
      diagnostic["relatedInformation"] = std::move(related);
    }
    diagnostics.push_back(std::move(diagnostic));
  }
  Json params = {{"uri", uri}, {"diagnostics", std::move(diagnostics)}};
  if (version) params["version"] = *version;
  return params;
}

}  // namespace tolu::lsp
