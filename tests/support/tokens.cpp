#include "support/tokens.h"

#include <cstdio>

namespace tolu::testing {
namespace {

std::string render_parts(const std::vector<TokenTemplatePart>& parts) {
  std::string out = "[";
  for (std::size_t i = 0; i < parts.size(); ++i) {
    if (i > 0) out += "|";
    out += parts[i].kind == TokenTemplatePart::Text ? "t" : "i";
    out += std::to_string(parts[i].line) + ":" + parts[i].text;
  }
  return out + "]";
}

}  // namespace

std::string render_tokens(const TokenVector& tokens) {
  std::string out;
  for (const Token& t : tokens.tokens) {
    if (t.kind == TokenKind::Eof) break;
    if (!out.empty()) out += ' ';
    switch (t.kind) {
      case TokenKind::Keyword:
        out += "K:" + std::string(t.text);
        break;
      case TokenKind::Identifier:
        out += "I:" + std::string(t.text);
        break;
      case TokenKind::Number:
        out += "N:" + std::string(t.text);
        break;
      case TokenKind::Operator:
        out += "O:" + std::string(t.text);
        break;
      case TokenKind::Punct:
        out += "P:" + std::string(t.text);
        break;
      case TokenKind::String:
        out += "S:\"" + tokens.literal(t).value + "\"";
        break;
      case TokenKind::BinaryString: {
        out += "B:";
        for (auto byte : tokens.literal(t).bytes) {
          char hex[4];
          std::snprintf(hex, sizeof hex, "%02x", byte);
          out += hex;
        }
        break;
      }
      case TokenKind::Regex:
        out += "R:/" + tokens.literal(t).value + "/" + tokens.literal(t).flags +
               render_parts(tokens.literal(t).parts);
        break;
      case TokenKind::Template:
        out += "T:" + render_parts(tokens.literal(t).parts);
        break;
      case TokenKind::Eof:
        break;
    }
  }
  return out;
}

std::string lex_to_string(std::string_view source) {
  auto result = lex(source);
  if (!result) {
    const ToluError& e = result.error();
    return "error " + std::to_string(e.line()) + ":" + std::to_string(e.column()) + " " +
           e.message();
  }
  return render_tokens(result.value());
}

}  // namespace tolu::testing
