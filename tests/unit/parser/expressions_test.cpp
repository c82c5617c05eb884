#include <gtest/gtest.h>

#include "support/shape.h"
#include "tolu/front_end.h"

namespace tolu {
namespace {

using testing::expression_shape;

struct ShapeCase {
  const char* source;
  const char* shape;
};

void PrintTo(const ShapeCase& c, std::ostream* os) {
  *os << c.source;
}

class ExpressionShape : public ::testing::TestWithParam<ShapeCase> {};

TEST_P(ExpressionShape, ParsesTo) {
  EXPECT_EQ(expression_shape(GetParam().source), GetParam().shape);
}

INSTANTIATE_TEST_SUITE_P(
    Precedence, ExpressionShape,
    ::testing::Values(
        ShapeCase{"a + b * c ** d ** e", "(a + (b * (c ** (d ** e))))"},
        ShapeCase{"a - b - c", "((a - b) - c)"},
        ShapeCase{"a or b xor c and d", "(a or (b xor (c and d)))"},
        ShapeCase{"a ⋁ b ⊻ c ⋀ d ⊼ e", "(a ⋁ (b ⊻ ((c ⋀ d) ⊼ e)))"},
        ShapeCase{"a == b < c", "(a == (b < c))"},
        ShapeCase{"a default b == c", "((a default b) == c)"},
        ShapeCase{"a < b | c ^ d & e", "(a < (b | (c ^ (d & e))))"},
        ShapeCase{"a union b _ c + d", "(a union (b _ (c + d)))"},
        ShapeCase{"a ... b \\ c", "((a ... b) \\ c)"},
        ShapeCase{"a × b ÷ c mod d", "(((a × b) ÷ c) mod d)"},
        ShapeCase{"a in b eq c", "((a in b) eq c)"}, ShapeCase{"a -> b", "(a -> b)"},
        ShapeCase{"x instanceof C does T", "((x instanceof C) does T)"},
        ShapeCase{"a = b", "(a = b)"}, ShapeCase{"a := b", "(a := b)"},
        ShapeCase{"x := y := 1", "(x := (y := 1))"}, ShapeCase{"x += 1 + 2", "(x += (1 + 2))"},
        ShapeCase{"x ?:= y", "(x ?:= y)"}, ShapeCase{"x := 1 but weak", "(x := 1 but weak)"},
        ShapeCase{"o[1] := 1", "(o[1] := 1)"}, ShapeCase{"o{k} := 1", "(o{k} := 1)"},
        ShapeCase{"o @@ p := 1", "((o @@ p) := 1)"}, ShapeCase{"o[1:] := x", "(o[1:] := x)"},
        ShapeCase{"a ? b : c ? d : e", "(a ? b : (c ? d : e))"},
        ShapeCase{"a ? b : c |> f", "((a ? b : c) |> f)"},
        ShapeCase{"a |> b ? c : d", "(a |> (b ? c : d))"},
        ShapeCase{"x ?: y ?: z", "(x ?: (y ?: z))"}, ShapeCase{"a or b ?: c", "((a or b) ?: c)"},
        ShapeCase{"a |> f |> g", "((a |> f) |> g)"}, ShapeCase{"g <| f <| a", "(g <| (f <| a))"},
        ShapeCase{"a ▷ f ◁ b", "UnexpectedEnd 1:10 Mixed chain directions require parentheses"},
        ShapeCase{"x := a |> f", "(x := (a |> f))"},
        ShapeCase{"c ? x := 1 : 2", "(c ? (x := 1) : 2)"}));

INSTANTIATE_TEST_SUITE_P(
    Prefix, ExpressionShape,
    ::testing::Values(
        ShapeCase{"-a ** 2", "((- a) ** 2)"}, ShapeCase{"not a and b", "((not a) and b)"},
        ShapeCase{"- -a", "(- (- a))"}, ShapeCase{"!f(x).y", "(! f(x).y)"},
        // Each operator keeps the spelling it was written in, however its spellings alternate.
        ShapeCase{"!a and not b and ¬c and !d", "((((! a) and (not b)) and (¬ c)) and (! d))"},
        ShapeCase{"a -> b → c -> d", "(((a -> b) -> c) -> d)"}, ShapeCase{"√x + 1", "((√ x) + 1)"},
        ShapeCase{"length xs * 2", "((length xs) * 2)"}, ShapeCase{"++a[0]", "(++ a[0])"},
        ShapeCase{"⌊x + 1⌋", "(floor (x + 1))"}, ShapeCase{"⌈x⌉ * 2", "((ceil x) * 2)"},
        ShapeCase{"-> ^^ + 1", "fn(^^?) -> (^^ + 1)"},
        ShapeCase{"fn (a, b) -> a + b", "fn(a, b) -> (a + b)"},
        ShapeCase{"fn a -> a", "fn(a) -> a"}, ShapeCase{"fn x -> y := x", "fn(x) -> (y := x)"},
        ShapeCase{"fn (Number x? := 1) -> x", "fn(Number x? := 1) -> x"},
        ShapeCase{"fn x := 1 -> x", "UnexpectedEnd 1:15 Expected '->' after lambda parameters"},
        ShapeCase{"async fn x -> x", "async fn(x) -> x"},
        ShapeCase{"async function () { }", "async function() {}"},
        ShapeCase{"function (a, ...rest) -> Int { return a; }",
                  "function(a, ...rest) -> Int {return a}"},
        ShapeCase{"function () { } (1)", "function() {}(1)"},
        ShapeCase{"const Number x := 1 but weak", "(const Number x := 1 but weak)"},
        ShapeCase{"let y", "(let y)"}, ShapeCase{"do { 1 }", "do {1}"},
        ShapeCase{"await { }", "await {}"}, ShapeCase{"spawn { f() }", "spawn {f()}"},
        ShapeCase{"try { } catch { } catch (e) { }", "try {} catch*2"},
        ShapeCase{"new a.b with T (1)", "(new with T a.b(1))"},
        ShapeCase{"new C().m", "(new C()).m"},
        ShapeCase{"new C{k} but T, U (x: 1)", "(new with T,U C{k}(x: 1))"},
        ShapeCase{"super(1, ...xs)", "super(1, ...xs)"}));

INSTANTIATE_TEST_SUITE_P(
    PrimaryAndSuffixes, ExpressionShape,
    ::testing::Values(
        ShapeCase{"(a)", "a"}, ShapeCase{"((1))", "1"}, ShapeCase{"(a + b) * c", "((a + b) * c)"},
        ShapeCase{"\"s\" 'b' /r/i true false null ⊤",
                  "Syntax 1:5 Unexpected token after expression"},
        ShapeCase{"[true, false, null, ⊥]", "[true, false, null, false]"},
        ShapeCase{"[, 1,, 2, ]", "[1, 2]"}, ShapeCase{"[,]", "[]"}, ShapeCase{"[]", "[]"},
        ShapeCase{"{}", "{}"}, ShapeCase{"{{}}", "{{}}"},
        ShapeCase{"{a: 1, \"b\": 2, (k): 3, if: 4,}", "{a: 1, \"b\": 2, (k): 3, if: 4}"},
        ShapeCase{"{{ a: 1, b: 2, }}", "{{a: 1, b: 2}}"}, ShapeCase{"{{ ,, }}", "{{}}"},
        ShapeCase{"<< 1, 2, >>", "<<1, 2>>"}, ShapeCase{"« »", "<<>>"},
        ShapeCase{"<<< a >>>", "<<<a>>>"}, ShapeCase{"f(1)[2].x{k}++", "(f(1)[2].x{k}++)"},
        ShapeCase{"o[:]", "o[:]"}, ShapeCase{"o[1:]", "o[1:]"}, ShapeCase{"o[:2]", "o[:2]"},
        ShapeCase{"o[1:2]", "o[1:2]"}, ShapeCase{"o{a + 1}", "o{((a + 1))}"},
        ShapeCase{"o{\"k\"}", "o{\"k\"}"}, ShapeCase{"o{(1)}", "o{(1)}"},
        ShapeCase{"o.(m)(1)", "o.(m)(1)"}, ShapeCase{"o.class", "o.class"},
        ShapeCase{"a{k}--", "(a{k}--)"}, ShapeCase{"f()", "f()"}, ShapeCase{"f(1,)", "f(1)"},
        ShapeCase{"f(1,, 2)", "f(1, 2)"},
        ShapeCase{"f(x: 1, \"y\": 2, (k): 3)", "f(x: 1, \"y\": 2, (k): 3)"},
        ShapeCase{"f(...xs, 1)", "f(...xs, 1)"}, ShapeCase{"f(a b: 1)", "f(a, b: 1)"},
        ShapeCase{"f(a + 1: 2)", "f(((a + 1)): 2)"},
        ShapeCase{"f((\"y\"): 1, (k).m: 2)", "f((\"y\"): 1, (k.m): 2)"},
        ShapeCase{"`a${x}b${y + 1}`", "`a${x}b${(y + 1)}`"}, ShapeCase{"/a${x}b/g", "/a${x}b/g"}));

struct ErrorCase {
  const char* source;
  const char* error;
};

void PrintTo(const ErrorCase& c, std::ostream* os) {
  *os << c.source;
}

class ExpressionError : public ::testing::TestWithParam<ErrorCase> {};

TEST_P(ExpressionError, FailsWith) {
  EXPECT_EQ(expression_shape(GetParam().source), GetParam().error);
}

INSTANTIATE_TEST_SUITE_P(
    Table, ExpressionError,
    ::testing::Values(
        ErrorCase{"1 2", "Syntax 1:3 Unexpected token after expression"},
        ErrorCase{"", "UnexpectedEnd 1:1 Expected expression"},
        ErrorCase{"a ? b", "UnexpectedEnd 1:6 Expected ':' in ternary expression"},
        ErrorCase{"o.x := 1", "UnexpectedEnd 1:9 invalid assignment target"},
        ErrorCase{"f() := 1;", "Syntax 1:9 invalid assignment target"},
        ErrorCase{"x += 1 but weak",
                  "UnexpectedEnd 1:16 but weak is only valid on ':=' assignments"},
        ErrorCase{"o @? p := 1 but weak",
                  "UnexpectedEnd 1:21 but weak is not valid on @? path assignments"},
        ErrorCase{"x := 1 but strong",
                  "Syntax 1:12 Unknown but modifier 'strong' in assignment; expected 'but weak'"},
        ErrorCase{"a |> f <| b", "UnexpectedEnd 1:12 Mixed chain directions require parentheses"},
        ErrorCase{"(a |> f) <| b", "UnexpectedEnd 1:14 Mixed chain directions require parentheses"},
        ErrorCase{"<< 1 2 >>", "Syntax 1:6 Expected collection literal terminator"},
        ErrorCase{"++f()", "UnexpectedEnd 1:6 invalid target for unary operator '++'"},
        ErrorCase{"f()++ + 1", "Syntax 1:7 invalid target for unary operator '++'"},
        ErrorCase{"o[1 2]", "Syntax 1:5 Expected ']' after index"},
        ErrorCase{"o[1:2", "UnexpectedEnd 1:6 Expected ']' after slice"},
        ErrorCase{"o{1}", "Syntax 1:3 Expected dict access key"},
        ErrorCase{"o{k", "UnexpectedEnd 1:4 Expected '}' after dict access"},
        ErrorCase{"o.", "UnexpectedEnd 1:3 Expected member name after '.'"},
        ErrorCase{"o.(m", "UnexpectedEnd 1:5 Expected ')' after dynamic member expression"},
        ErrorCase{"o.(m) 1", "Syntax 1:7 Expected '(' after dynamic member"},
        ErrorCase{"(1", "UnexpectedEnd 1:3 Expected ')' after expression"},
        ErrorCase{"[1 2]", "Syntax 1:4 Expected ']' after array literal"},
        ErrorCase{"{a 1}", "Syntax 1:4 Expected ':' after dict key"},
        ErrorCase{"{a: 1 b: 2}", "Syntax 1:7 Expected '}' after dict literal"},
        ErrorCase{"{ 1: 2 }", "Syntax 1:3 Expected dict key"},
        ErrorCase{"{(1 : 2}", "Syntax 1:5 Expected ')' after dict key expression"},
        ErrorCase{"{{ a 1 }}", "Syntax 1:6 Expected ':' after pairlist key"},
        ErrorCase{"{{ a: 1 }", "UnexpectedEnd 1:10 Expected second '}' after pairlist literal"},
        ErrorCase{"{{ a: 1 b: 2 }}", "Syntax 1:9 Expected '}' after pairlist literal"},
        ErrorCase{"⌊x⌉", "Syntax 1:3 Expected grouped unary closer"},
        ErrorCase{"super 1", "Syntax 1:7 Expected '(' after super"},
        ErrorCase{"f(1 2)", "Syntax 1:5 Expected ')' after arguments"},
        ErrorCase{"f(,)", "Syntax 1:4 Expected expression"},
        ErrorCase{"try { }", "UnexpectedEnd 1:8 Expected at least one catch block"},
        ErrorCase{"new C", "UnexpectedEnd 1:6 Expected '(' after class name in new expression"},
        ErrorCase{"if", "Syntax 1:1 Expected expression"},
        ErrorCase{")", "Syntax 1:1 Expected expression"},
        ErrorCase{"fn (a) a", "Syntax 1:8 Expected '->' after lambda parameters"},
        ErrorCase{"async x", "Syntax 1:7 Expected function or fn after async"},
        ErrorCase{"function () -> { }", "Syntax 1:16 Expected return type after '->'"},
        ErrorCase{"function f() {}", "Syntax 1:10 Expected '('"},
        ErrorCase{"await 1", "Syntax 1:7 Expected '{'"},
        ErrorCase{"let ^^", "Syntax 1:5 '^^' is reserved for the chain placeholder"},
        ErrorCase{"`${1 +}`", "Semantic 1:1 invalid template interpolation"},
        ErrorCase{"\n\n```a\n${\n\n1 +}```", "Semantic 4:1 invalid template interpolation"}));

TEST(ExpressionLines, NodesTakeTheDocumentedLines) {
  auto result = parse_expression_with_source_file("a\n+\nb", std::string("f.tos"));
  ASSERT_TRUE(result);
  const auto& e = result.value();
  EXPECT_EQ(e.line(), 1u);
  EXPECT_EQ(e.source_file(), "f.tos");
  EXPECT_EQ(e.as<ast::BinaryExpression>()->right.line(), 3u);
  // A unary node takes the line of its operand's last token.
  auto unary = parse_expression_with_source_file("-\nf(\n1)", std::nullopt);
  ASSERT_TRUE(unary);
  EXPECT_EQ(unary.value().line(), 3u);
  // An interpolation keeps the line it has in the file.
  auto tmpl = parse_expression_with_source_file("\n```a\n${\nx}```", std::string("t.tos"));
  ASSERT_TRUE(tmpl);
  const auto& parts = tmpl.value().as<ast::TemplateLiteral>()->parts;
  ASSERT_EQ(parts.size(), 2u);
  EXPECT_EQ(parts[1].line, 4u);
  EXPECT_EQ(parts[1].source_file, "t.tos");
  EXPECT_EQ(std::get<ast::Interpolation>(parts[1].node).expression.source_file(), "t.tos");
}

// One parser reads a template's interpolations one after the other, restarted for each, and a
// nested template's with another: each expression keeps its own span in the file.
TEST(ExpressionSpans, InterpolationsParsedInTurnKeepTheirSpans) {
  const std::string source = "`${alpha + beta} and ${`in ${x}, ${y}`} then ${z}`";
  auto result = parse_expression_with_source_file(source, std::nullopt);
  ASSERT_TRUE(result);
  const auto span_of = [&](std::string_view text) {
    const auto at = static_cast<std::uint32_t>(source.find(text));
    return ast::Span{at, at + static_cast<std::uint32_t>(text.size())};
  };
  const auto interpolated = [](const ast::TemplatePart& part) -> const ast::Expression& {
    return std::get<ast::Interpolation>(part.node).expression;
  };
  const auto& parts = result.value().as<ast::TemplateLiteral>()->parts;
  ASSERT_EQ(parts.size(), 5u);
  EXPECT_EQ(interpolated(parts[0]).span(), span_of("alpha + beta"));
  EXPECT_EQ(interpolated(parts[2]).span(), span_of("`in ${x}, ${y}`"));
  EXPECT_EQ(interpolated(parts[4]).span(), span_of("z"));
  const auto& nested = interpolated(parts[2]).as<ast::TemplateLiteral>()->parts;
  ASSERT_EQ(nested.size(), 4u);
  EXPECT_EQ(interpolated(nested[1]).span(), span_of("x"));
  EXPECT_EQ(interpolated(nested[3]).span(), span_of("y"));
}

TEST(ExpressionOperators, OnlyOperatorAndKeywordTokensAreOperators) {
  // A string spelled like an operator ends the expression instead of acting as one.
  EXPECT_EQ(expression_shape("total \"=\" total"), "Syntax 1:7 Unexpected token after expression");
  EXPECT_EQ(testing::program_shape("say \"total\" \"=\" total"),
            "Syntax 1:13 Expected ; after simple statement");
}

TEST(ExpressionErrors, SourceFileIsAttachedToParserErrors) {
  auto result = parse_expression_with_source_file("(", std::string("x.tos"));
  ASSERT_FALSE(result);
  EXPECT_EQ(result.error().source_file(), "x.tos");
  auto interpolation = parse_expression_with_source_file("`${)}`", std::string("x.tos"));
  ASSERT_FALSE(interpolation);
  EXPECT_EQ(interpolation.error().kind(), ErrorKind::Semantic);
  EXPECT_EQ(interpolation.error().source_file(), "x.tos");
}

}  // namespace
}  // namespace tolu
