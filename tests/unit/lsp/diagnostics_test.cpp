// The diagnostic of each kind of error: its range, code and related places, in both encodings.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "bin/tolu_lsp/diagnostics.h"
#include "unit/lsp/session.h"

namespace tolu::lsp {
namespace {

using testing::Session;

struct Expected {
  const char* name;
  std::string text;
  const char* code;
  OffsetSpan span;      // in characters
  std::size_t related;  // how many related places
};

TEST(Diagnostics, EachErrorKindStandsOnItsToken) {
  const std::vector<Expected> cases = {
      // At the end of the line: an empty range there.
      {"unterminated string", "let s := \"abc\n", "Lexical", {13, 13}, 0},
      {"unterminated template", "let x := 1;\nlet y := ` \u00A7", "Lexical", {21, 22}, 0},
      {"stray character", "let x := 1;\nsay \U0001F600;", "Lexical", {16, 17}, 0},
      {"missing operand", "let x := 1 +;", "Syntax", {12, 13}, 0},
      {"token after non-ASCII", "let \u00D7 := 1;", "Syntax", {4, 5}, 0},
      {"open parenthesis", "let x := (1 + 2", "UnexpectedEnd", {15, 15}, 1},
      {"open block", "function f() {\n  say 1;\n", "UnexpectedEnd", {24, 24}, 1},
      {"undeclared name",
       "let a := \"\U0001F600\";\nsay a, \u00E9t\u00E9;",
       "Semantic",
       {21, 24},
       0},
      {"redeclaration", "let a := 1;\nlet a := 2;", "Semantic", {16, 17}, 0},
  };
  for (const Expected& c : cases) {
    SCOPED_TRACE(c.name);
    const Analysis analysis = analyze_program(c.text, CompileOptions{}, std::nullopt);
    ASSERT_FALSE(analysis.program.ok());
    EXPECT_EQ(error_kind_name(analysis.program.error().kind()), c.code)
        << analysis.program.error().message();
    const ErrorPlace place = error_place(analysis.program.error(), analysis.tokens, c.text);
    EXPECT_EQ(place.span, c.span) << place.span.start << ".." << place.span.end;
    EXPECT_EQ(place.related.size(), c.related);
  }
}

TEST(Diagnostics, TheUnexpectedEndPointsBackAtTheOpenDelimiter) {
  Session session;
  session.initialize(/*utf32=*/false);
  session.open("let s := \"\U0001F600\";\nlet y := [1,\n  2");
  const Json params = session.diagnostics_for(1);
  ASSERT_EQ(params["diagnostics"].size(), 1u);
  const Json& diagnostic = params["diagnostics"][0];
  EXPECT_EQ(diagnostic["severity"], 1);
  EXPECT_EQ(diagnostic["source"], "tolu");
  EXPECT_EQ(diagnostic["code"], "UnexpectedEnd");
  EXPECT_EQ(diagnostic["range"], testing::range(2, 3, 2, 3));
  ASSERT_EQ(diagnostic["relatedInformation"].size(), 1u);
  const Json& related = diagnostic["relatedInformation"][0];
  EXPECT_EQ(related["location"]["uri"], "file:///t.tos");
  EXPECT_EQ(related["location"]["range"], testing::range(1, 9, 1, 10));
}

TEST(Diagnostics, ColumnsAfterCharactersOutsideTheBmpFollowTheEncoding) {
  for (const bool utf32 : {true, false}) {
    SCOPED_TRACE(utf32);
    Session session;
    session.initialize(utf32);
    session.open("say \"\U0001F600\U0001F600\" + ;");
    const Json range = session.diagnostics_for(1)["diagnostics"][0]["range"];
    const std::uint32_t start = utf32 ? 11 : 13;
    EXPECT_EQ(range, testing::range(0, start, 0, start + 1));
  }
}

TEST(Diagnostics, OffsetsOfFrontEndLinesAndColumnsAreClamped) {
  const std::string text = "ab\r\ncd\n";
  EXPECT_EQ(offset_of_line_column(text, 1, 1), 0u);
  EXPECT_EQ(offset_of_line_column(text, 1, 3), 2u);  // the "\r" is a blank of the first line
  EXPECT_EQ(offset_of_line_column(text, 1, 99), 3u);
  EXPECT_EQ(offset_of_line_column(text, 2, 2), 5u);
  EXPECT_EQ(offset_of_line_column(text, 9, 9), 7u);
}

}  // namespace
}  // namespace tolu::lsp
