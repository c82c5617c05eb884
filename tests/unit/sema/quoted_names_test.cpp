// The span of the name a semantic error quotes, from both entry points of the front end.
#include <gtest/gtest.h>

#include "front_end/analysis.h"

namespace tolu {
namespace {

struct QuotedCase {
  const char* source;
  const char* message;
  ast::Span name;  // in characters
};

void PrintTo(const QuotedCase& c, std::ostream* os) {
  *os << c.source;
}

class QuotedName : public ::testing::TestWithParam<QuotedCase> {};

void expect_quoted(const ToluError& error, const QuotedCase& c) {
  EXPECT_EQ(error.kind(), ErrorKind::Semantic);
  EXPECT_EQ(error.message(), c.message);
  EXPECT_EQ(error.column(), 1u);
  ASSERT_TRUE(error.name_span());
  EXPECT_EQ(error.name_span()->start, c.name.start);
  EXPECT_EQ(error.name_span()->end, c.name.end);
}

TEST_P(QuotedName, IsWhereTheNameIsWritten) {
  const QuotedCase& c = GetParam();
  const Analysis analysis = analyze_program(c.source, CompileOptions{}, std::nullopt);
  ASSERT_FALSE(analysis.program);
  expect_quoted(analysis.program.error(), c);
  const auto direct =
      parse_program_with_compile_options_and_source_file(c.source, CompileOptions{}, "f.tos");
  ASSERT_FALSE(direct);
  expect_quoted(direct.error(), c);
}

INSTANTIATE_TEST_SUITE_P(
    Errors, QuotedName,
    ::testing::Values(
        QuotedCase{"let x := 1;\nlet x := 2;", "Redeclaration of 'x' in the same scope", {16, 17}},
        QuotedCase{"let String := 1", "Redeclaration of 'String' in the same scope", {4, 10}},
        QuotedCase{"function f(a, a) {}", "Redeclaration of 'a' in the same scope", {14, 15}},
        QuotedCase{"let f := fn (b, b) -> b", "Redeclaration of 'b' in the same scope", {16, 17}},
        QuotedCase{
            "function f() {}\nfunction f() {}", "Redeclaration of 'f' in the same scope", {25, 26}},
        QuotedCase{"class C;\nclass C {}", "Redeclaration of 'C' in the same scope", {15, 16}},
        QuotedCase{"class C { method m() {}\n method m() {} }",
                   "Redeclaration of 'm' in the same scope",
                   {32, 33}},
        QuotedCase{"class C { class D {}\n trait D {} }",
                   "Redeclaration of 'D' in the same scope",
                   {28, 29}},
        QuotedCase{
            "class C { method m(self) {} }", "Redeclaration of 'self' in the same scope", {19, 23}},
        QuotedCase{"let b := 1; from m import a as b;",
                   "Redeclaration of 'b' in the same scope",
                   {31, 32}},
        QuotedCase{"for (let i in [1]) { let i := 2 }",
                   "Redeclaration of 'i' in the same scope",
                   {25, 26}},
        QuotedCase{
            "try {} catch (e) { let e := 1 }", "Redeclaration of 'e' in the same scope", {23, 24}},
        QuotedCase{
            "let {a, b} := {}; let b := 1", "Redeclaration of 'b' in the same scope", {22, 23}},
        QuotedCase{"say y", "Use of undeclared identifier 'y' (compile-time)", {4, 5}},
        QuotedCase{"say `a ${b}`", "Use of undeclared identifier 'b' (compile-time)", {9, 10}},
        QuotedCase{"say `${fn (q, q) -> q}`", "Redeclaration of 'q' in the same scope", {14, 15}},
        QuotedCase{"const x := 1;\nx := 2", "cannot modify const binding 'x'", {14, 15}},
        QuotedCase{"const n := 1; n++", "cannot modify const binding 'n'", {14, 15}},
        // Positions count characters, not bytes.
        QuotedCase{
            "let ü := \"é\";\nlet ü := 2", "Redeclaration of 'ü' in the same scope", {18, 19}}));

TEST(QuotedName, ErrorsQuotingNoNameHaveNoSpan) {
  const auto result = parse_program("return 1");
  ASSERT_FALSE(result);
  EXPECT_FALSE(result.error().name_span());
}

TEST(QuotedName, TakesNoPartInEquality) {
  const ToluError with = ToluError::semantic("m", 2, TextSpan{1, 2});
  const ToluError without = ToluError::semantic("m", 2);
  EXPECT_EQ(with, without);
  EXPECT_NE(with, ToluError::semantic("m", 3, TextSpan{1, 2}));
  EXPECT_EQ(with.name_span(), (std::optional<TextSpan>(TextSpan{1, 2})));
  EXPECT_FALSE(ToluError::runtime("m").name_span());
}

}  // namespace
}  // namespace tolu
