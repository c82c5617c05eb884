#include "sema/name_tokens.h"

#include <algorithm>

#include "base/operators.h"
#include "base/source_size.h"
#include "lexer/lexer.h"

namespace tolu::sema {
namespace {

bool is_word(const Token& token) {
  return token.kind == TokenKind::Identifier || token.kind == TokenKind::Keyword;
}

bool names(const Token& token, std::string_view name) {
  return is_word(token) && token.text == name;
}

bool is_keyword(const Token& token, KeywordId keyword) {
  return token.keyword == keyword;
}

bool is_punct(const Token& token, char c) {
  return token.punct == c;
}

bool is_operator(const Token& token, OperatorId op) {
  return token.kind == TokenKind::Operator && token.op == op;
}

ast::Span span_of(const Token& token) {
  return {token.start, token.end};
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

// The first token that starts at or after `offset`, or the literal token that holds it.
std::vector<Token>::const_iterator token_at(const std::vector<Token>& list, std::uint32_t offset) {
  auto it = std::upper_bound(list.begin(), list.end(), offset,
                             [](std::uint32_t start, const Token& t) { return start < t.start; });
  if (it != list.begin() && std::prev(it)->end > offset) --it;
  return it;
}

// The interpolation of a literal token that holds `offset`, if any.
const TokenTemplatePart* interpolation_at(const TokenVector& tokens, const Token& token,
                                          std::uint32_t offset) {
  if (!has_literal_payload(token.kind) || token.start >= offset) return nullptr;
  for (const TokenTemplatePart& part : tokens.literal(token).parts) {
    if (part.kind == TokenTemplatePart::Interpolation && part.start <= offset &&
        offset < part.end) {
      return &part;
    }
  }
  return nullptr;
}

// The index of the name of a typed name whose first token is at `at`: NAME, or TYPE NAME when an
// identifier follows the first name.
std::size_t typed_name(std::span<const Token> tokens, std::size_t at) {
  return at + 1 < tokens.size() && tokens[at + 1].kind == TokenKind::Identifier ? at + 1 : at;
}

// The index of the token after the first keyword `keyword`, or the end.
std::size_t after_keyword(std::span<const Token> tokens, KeywordId keyword) {
  for (std::size_t i = 0; i < tokens.size(); ++i) {
    if (is_keyword(tokens[i], keyword)) return i + 1;
  }
  return tokens.size();
}

// The index of the token after the key of a destructuring entry written with a key first: a
// word, a string, a template or a parenthesized expression.
std::size_t after_entry_key(std::span<const Token> tokens) {
  if (tokens.empty() || !is_punct(tokens[0], '(')) return 1;
  std::size_t depth = 0;
  for (std::size_t i = 0; i < tokens.size(); ++i) {
    if (is_punct(tokens[i], '(')) ++depth;
    if (is_punct(tokens[i], ')') && --depth == 0) return i + 1;
  }
  return tokens.size();
}

// The index of a destructuring entry's name.
std::size_t entry_name(std::span<const Token> tokens) {
  if (tokens.empty()) return 0;
  std::size_t colon = 0;
  if (tokens[0].kind == TokenKind::Identifier) {
    if (tokens.size() < 2 || !is_operator(tokens[1], OperatorId::Colon))
      return typed_name(tokens, 0);
    colon = 1;
  } else {
    colon = after_entry_key(tokens);
  }
  return typed_name(tokens, colon + 1);
}

// How many tokens from a node's start hold its name: a few keywords, a type and the name, for
// every site but those whose keys or aliases come first.
std::size_t lead_tokens(NameSite site) {
  constexpr std::size_t kLead = 8;
  return site == NameSite::BindingEntry || site == NameSite::ImportSpecifier ? SIZE_MAX : kLead;
}

// The index of the token where `site` puts the name, or an index past the end.
std::size_t name_index(std::span<const Token> tokens, NameSite site) {
  switch (site) {
    case NameSite::TypedAfterKeyword: {
      const std::size_t let = after_keyword(tokens, KeywordId::Let);
      const std::size_t first = std::min(let, after_keyword(tokens, KeywordId::Const));
      return typed_name(tokens, first);
    }
    case NameSite::Parameter:
      return typed_name(tokens, !tokens.empty() && is_operator(tokens[0], OperatorId::Ellipsis));
    case NameSite::CatchBinding:
      return typed_name(tokens, 0);
    case NameSite::BindingEntry:
      return entry_name(tokens);
    case NameSite::Function:
      return after_keyword(tokens, KeywordId::Function);
    case NameSite::Method:
      return after_keyword(tokens, KeywordId::Method);
    case NameSite::Class:
      return after_keyword(tokens, KeywordId::Class);
    case NameSite::Trait:
      return after_keyword(tokens, KeywordId::Trait);
    case NameSite::LoopVariable:
      return std::min(after_keyword(tokens, KeywordId::Let),
                      after_keyword(tokens, KeywordId::Const));
    case NameSite::ImportSpecifier:
      return tokens.empty() ? 0 : tokens.size() - 1;
  }
  return tokens.size();
}

}  // namespace

TokenWindow::TokenWindow(const TokenVector& tokens, ast::Span within, std::size_t limit) {
  const TokenVector* current = &tokens;
  for (;;) {
    const auto& list = current->tokens;
    auto it = token_at(list, within.start);
    if (it != list.end()) {
      if (const TokenTemplatePart* part = interpolation_at(*current, *it, within.start)) {
        current = &lexed_.emplace_back(lex_interpolation(*part));
        continue;
      }
    }
    if (it != list.end() && it->start < within.start) ++it;
    auto end = it;
    for (; limit > 0 && end != list.end() && end->start < within.end && end->kind != TokenKind::Eof;
         --limit) {
      ++end;
    }
    tokens_ = std::span<const Token>(it, end);
    return;
  }
}

std::optional<ast::Span> find_name_token(const TokenVector& tokens, std::string_view name,
                                         ast::Span within) {
  const auto& list = tokens.tokens;
  // The token holding `within.start`, when a literal holds it, and every token after it.
  for (auto it = token_at(list, within.start); it != list.end() && it->start < within.end; ++it) {
    if (it->start >= within.start && names(*it, name)) return span_of(*it);
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

std::optional<WrittenName> find_declared_name(const TokenVector& tokens, std::string_view name,
                                              ast::Span node, NameSite site) {
  const TokenWindow window(tokens, node, lead_tokens(site));
  const auto list = window.tokens();
  const std::size_t at = name_index(list, site);
  if (at < list.size() && names(list[at], name)) {
    WrittenName written{span_of(list[at]), std::nullopt};
    const bool typed = site == NameSite::TypedAfterKeyword || site == NameSite::Parameter ||
                       site == NameSite::CatchBinding || site == NameSite::BindingEntry;
    // In every typed form, a name right after an identifier was read as TYPE NAME.
    if (typed && at > 0 && list[at - 1].kind == TokenKind::Identifier) {
      written.type = span_of(list[at - 1]);
    }
    return written;
  }
  if (auto found = find_name_token(tokens, name, node)) return WrittenName{*found, std::nullopt};
  return std::nullopt;
}

NameSite name_site(const ast::Statement& statement) {
  if (statement.is<ast::DestructuringDeclaration>()) return NameSite::BindingEntry;
  if (statement.is<ast::FunctionDeclaration>()) return NameSite::Function;
  if (statement.is<ast::Class>()) return NameSite::Class;
  if (statement.is<ast::Trait>()) return NameSite::Trait;
  if (statement.is<ast::Import>()) return NameSite::ImportSpecifier;
  return NameSite::TypedAfterKeyword;
}

std::vector<std::optional<ast::Span>> find_composition_names(const TokenVector& tokens,
                                                             std::span<const Name> expected,
                                                             ast::Span within, std::uint32_t from) {
  std::vector<std::optional<ast::Span>> found(expected.size());
  // "extends" and a name, then "with" and each name with the comma after it.
  const TokenWindow window(tokens, {from, within.end}, 2 + 2 * expected.size() + 1);
  const auto list = window.tokens();
  std::vector<std::size_t> written;  // indexes of the names in `list`
  std::size_t i = 0;
  if (i + 1 < list.size() && is_keyword(list[i], KeywordId::Extends)) {
    written.push_back(i + 1);
    i += 2;
  }
  if (i + 1 < list.size() &&
      (is_keyword(list[i], KeywordId::With) || is_keyword(list[i], KeywordId::But))) {
    for (++i; i < list.size(); i += 2) {
      written.push_back(i);
      if (i + 1 >= list.size() || !is_punct(list[i + 1], ',')) break;
    }
  }
  if (written.size() != expected.size()) return found;
  for (std::size_t k = 0; k < written.size(); ++k) {
    const Token& token = list[written[k]];
    if (names(token, expected[k].view())) found[k] = span_of(token);
  }
  return found;
}

std::optional<ast::Span> find_return_type(const TokenVector& tokens, std::string_view type,
                                          ast::Span node, std::uint32_t body_start) {
  const TokenWindow window(tokens, {node.start, body_start});
  const auto list = window.tokens();
  if (list.size() < 2 || !is_operator(list[list.size() - 2], OperatorId::Arrow) ||
      !names(list.back(), type)) {
    return std::nullopt;
  }
  return span_of(list.back());
}

}  // namespace tolu::sema
