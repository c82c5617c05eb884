// libFuzzer target: the lexer alone. Besides not crashing, a token vector must end with one Eof
// token and its tokens must follow each other in the source.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "lexer/lexer.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view source(reinterpret_cast<const char*>(data), size);
  auto result = tolu::lex(source);
  if (!result) return 0;
  const auto& tokens = result.value().tokens;
  if (tokens.empty() || tokens.back().kind != tolu::TokenKind::Eof) std::abort();
  std::uint32_t previous_end = 0;
  for (std::size_t i = 0; i < tokens.size(); ++i) {
    const tolu::Token& t = tokens[i];
    if (t.start < previous_end || t.end < t.start) std::abort();
    if ((t.kind == tolu::TokenKind::Eof) != (i + 1 == tokens.size())) std::abort();
    previous_end = t.end;
  }
  return 0;
}
