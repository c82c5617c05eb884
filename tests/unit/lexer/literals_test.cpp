#include <gtest/gtest.h>

#include <utility>

#include "support/tokens.h"

namespace tolu {
namespace {

using testing::lex_to_string;

struct LiteralCase {
  const char* source;
  const char* tokens;
};

class LexLiteral : public ::testing::TestWithParam<LiteralCase> {};

TEST_P(LexLiteral, Tokens) {
  EXPECT_EQ(lex_to_string(GetParam().source), GetParam().tokens);
}

INSTANTIATE_TEST_SUITE_P(
    Strings, LexLiteral,
    ::testing::Values(
        LiteralCase{R"("a\nb")", "S:\"a\nb\""}, LiteralCase{R"("\"\$\'\/\\\`")", "S:\"\"$'/\\`\""},
        LiteralCase{R"("\r\t")", "S:\"\r\t\""}, LiteralCase{R"("\x41\u00e9")", "S:\"Aé\""},
        LiteralCase{R"("\xff")", "S:\"ÿ\""}, LiteralCase{R"("")", "S:\"\""},
        LiteralCase{"\"\"\"a\\n\nb\"\"\" x", "S:\"a\\n\nb\" I:x"},
        LiteralCase{"\"\"\"\"\"\"", "S:\"\""},
        LiteralCase{"\"a\nb\"", "error 1:3 unterminated string literal"},
        LiteralCase{"x \"abc", "error 1:3 unterminated string literal"},
        LiteralCase{"\"\"\"abc\"\"", "error 1:1 unterminated triple-quoted string literal"},
        LiteralCase{R"("\q")", "error 1:3 invalid string escape"},
        LiteralCase{"\"\\", "error 1:3 unterminated string escape"},
        LiteralCase{R"("\x4")", R"(error 1:3 invalid \x escape)"},
        LiteralCase{R"("\xg0")", R"(error 1:3 invalid \x escape)"},
        LiteralCase{R"("\u12")", R"(error 1:3 invalid \u escape)"},
        LiteralCase{R"(é "\uD800")", "error 1:5 invalid Unicode escape"},
        LiteralCase{R"("\udfff")", "error 1:3 invalid Unicode escape"}));

INSTANTIATE_TEST_SUITE_P(
    BinaryStrings, LexLiteral,
    ::testing::Values(
        LiteralCase{R"('\xFF')", "B:ff"}, LiteralCase{"'ÿ'", "B:c3bf"},
        LiteralCase{R"('a\n\t\r\\\'')", "B:610a090d5c27"}, LiteralCase{"''", "B:"},
        LiteralCase{"'''a\\n\n'''", "B:615c6e0a"},
        LiteralCase{R"('\u0041')", "error 1:3 Unicode escapes are not supported in binary strings"},
        LiteralCase{R"('\q')", "error 1:3 invalid binary string escape"},
        LiteralCase{"'\\", "error 1:3 unterminated binary string escape"},
        LiteralCase{R"('\xZ1')", R"(error 1:3 invalid \x escape)"},
        LiteralCase{"'ab\n'", "error 1:4 unterminated binary string literal"},
        LiteralCase{"'ab", "error 1:1 unterminated binary string literal"},
        LiteralCase{"'''ab''", "error 1:1 unterminated triple-quoted binary string literal"}));

INSTANTIATE_TEST_SUITE_P(
    Templates, LexLiteral,
    ::testing::Values(
        LiteralCase{"`a${x}b`", "T:[t1:a|i1:x|t1:b]"}, LiteralCase{"`${x}`", "T:[i1:x]"},
        LiteralCase{"``", "T:[]"}, LiteralCase{"`${a}${b}`", "T:[i1:a|i1:b]"},
        LiteralCase{"`$x \\${y}`", "T:[t1:$x ${y}]"}, LiteralCase{"`a\\tb`", "T:[t1:a\tb]"},
        LiteralCase{"`${ {a: 1}{k} }`", "T:[i1: {a: 1}{k} ]"},
        LiteralCase{"`${ \"}\" + '}' }`", "T:[i1: \"}\" + '}' ]"},
        LiteralCase{"`${ f(\"\\\"}\") }`", "T:[i1: f(\"\\\"}\") ]"},
        LiteralCase{"`${ x // }\n}`", "T:[i1: x // }\n]"},
        LiteralCase{"```${ x // }\n}```", "T:[i1: x // }\n]"},
        LiteralCase{"`${ x /* } */ }`", "T:[i1: x /* } */ ]"},
        LiteralCase{"`${ `in ${y}` }`", "T:[i1: `in ${y}` ]"},
        LiteralCase{"```a\n`b`\n${x}```", "T:[t1:a\n`b`\n|i3:x]"},
        LiteralCase{"```\\n```", "T:[t1:\\n]"},
        LiteralCase{"`a\nb`", "error 1:3 unterminated template literal"},
        LiteralCase{"x `abc", "error 1:3 unterminated template literal"},
        LiteralCase{"```abc``", "error 1:1 unterminated triple-backtick template literal"},
        LiteralCase{"`${x", "error 1:4 unterminated template interpolation"},
        LiteralCase{"`${x`", "error 1:5 unterminated template literal"},
        LiteralCase{"`${ \"x }`", "error 1:5 unterminated quoted section in template literal"},
        LiteralCase{"`\\q`", "error 1:3 invalid template literal escape"},
        LiteralCase{"`\\", "error 1:3 unterminated template literal escape"}));

INSTANTIATE_TEST_SUITE_P(
    Regexes, LexLiteral,
    ::testing::Values(LiteralCase{"/a[/]b/i", "R:/a[/]b/i[]"},
                      LiteralCase{R"(/a\/b/gx)", R"(R:/a\/b/gx[])"},
                      LiteralCase{"/a${x}b/", "R:/a${x}b/[t1:a|i1:x|t1:b]"},
                      LiteralCase{"/${x}/", "R:/${x}/[i1:x]"},
                      LiteralCase{"/a\nb/ y", "R:/a\nb/[] I:y"},
                      LiteralCase{"x = /ab", "error 1:5 unterminated regex literal"},
                      LiteralCase{"/", "error 1:1 unterminated regex literal"},
                      LiteralCase{"/a\\", "error 1:1 unterminated regex literal"}));

TEST(LexLiteralPositions, TokensAfterMultiLineLiteralsKeepTheirPositions) {
  auto result = lex("\"\"\"a\nbc\"\"\" x `\n${\ny}` z");
  ASSERT_FALSE(result) << "a plain template may not hold a line feed";
  result = lex("\"\"\"a\nbc\"\"\" x ```\n${\ny}``` z");
  ASSERT_TRUE(result);
  const auto& t = result.value().tokens;
  ASSERT_EQ(t.size(), 5u);
  EXPECT_EQ(t[1].line, 2u);
  EXPECT_EQ(t[1].column, 7u);
  EXPECT_EQ(t[3].line, 4u);
  EXPECT_EQ(t[3].column, 7u);
  const auto& parts = result.value().literal(t[2]).parts;
  ASSERT_EQ(parts.size(), 2u);
  EXPECT_EQ(parts[0].line, 2u);
  EXPECT_EQ(parts[1].line, 3u);
  EXPECT_EQ(parts[1].text, "\ny");
  // Each part knows where its source text is: the interpolation's starts after "${".
  EXPECT_EQ(std::pair(parts[0].start, parts[0].end), std::pair(16u, 17u));
  EXPECT_EQ(std::pair(parts[1].start, parts[1].end), std::pair(19u, 21u));
}

}  // namespace
}  // namespace tolu
