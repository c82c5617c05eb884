// Source spans: every node records the character offsets of its first token's start and its
// last token's end, in the whole file (interpolations included), and keeps them through clone()
// without taking part in ==.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "parser/parser.h"
#include "support/spans.h"
#include "syntax_tree/json.h"
#include "tolu/builder.h"
#include "tolu/clone.h"
#include "tolu/front_end.h"

namespace tolu {
namespace {

using ast::Json;

struct SpanCase {
  const char* source;
  const char* pointer;  // a JSON pointer into the printed tree; "" is the root
  std::uint32_t start;
  std::uint32_t end;
};

void PrintTo(const SpanCase& c, std::ostream* os) {
  *os << c.source << " @ " << c.pointer;
}

Json expression_json(std::string_view source) {
  auto tree = parse_expression_text(source, std::nullopt);
  EXPECT_TRUE(tree) << source;
  return tree ? ast::to_json(tree.value(), true) : Json();
}

Json program_json(std::string_view source) {
  auto program = parse_program_text(source, std::nullopt);
  EXPECT_TRUE(program) << source;
  return program ? ast::to_json(program.value(), true) : Json();
}

void expect_span(const Json& tree, const SpanCase& c) {
  const Json::json_pointer pointer(c.pointer);
  ASSERT_TRUE(tree.contains(pointer)) << c.pointer;
  EXPECT_EQ(tree.at(pointer).at("span"), Json::array({c.start, c.end}));
}

class ExpressionSpan : public ::testing::TestWithParam<SpanCase> {};

TEST_P(ExpressionSpan, IsFromTheFirstTokenToTheLast) {
  expect_span(expression_json(GetParam().source), GetParam());
}

INSTANTIATE_TEST_SUITE_P(
    LiteralsAndOperators, ExpressionSpan,
    ::testing::Values(
        SpanCase{"42", "", 0, 2}, SpanCase{"  \"héllo\"  ", "", 2, 9},
        SpanCase{"a + b * c", "", 0, 9}, SpanCase{"a + b * c", "/right", 4, 9},
        SpanCase{"a + b * c", "/right/left", 4, 5},
        // A prefix operator starts its node, though the node takes the operand's line.
        SpanCase{"-a ** 2", "", 0, 7}, SpanCase{"-a ** 2", "/left", 0, 2},
        SpanCase{"-a ** 2", "/left/operand", 1, 2},
        // Grouping parentheses belong to the node they group.
        SpanCase{"(a + b) * c", "", 0, 11}, SpanCase{"(a + b) * c", "/left", 0, 7},
        SpanCase{"(a + b) * c", "/left/left", 1, 2}, SpanCase{"x := y ?: z", "", 0, 11},
        SpanCase{"x := y ?: z", "/value", 5, 11}, SpanCase{"c ? 1 : 2", "", 0, 9},
        SpanCase{"x++", "", 0, 3}, SpanCase{"⌊x⌋", "", 0, 3}, SpanCase{"[1, [2]]", "", 0, 8},
        SpanCase{"[1, [2]]", "/elements/1", 4, 7}, SpanCase{"{a: 1, \"b\": 2}", "", 0, 14},
        SpanCase{"{a: 1, \"b\": 2}", "/entries/0", 1, 5},
        SpanCase{"{a: 1, \"b\": 2}", "/entries/0/key", 1, 2},
        SpanCase{"{a: 1, \"b\": 2}", "/entries/1", 7, 13},
        SpanCase{"{a: 1, \"b\": 2}", "/entries/1/key", 7, 10},
        SpanCase{"«1, 2»", "/elements/1", 4, 5}, SpanCase{"<<<1, 2>>>", "", 0, 10},
        SpanCase{"<<<1, 2>>>", "/elements/1", 6, 7}, SpanCase{"{{a: 1}}", "", 0, 8},
        SpanCase{"{{a: 1}}", "/entries/0", 2, 6}, SpanCase{"<<1>>", "", 0, 5},
        SpanCase{"'ab'", "", 0, 4}, SpanCase{"true", "", 0, 4}, SpanCase{"⊤", "", 0, 1},
        SpanCase{"null", "", 0, 4}, SpanCase{"let x := 1 but weak", "", 0, 19},
        SpanCase{"await { 1 }", "", 0, 11}, SpanCase{"spawn { }", "", 0, 9}));

INSTANTIATE_TEST_SUITE_P(
    CallsAndSuffixes, ExpressionSpan,
    ::testing::Values(
        SpanCase{"f(x, k: 1, ...r)", "", 0, 16}, SpanCase{"f(x, k: 1, ...r)", "/arguments/0", 2, 3},
        SpanCase{"f(x, k: 1, ...r)", "/arguments/1", 5, 9},
        SpanCase{"f(x, k: 1, ...r)", "/arguments/1/key", 5, 6},
        SpanCase{"f(x, k: 1, ...r)", "/arguments/2", 11, 15},
        SpanCase{"f(x, k: 1, ...r)", "/arguments/2/value", 14, 15},
        SpanCase{"o.m[1:2]{k}", "", 0, 11}, SpanCase{"o.m[1:2]{k}", "/object", 0, 8},
        SpanCase{"o.m[1:2]{k}", "/object/object", 0, 3},
        SpanCase{"o.m[1:2]{k}", "/object/start", 4, 5}, SpanCase{"o.m[1:2]{k}", "/key", 9, 10},
        SpanCase{"a{(k)}", "/key", 2, 5}, SpanCase{"a.(m)(1)", "", 0, 8},
        SpanCase{"new C(1).x", "", 0, 10}, SpanCase{"new C(1).x", "/object", 0, 8},
        SpanCase{"new C(1).x", "/object/operand", 4, 8},
        SpanCase{"new C(1).x", "/object/operand/callee", 4, 5}, SpanCase{"super(1)", "", 0, 8}));

INSTANTIATE_TEST_SUITE_P(
    FunctionsAndBlocks, ExpressionSpan,
    ::testing::Values(SpanCase{"fn (a, b := 1) -> a", "", 0, 19},
                      SpanCase{"fn (a, b := 1) -> a", "/parameters/1", 7, 13},
                      SpanCase{"fn (a, b := 1) -> a", "/body", 18, 19},
                      SpanCase{"async fn x -> x", "", 0, 15},
                      SpanCase{"async function () { }", "", 0, 21},
                      SpanCase{"async function () { }", "/body", 18, 21},
                      // The placeholder parameter spans the arrow.
                      SpanCase{"-> ^^ + 1", "", 0, 9}, SpanCase{"-> ^^ + 1", "/parameters/0", 0, 2},
                      // A statement does not include the ";" that ends it.
                      SpanCase{"do { 1; }", "", 0, 9}, SpanCase{"do { 1; }", "/body", 3, 9},
                      SpanCase{"do { 1; }", "/body/statements/0", 5, 6},
                      SpanCase{"try { x } catch (E e) { y }", "", 0, 27},
                      SpanCase{"try { x } catch (E e) { y }", "/body", 4, 9},
                      SpanCase{"try { x } catch (E e) { y }", "/catches/0", 10, 27},
                      SpanCase{"try { x } catch (E e) { y }", "/catches/0/binding", 17, 20}));

// Interpolations are parsed on their own, yet their nodes have offsets in the whole text.
INSTANTIATE_TEST_SUITE_P(
    Interpolations, ExpressionSpan,
    ::testing::Values(SpanCase{"`aé${x + 1}b${ y }`", "", 0, 19},
                      SpanCase{"`aé${x + 1}b${ y }`", "/parts/0", 1, 3},
                      SpanCase{"`aé${x + 1}b${ y }`", "/parts/1", 3, 11},
                      SpanCase{"`aé${x + 1}b${ y }`", "/parts/1/expression", 5, 10},
                      SpanCase{"`aé${x + 1}b${ y }`", "/parts/1/expression/right", 9, 10},
                      SpanCase{"`aé${x + 1}b${ y }`", "/parts/2", 11, 12},
                      SpanCase{"`aé${x + 1}b${ y }`", "/parts/3", 12, 18},
                      SpanCase{"`aé${x + 1}b${ y }`", "/parts/3/expression", 15, 16},
                      // Text spans its characters as written, escapes undecoded.
                      SpanCase{"`\\t${x}`", "/parts/0", 1, 3},
                      SpanCase{"`\\t${x}`", "/parts/1", 3, 7}, SpanCase{"/a${x}b/g", "", 0, 9},
                      SpanCase{"/a${x}b/g", "/parts/0", 1, 2},
                      SpanCase{"/a${x}b/g", "/parts/1", 2, 6},
                      SpanCase{"/a${x}b/g", "/parts/1/expression", 4, 5},
                      SpanCase{"/a${x}b/g", "/parts/2", 6, 7},
                      // A template inside an interpolation inside a template.
                      SpanCase{"`${`${x}`}`", "/parts/0", 1, 10},
                      SpanCase{"`${`${x}`}`", "/parts/0/expression", 3, 9},
                      SpanCase{"`${`${x}`}`", "/parts/0/expression/parts/0", 4, 8},
                      SpanCase{"`${`${x}`}`", "/parts/0/expression/parts/0/expression", 6, 7}));

class ProgramSpan : public ::testing::TestWithParam<SpanCase> {};

TEST_P(ProgramSpan, IsFromTheFirstTokenToTheLast) {
  expect_span(program_json(GetParam().source), GetParam());
}

INSTANTIATE_TEST_SUITE_P(
    Statements, ProgramSpan,
    ::testing::Values(SpanCase{"", "", 0, 0}, SpanCase{" ;; ", "", 1, 3},
                      SpanCase{"let x := 1;\nx := 2", "", 0, 18},
                      SpanCase{"let x := 1;\nx := 2", "/statements/0", 0, 10},
                      SpanCase{"let x := 1;\nx := 2", "/statements/1", 12, 18},
                      SpanCase{"let é := «1, 2»;", "/statements/0/initializer", 9, 15},
                      SpanCase{"say \"ü\";\nsay `${ab}`;", "/statements/1", 9, 20},
                      SpanCase{"say \"ü\";\nsay `${ab}`;", "/statements/1/arguments/0/parts/0", 14,
                               19},
                      SpanCase{"say \"ü\";\nsay `${ab}`;",
                               "/statements/1/arguments/0/parts/0/expression", 16, 18},
                      SpanCase{"say 1 if c;", "/statements/0", 0, 10},
                      SpanCase{"say 1 if c;", "/statements/0/statement", 0, 10},
                      SpanCase{"say 1 if c;", "/statements/0/statement/statement", 0, 5},
                      SpanCase{"say x for xs;", "/statements/0", 0, 12},
                      SpanCase{"say x for xs;", "/statements/0/body", 0, 5},
                      SpanCase{"say x for xs;", "/statements/0/body/statements/0", 0, 5},
                      SpanCase{"while (x) { next; }", "/statements/0", 0, 19},
                      SpanCase{"while (x) { next; }", "/statements/0/body/statements/0", 12, 16},
                      SpanCase{"try { } catch { }", "/statements/0/catches/0", 8, 17}));

constexpr const char* kIf = "if (a) { b; } else if (c) { d; } else { e; }";
constexpr const char* kClass = "class C { let x := 1; method m(a) { } static method s; }";
constexpr const char* kSwitch = "switch (x) { case 1, 2: say x; default: y; }";
constexpr const char* kImport = "from a.b try import x as y, z if c;";
constexpr const char* kPattern = "let {a, b: B c := 1, (k): d} := o;";
constexpr const char* kFunction = "async function f(...xs) -> T { return xs; }";

INSTANTIATE_TEST_SUITE_P(
    Declarations, ProgramSpan,
    ::testing::Values(
        SpanCase{kIf, "/statements/0", 0, 44}, SpanCase{kIf, "/statements/0/condition", 4, 5},
        SpanCase{kIf, "/statements/0/then_block", 7, 13},
        SpanCase{kIf, "/statements/0/else_branch", 19, 44},
        SpanCase{kIf, "/statements/0/else_branch/else_branch", 38, 44},
        SpanCase{kIf, "/statements/0/else_branch/else_branch/block", 38, 44},
        SpanCase{kClass, "/statements/0", 0, 56},
        SpanCase{kClass, "/statements/0/declaration", 0, 56},
        SpanCase{kClass, "/statements/0/declaration/members/0", 10, 20},
        SpanCase{kClass, "/statements/0/declaration/members/0/declaration", 10, 20},
        SpanCase{kClass, "/statements/0/declaration/members/1", 22, 37},
        SpanCase{kClass, "/statements/0/declaration/members/1/declaration/parameters/0", 31, 32},
        SpanCase{kClass, "/statements/0/declaration/members/1/declaration/body", 34, 37},
        // A forward declaration ends with its ";", and its empty body there.
        SpanCase{kClass, "/statements/0/declaration/members/2", 38, 54},
        SpanCase{kClass, "/statements/0/declaration/members/2/declaration/body", 54, 54},
        SpanCase{"trait T { method m; }", "/statements/0/declaration/members/0", 10, 19},
        SpanCase{"function f;", "/statements/0", 0, 11},
        SpanCase{"function f;", "/statements/0/body", 11, 11},
        SpanCase{kFunction, "/statements/0", 0, 43},
        SpanCase{kFunction, "/statements/0/parameters/0", 17, 22},
        SpanCase{kFunction, "/statements/0/body", 29, 43},
        SpanCase{kFunction, "/statements/0/body/statements/0", 31, 40},
        SpanCase{kSwitch, "/statements/0", 0, 44},
        SpanCase{kSwitch, "/statements/0/cases/0", 13, 30},
        SpanCase{kSwitch, "/statements/0/cases/0/body/0", 24, 29},
        SpanCase{kImport, "/statements/0", 0, 34},
        SpanCase{kImport, "/statements/0/specifiers/0", 20, 26},
        SpanCase{kImport, "/statements/0/specifiers/1", 28, 29},
        SpanCase{kImport, "/statements/0/condition", 30, 34},
        SpanCase{kPattern, "/statements/0", 0, 33},
        SpanCase{kPattern, "/statements/0/pattern", 4, 28},
        SpanCase{kPattern, "/statements/0/pattern/entries/0", 5, 6},
        SpanCase{kPattern, "/statements/0/pattern/entries/0/key", 5, 6},
        SpanCase{kPattern, "/statements/0/pattern/entries/1", 8, 19},
        SpanCase{kPattern, "/statements/0/pattern/entries/1/key", 8, 9},
        SpanCase{kPattern, "/statements/0/pattern/entries/2", 21, 27},
        SpanCase{kPattern, "/statements/0/pattern/entries/2/key", 21, 24}));

// ---- Spans through clone(), ==, and the Builder ----------------------------------------------

TEST(Spans, CloneKeepsThemAndEqualityIgnoresThem) {
  auto parsed = parse_program_text(kClass, std::nullopt);
  ASSERT_TRUE(parsed);
  const ast::Program& original = parsed.value();
  ast::Program copy = ast::clone(original);
  EXPECT_EQ(ast::to_json(copy, true), ast::to_json(original, true));

  // Trees that differ only in spans are equal, and print the same without them.
  copy.statements[0].set_span({1, 2});
  auto& declaration = copy.statements[0].as<ast::Class>()->declaration;
  declaration.span = ast::Span{3, 4};
  EXPECT_EQ(copy, original);
  EXPECT_EQ(ast::to_json(copy), ast::to_json(original));
  EXPECT_NE(ast::to_json(copy, true), ast::to_json(original, true));
  EXPECT_EQ(copy.statements[0].span(), (ast::Span{1, 2}));
  EXPECT_EQ(declaration.span, (ast::Span{3, 4}));
  // A class member reads its declaration's span.
  EXPECT_EQ(declaration.members[0].span(), (ast::Span{10, 20}));
}

TEST(Spans, BuiltNodesAreEmptyUnlessGivenOne) {
  auto tree = parse_expression_text("a + 1", std::nullopt);
  ASSERT_TRUE(tree);
  ast::Storage storage;
  const ast::Builder b(storage);
  const ast::Expression fresh = b.expression(ast::NullLiteral{}, 1, ast::SourceFile());
  EXPECT_EQ(fresh.span(), (ast::Span{}));
  const ast::Expression placed =
      b.expression(ast::NullLiteral{}, 2, ast::Span{5, 9}, ast::SourceFile());
  EXPECT_EQ(placed.span(), (ast::Span{5, 9}));
  // A rewrite takes the place, line and file of the node it replaces.
  const ast::Expression folded =
      b.expression_in_place_of(ast::NumberLiteral{b.text("2")}, tree.value());
  EXPECT_EQ(folded.span(), (ast::Span{0, 5}));
  EXPECT_EQ(folded.line(), tree.value().line());
  const ast::Statement statement = b.statement(ast::Return{}, ast::Span{1, 7});
  EXPECT_EQ(statement.span(), (ast::Span{1, 7}));
  EXPECT_EQ(b.statement(ast::Return{}).span(), (ast::Span{}));
  // A clone into another storage keeps the span.
  EXPECT_EQ(ast::clone(placed, ast::Builder(tree.value().storage())).span(), (ast::Span{5, 9}));
}

// Spans cost two 32-bit offsets a node; lines shrank to 32 bits to pay for part of them.
TEST(Spans, KeepNodesSmall) {
  if constexpr (sizeof(void*) == 8) {
    EXPECT_LE(sizeof(ast::ExpressionData), 80u);
    EXPECT_LE(sizeof(ast::StatementData), 56u);
  }
}

// ---- Every node of the example programs lies within its parent and the source ---------------

namespace fs = std::filesystem;

std::string read(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

void strip_spans(Json& value) {
  if (value.is_object()) value.erase("span");
  if (value.is_structured()) {
    for (auto& child : value) strip_spans(child);
  }
}

TEST(Spans, EveryNodeOfTheExamplesLiesWithinItsParentAndTheSource) {
  std::size_t files = 0;
  for (const auto& entry :
       fs::recursive_directory_iterator(fs::path(TOLU_SOURCE_DIR) / "examples")) {
    if (!entry.is_regular_file()) continue;
    SCOPED_TRACE(entry.path().string());
    const std::string source = read(entry.path());
    auto program = parse_program(source);
    ASSERT_TRUE(program) << program.error().message();
    EXPECT_GT(testing::check_spans(program.value(), source), 20u);
    const Json with_spans = ast::to_json(program.value(), true);
    // Without spans the output is what it was; with them it only adds the "span" keys.
    Json stripped = with_spans;
    strip_spans(stripped);
    EXPECT_EQ(stripped, ast::to_json(program.value()));
    ++files;
  }
  EXPECT_GE(files, 5u);
}

}  // namespace
}  // namespace tolu
