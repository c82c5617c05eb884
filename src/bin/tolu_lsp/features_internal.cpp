#include "bin/tolu_lsp/features_internal.h"

#include "base/unicode.h"

namespace tolu::lsp::detail {

std::size_t first_token_from(const TokenVector& tokens, std::uint32_t offset) {
  const auto& all = tokens.tokens;
  auto it = std::lower_bound(all.begin(), all.end(), offset,
                             [](const Token& t, std::uint32_t o) { return t.start < o; });
  return static_cast<std::size_t>(it - all.begin());
}

const Token* token_at(const TokenVector& tokens, std::uint32_t offset) {
  const auto& all = tokens.tokens;
  // The last token starting at or before the offset, and the one before it.
  auto it = std::upper_bound(all.begin(), all.end(), offset,
                             [](std::uint32_t o, const Token& t) { return o < t.start; });
  const Token* found = nullptr;
  if (it != all.begin()) {
    const Token& t = *std::prev(it);
    if (t.kind != TokenKind::Eof && t.start <= offset && offset <= t.end) found = &t;
    // A cursor between two touching tokens belongs to the one it stands in.
    if (found && offset == t.start && it - all.begin() >= 2) {
      const Token& before = *std::prev(it, 2);
      if (before.end == offset && before.kind == TokenKind::Identifier &&
          t.kind != TokenKind::Identifier)
        found = &before;
    }
  }
  return found;
}

std::optional<ast::Span> name_token_in(const TokenVector& tokens, std::string_view name,
                                       ast::Span within) {
  const auto& all = tokens.tokens;
  for (std::size_t i = first_token_from(tokens, within.start);
       i < all.size() && all[i].start < within.end; ++i) {
    const Token& t = all[i];
    if ((t.kind == TokenKind::Identifier || t.kind == TokenKind::Keyword) && t.text == name)
      return ast::Span{t.start, t.end};
  }
  return std::nullopt;
}

std::optional<NameAt> name_at(const sema::BindingIndex& bindings, std::uint32_t offset) {
  const auto& uses = bindings.uses;
  auto it = std::upper_bound(uses.begin(), uses.end(), offset,
                             [](std::uint32_t o, const sema::Use& u) { return o < u.span.start; });
  // Touching uses: prefer one the cursor stands inside over one it stands just after.
  const sema::Use* best = nullptr;
  for (auto candidate = it; candidate != uses.begin();) {
    --candidate;
    if (candidate->span.end < offset) break;
    if (touches(candidate->span, offset)) {
      if (!best || candidate->span.end > offset) best = &*candidate;
    }
    if (candidate->span.start < offset) break;
  }
  if (best) return NameAt{best->declaration, best->span, false, best};
  const auto& declarations = bindings.declarations;
  for (std::uint32_t i = 0; i < declarations.size(); ++i) {
    if (touches(declarations[i].name_span, offset))
      return NameAt{i, declarations[i].name_span, true, nullptr};
  }
  return std::nullopt;
}

LineIndex::LineIndex(std::string_view text) {
  starts_.push_back(0);
  std::uint32_t offset = 0;
  for (std::size_t pos = 0; pos < text.size();) {
    const char32_t c = decode_utf8(text, pos);
    ++offset;
    if (c == U'\n') starts_.push_back(offset);
  }
}

std::uint32_t LineIndex::line_of(std::uint32_t offset) const {
  auto it = std::upper_bound(starts_.begin(), starts_.end(), offset);
  return static_cast<std::uint32_t>(it - starts_.begin() - 1);
}

std::vector<std::size_t> byte_positions(std::string_view text) {
  std::vector<std::size_t> positions;
  for (std::size_t pos = 0; pos < text.size();) {
    positions.push_back(pos);
    decode_utf8(text, pos);
  }
  positions.push_back(text.size());
  return positions;
}

}  // namespace tolu::lsp::detail
