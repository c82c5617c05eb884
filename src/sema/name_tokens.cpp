#include "sema/name_tokens.h"

#include <algorithm>

#include "base/source_size.h"
#include "lexer/lexer.h"

namespace tolu::sema {
namespace {

bool names(const Token& token, std::string_view name) {
  return (token.kind == TokenKind::Identifier || token.kind == TokenKind::Keyword) &&
         token.text == name;
}

// The tokens of an interpolation's source, placed where it lies in the file.
TokenVector lex_interpolation(const TokenTemplatePart& part) {
  TokenVector tokens;
  TokenStream stream(part.text, std::max<std::uint32_t>(part.line, 1), kMaxSourceCharacters,
                     part.start, std::max<std::uint32_t>(part.column, 1));
  stream.record_into(&tokens);
  stream.drain();
  return tokens;
}

}  // namespace

std::optional<ast::Span> find_name_token(const TokenVector& tokens, std::string_view name,
                                         ast::Span within) {
  const auto& list = tokens.tokens;
  // The token holding `within.start`, when a literal holds it, and every token after it.
  auto it = std::upper_bound(list.begin(), list.end(), within.start,
                             [](std::uint32_t start, const Token& t) { return start < t.start; });
  if (it != list.begin() && std::prev(it)->end > within.start) --it;
  for (; it != list.end() && it->start < within.end; ++it) {
    if (it->start >= within.start && names(*it, name)) return ast::Span{it->start, it->end};
    if (!has_literal_payload(it->kind)) continue;
    for (const TokenTemplatePart& part : tokens.literal(*it).parts) {
      if (part.kind != TokenTemplatePart::Interpolation || part.end <= within.start ||
          part.start >= within.end) {
        continue;
      }
      if (auto found = find_name_token(lex_interpolation(part), name, within)) return found;
    }
  }
  return std::nullopt;
}

}  // namespace tolu::sema
