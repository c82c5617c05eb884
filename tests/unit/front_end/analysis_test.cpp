// One run of the front end that keeps the tokens: the same tokens as the lexer's, and the same
// tree or error as the front end's entry point.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "front_end/analysis.h"
#include "lexer/lexer.h"
#include "support/tokens.h"

namespace tolu {
namespace {

std::string read_file(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

// Positions as well as spellings and payloads.
void expect_same_tokens(const TokenVector& actual, const TokenVector& expected) {
  EXPECT_EQ(testing::render_tokens(actual), testing::render_tokens(expected));
  ASSERT_EQ(actual.tokens.size(), expected.tokens.size());
  for (std::size_t i = 0; i < actual.tokens.size(); ++i) {
    const Token& a = actual.tokens[i];
    const Token& e = expected.tokens[i];
    EXPECT_TRUE(a.kind == e.kind && a.op == e.op && a.start == e.start && a.end == e.end &&
                a.line == e.line && a.column == e.column && a.text == e.text)
        << "token " << i << " '" << e.text << "'";
    if (has_literal_payload(a.kind)) {
      EXPECT_EQ(actual.literal(a).value, expected.literal(e).value);
      EXPECT_EQ(actual.literal(a).parts, expected.literal(e).parts);
    }
  }
}

void expect_one_run_matches(std::string_view source, const std::string& name) {
  SCOPED_TRACE(name);
  const CompileOptions options;
  const Analysis analysis = analyze_program(source, options, name);
  const auto expected = parse_program_with_compile_options_and_source_file(source, options, name);
  ASSERT_EQ(analysis.program.ok(), expected.ok());
  if (expected.ok()) {
    EXPECT_TRUE(analysis.program.value() == expected.value());
  } else {
    EXPECT_EQ(analysis.program.error(), expected.error());
    EXPECT_TRUE(analysis.bindings.declarations.empty());
  }
  auto lexed = lex(source);
  if (lexed) {
    expect_same_tokens(analysis.tokens, lexed.value());
  } else {
    // The tokens before the lexical error, ending where it stands.
    ASSERT_FALSE(analysis.program.ok());
    EXPECT_EQ(analysis.program.error(), ToluError::with_source_file(lexed.error(), name));
    for (const Token& token : analysis.tokens.tokens) {
      EXPECT_NE(token.kind, TokenKind::Eof);
      EXPECT_LT(token.line, lexed.error().line() + 1);
    }
  }
}

TEST(AnalyzeProgram, MatchesTheLexerAndTheFrontEndOnTheExamples) {
  std::size_t files = 0;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(
           std::filesystem::path(TOLU_SOURCE_DIR) / "examples")) {
    if (!entry.is_regular_file()) continue;
    expect_one_run_matches(read_file(entry.path()), entry.path().filename().string());
    ++files;
  }
  EXPECT_GE(files, 5u);
}

TEST(AnalyzeProgram, MatchesTheLexerAndTheFrontEndOnFailures) {
  const char* const sources[] = {
      "",                                      // Eof only
      "say 1;",                                //
      "let t = `a ${x + `b ${y}`} c`;",        // interpolations: undeclared names
      "let s = \"unterminated",                // lexical error
      "let a = 1; let b = ; let c = \"ok\";",  // a syntax error, then more tokens
      "say (1, 2",                             // unexpected end
      "let x = 1; let x = 2;",                 // semantic error
      "say 1; let s = 'bad \\q escape';",      // lexical error after good tokens
      "#!/usr/bin/env tolu\nsay /a+b/i;",      // interpreter line, regex
  };
  for (const char* source : sources) expect_one_run_matches(source, "t.tos");
}

TEST(AnalyzeProgram, InterpolationTokensAreNotRecorded) {
  const Analysis analysis = analyze_program("say `a ${b} c`;", CompileOptions{}, std::nullopt);
  ASSERT_EQ(analysis.tokens.tokens.size(), 4u);  // say, the template, ;, Eof
  EXPECT_EQ(analysis.tokens.tokens[1].kind, TokenKind::Template);
  EXPECT_EQ(analysis.tokens.tokens.back().kind, TokenKind::Eof);
}

}  // namespace
}  // namespace tolu
