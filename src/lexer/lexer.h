// The lexer: source text to tokens.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string_view>

#include "base/source_size.h"
#include "lexer/token.h"
#include "tolu/error.h"

namespace tolu {

// Cuts the whole source into tokens ending with one Eof token, or fails with one Lexical error.
// Token spellings view `source`, which must outlive the result.
Result<TokenVector> lex(std::string_view source);

namespace lexing {
class Lexer;
}

// Hands out the tokens of a source one at a time, so that a reader keeps only the few it is
// looking at. `first_line`, `first_index` and `first_column` place the start of `source` in a
// larger text (a template interpolation in its file): lines, character indexes and columns come
// out as they would there. Only a source that starts at index 0 is the start of a file, where a
// byte-order mark and an interpreter line are skipped. A source with more characters than
// `max_characters` (see base/source_size.h), counting those before it, fails with a lexical error
// at its first token, so that no position wraps.
class TokenStream {
 public:
  explicit TokenStream(std::string_view source, std::uint32_t first_line = 1,
                       std::uint64_t max_characters = kMaxSourceCharacters,
                       std::uint32_t first_index = 0, std::uint32_t first_column = 1);
  ~TokenStream();
  TokenStream(TokenStream&&) noexcept;
  TokenStream& operator=(TokenStream&&) noexcept;

  // Starts over on another source, as a new stream would, keeping the recording sink.
  void restart(std::string_view source, std::uint32_t first_line = 1,
               std::uint64_t max_characters = kMaxSourceCharacters, std::uint32_t first_index = 0,
               std::uint32_t first_column = 1);
  // Reads the next token into `token` and, for the literal kinds, its payload into `literal`.
  // At the end it gives Eof, and Eof again on every later call. On a lexical error it returns
  // false, leaves an Eof token and keeps the error; later calls fail the same way.
  bool next(Token& token, LiteralPayload& literal);
  // Reads on to the end and returns the lexical error met on the way, if any.
  const std::optional<ToluError>& drain();
  // From now on, appends each token read (once, the Eof included) and its payload to `sink`,
  // as lex() would give them; null stops it. Tokens lost to a lexical error are not appended.
  void record_into(TokenVector* sink) { sink_ = sink; }

 private:
  void record(const Token& token, const LiteralPayload& literal);
  // Starts the lexer on its source, keeping the error that refuses it, if any.
  void start();

  std::unique_ptr<lexing::Lexer> lexer_;
  std::optional<ToluError> error_;
  TokenVector* sink_ = nullptr;
};

// True when `word` is one of the language's keywords.
bool is_keyword(std::string_view word);

}  // namespace tolu
