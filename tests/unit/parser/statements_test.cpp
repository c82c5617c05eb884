#include <gtest/gtest.h>

#include "support/shape.h"
#include "tolu/clone.h"
#include "tolu/front_end.h"

namespace tolu {
namespace {

using testing::program_shape;

struct ProgramCase {
  const char* source;
  const char* shape;
};

void PrintTo(const ProgramCase& c, std::ostream* os) {
  *os << c.source;
}

class ProgramShape : public ::testing::TestWithParam<ProgramCase> {};

TEST_P(ProgramShape, ParsesTo) {
  EXPECT_EQ(program_shape(GetParam().source), GetParam().shape);
}

INSTANTIATE_TEST_SUITE_P(Core, ProgramShape,
                         ::testing::Values(ProgramCase{"", ""}, ProgramCase{";;", ""},
                                           ProgramCase{"{}", "{}"}, ProgramCase{"{ ; }", "{}"},
                                           ProgramCase{";;x;;", "x"},
                                           ProgramCase{"{ {} x }", "{{}; x}"}));

INSTANTIATE_TEST_SUITE_P(
    SimpleStatements, ProgramShape,
    ::testing::Values(
        ProgramCase{"x := 1; say x", "(x := 1); say x"}, ProgramCase{"{ say x }", "{say x}"},
        ProgramCase{"say; print 1, 2; warn", "say; print 1, 2; warn"},
        ProgramCase{"say x for xs;", "for const ^^ in xs {say x}"},
        ProgramCase{"return if done;", "return if done"},
        ProgramCase{"return unless x;", "return unless x"}, ProgramCase{"{ return }", "{return}"},
        ProgramCase{"throw e unless ok", "throw e unless ok"},
        ProgramCase{"die \"x\"", "die \"x\""},
        ProgramCase{"next; last; continue", "next; last; continue"},
        ProgramCase{"f(x) if y", "f(x) if y"},
        ProgramCase{"unless", "Syntax 1:1 Expected expression"},
        ProgramCase{"let x := 1 if c;", "Syntax 1:12 Expected ; after simple statement"},
        ProgramCase{"say x y", "Syntax 1:7 Expected ; after simple statement"},
        ProgramCase{"say x for xs if c;", "Syntax 1:14 Expected ; after simple statement"}));

INSTANTIATE_TEST_SUITE_P(
    Declarations, ProgramShape,
    ::testing::Values(
        ProgramCase{"let x; const Number y := 1 but weak", "let x; const Number y := 1 but weak"},
        ProgramCase{"let x but weak := 1", "let x := 1 but weak"},
        ProgramCase{"let class := 1", "let class := 1"},
        ProgramCase{"let {a, b: c, Number d := 0 but weak} := v;",
                    "let {a:a, b:c, d:Number d := 0 but weak} := v"},
        ProgramCase{"let {a a} := v;", "let {a:a a} := v"},
        ProgramCase{"let {} := v;", "let {} := v"},
        ProgramCase{"let {\"a\": x \"b\": y} := v;", "let {\"a\":x, \"b\":y} := v"},
        ProgramCase{"const {(k): T x, if: y, `t${1}`: z} := v",
                    "const {(k):T x, if:y, (`t${1}`):z} := v"},
        ProgramCase{"let {a, a} := v;", "Syntax 1:9 Duplicate unpacked binding 'a' in declaration"},
        // The first entry to repeat a name is the one reported; names repeated across patterns,
        // or in a pattern nested in a default value, are no duplicates.
        ProgramCase{"let {a, b, b, a} := v;",
                    "Syntax 1:12 Duplicate unpacked binding 'b' in declaration"},
        ProgramCase{"let {a} := v; let {b, a} := w;", "let {a:a} := v; let {b:b, a:a} := w"},
        ProgramCase{"let {a := do { let {a, b} := w; a }, b} := v;",
                    "let {a:a := do {let {a:a, b:b} := w; a}, b:b} := v"},
        ProgramCase{"let {a b: c} := v;", "Syntax 1:9 Expected unpacked binding in declaration"},
        ProgramCase{"let {a ; } := v;", "Syntax 1:8 Expected unpacked binding in declaration"},
        ProgramCase{"let {a", "UnexpectedEnd 1:7 Expected unpacked binding in declaration"},
        ProgramCase{"let {\"a\" x} := v", "Syntax 1:10 Expected ':' after declaration binding key"},
        ProgramCase{"let {a} = v", "Syntax 1:9 Expected ':=' after declaration binding pattern"},
        ProgramCase{
            "let x but strong",
            "Syntax 1:11 Unknown but modifier 'strong' in declaration; expected 'but weak'"},
        ProgramCase{"let ^^ := 1", "Syntax 1:5 '^^' is reserved for the chain placeholder"},
        ProgramCase{"let", "UnexpectedEnd 1:4 Expected name"},
        ProgramCase{"let 1", "Syntax 1:5 Expected name"}));

INSTANTIATE_TEST_SUITE_P(
    Loops, ProgramShape,
    ::testing::Values(ProgramCase{"for (xs) {}", "for const ^^ in xs {}"},
                      ProgramCase{"for (let x in xs) {} else {}", "for let x in xs {} else {}"},
                      ProgramCase{"while (a < b) { a++ }", "while (a < b) {(a++)}"},
                      ProgramCase{"for x in xs {}", "Syntax 1:5 Expected '(' after for"},
                      ProgramCase{"for (let 1 in xs) {}", "Syntax 1:10 Expected loop variable"},
                      ProgramCase{"for (let x of xs) {}", "Syntax 1:12 Expected keyword 'in'"},
                      ProgramCase{"for (xs; {}", "Syntax 1:8 Expected ')' after for header"},
                      ProgramCase{"while x {}", "Syntax 1:7 Expected '('"}));

INSTANTIATE_TEST_SUITE_P(
    Imports, ProgramShape,
    ::testing::Values(
        ProgramCase{"from lib try import *;", "from lib try import *"},
        ProgramCase{"from a.b import c as d, e if ok;", "from a.b import c as d, e if ok"},
        ProgramCase{"from \"x/y\" import z", "from x/y import z"},
        ProgramCase{"from a import", "UnexpectedEnd 1:14 Expected imported name"},
        ProgramCase{"from a import b as", "UnexpectedEnd 1:19 Expected alias name after as"},
        ProgramCase{"from a.b", "UnexpectedEnd 1:9 Expected keyword 'import'"},
        ProgramCase{"from a try", "UnexpectedEnd 1:11 Expected keyword 'import'"},
        ProgramCase{"from (a", "UnexpectedEnd 1:8 Expected keyword 'import'"}));

INSTANTIATE_TEST_SUITE_P(
    Functions, ProgramShape,
    ::testing::Values(
        ProgramCase{"function f; f()", "function f;; f()"},
        ProgramCase{"async function f(a, b,) -> T { }", "async function f(a, b) -> T {}"},
        ProgramCase{"function f(,a) {}", "function f(a) {}"},
        ProgramCase{"function f(a b) {}", "function f(a b) {}"},
        ProgramCase{"function f(a ...rest) {}", "function f(a, ...rest) {}"},
        ProgramCase{"function f(x?, y := 2) {}", "function f(x?, y := 2) {}"},
        ProgramCase{"async x;", "Syntax 1:7 Expected keyword 'function'"},
        ProgramCase{"function 1() {}", "Syntax 1:10 Expected function name"},
        ProgramCase{"function f(a b c) {}", "Syntax 1:16 Expected ')' after parameter list"},
        ProgramCase{"function f() -> {}", "Syntax 1:17 Expected return type after '->'"}));

INSTANTIATE_TEST_SUITE_P(
    ControlFlow, ProgramShape,
    ::testing::Values(
        ProgramCase{"if (a) {} else if (b) {} else {}", "if a {} else if b {} else {}"},
        ProgramCase{"switch (x : eq) { case 1, 2: say 1; default: say 0; }",
                    "switch x : eq { case 1, 2: say 1; default: say 0; }"},
        ProgramCase{"switch (x : ==) {}", "switch x : == { }"},
        ProgramCase{"switch (x) { ; case 1: ; ; default: }", "switch x { case 1: ; default: ; }"},
        ProgramCase{"switch (x) { default: a; default: b }", "switch x { default: b; }"},
        ProgramCase{"try {} catch {} catch () {} catch (e) {} catch (Error e) {}",
                    "try {} catch {} catch {} catch(e) {} catch(Error e) {}"},
        ProgramCase{"if (a) {} else say 1", "Syntax 1:16 Expected '{'"},
        ProgramCase{"switch x {}", "Syntax 1:8 Expected '(' after switch"},
        ProgramCase{"switch (x : foo) {}", "Syntax 1:13 Expected switch comparator operator"},
        ProgramCase{"switch (x y) {}", "Syntax 1:11 Expected ')' after switch header"},
        ProgramCase{"switch (x) case", "Syntax 1:12 Expected '{' before switch body"},
        ProgramCase{"switch (x) { case 1 say 1 }", "Syntax 1:21 Expected ':' after case values"},
        ProgramCase{"switch (x) { default say 1 }", "Syntax 1:22 Expected ':' after default"},
        ProgramCase{"switch (x) { say 1 }", "Syntax 1:14 Expected case or default in switch"},
        ProgramCase{"switch (x) {", "UnexpectedEnd 1:13 Expected case or default in switch"},
        ProgramCase{"try {}", "UnexpectedEnd 1:7 Expected at least one catch block"},
        ProgramCase{"try {} catch (1) {}", "Syntax 1:15 Expected catch binding"},
        ProgramCase{"try {} catch (E 1) {}", "Syntax 1:17 Expected ')' after catch binding"},
        ProgramCase{"{", "UnexpectedEnd 1:2 Expected expression"},
        ProgramCase{"{ say 1", "UnexpectedEnd 1:8 Expected expression"}));

INSTANTIATE_TEST_SUITE_P(
    Classes, ProgramShape,
    ::testing::Values(
        ProgramCase{"class A; trait T;", "class A; trait T"},
        ProgramCase{"class A { foo }", "Syntax 1:11 Unsupported class member"},
        ProgramCase{"class A {", "UnexpectedEnd 1:10 Unsupported class member"},
        ProgramCase{"class A extends {}", "Syntax 1:17 Expected base class name after extends"},
        ProgramCase{"class A with {}", "Syntax 1:14 Expected trait name"},
        ProgramCase{"class A : B {}", "Syntax 1:9 Expected '{' to start class body"},
        ProgramCase{"class {}", "Syntax 1:7 Expected class name"},
        ProgramCase{"trait T { let x }", "Syntax 1:11 Unsupported trait member"},
        ProgramCase{"trait T { static method m() {} }", "Syntax 1:11 Unsupported trait member"},
        ProgramCase{"trait T { async static method m() {} }",
                    "Syntax 1:17 static methods are not allowed here"},
        ProgramCase{"trait T { async async method m() {} }",
                    "Syntax 1:23 Duplicate async method modifier"},
        ProgramCase{"trait T x", "Syntax 1:9 Expected '{' to start trait body"},
        ProgramCase{"class A { static static method m() {} }",
                    "Syntax 1:25 Duplicate static method modifier"},
        ProgramCase{"class A { async static async method m() {} }",
                    "Syntax 1:30 Duplicate async method modifier"},
        ProgramCase{"class A { method 1 }", "Syntax 1:18 Expected method name"},
        ProgramCase{"class A { let x with 1 }", "Syntax 1:22 Expected accessor name"},
        ProgramCase{
            "class A { let x but bad }",
            "Syntax 1:21 Unknown but modifier 'bad' in field declaration; expected 'but weak'"}));

// Statements are told apart by their first keyword; words that only resemble one, and
// keywords written as symbols, are read as what they are.
INSTANTIATE_TEST_SUITE_P(Keywords, ProgramShape,
                         ::testing::Values(ProgramCase{"iff; lets; Say; Const; returns",
                                                       "iff; lets; Say; Const; returns"},
                                           ProgramCase{"say ⊤, ⊥, null", "say true, false, null"},
                                           ProgramCase{"class A { static x }",
                                                       "Syntax 1:18 Expected keyword 'method'"},
                                           ProgramCase{"class A { async static x }",
                                                       "Syntax 1:24 Expected keyword 'method'"}));

ast::Program parse_raw(std::string_view source) {
  CompileOptions options;
  options.validate = false;
  options.infer_types = false;
  auto result =
      parse_program_with_compile_options_and_source_file(source, options, std::string("c.tos"));
  EXPECT_TRUE(result) << testing::describe_error(result.error());
  return std::move(result).value();
}

// The condition's line is that of its first token, not that of "if" or "unless".
TEST(Imports, ConditionTakesTheLineOfItsFirstToken) {
  const struct {
    const char* source;
    ast::Line line;
  } cases[] = {{"from a import b if ok;", 1},
               {"from a import b\n if\n ok;", 3},
               {"from a import * unless\n\n (x);", 3}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.source);
    const ast::Program program = parse_raw(c.source);
    const auto* import = program.statements.at(0).as<ast::Import>();
    ASSERT_NE(import, nullptr);
    ASSERT_TRUE(import->condition);
    EXPECT_EQ(import->condition->line, c.line);
  }
}

// A byte-order mark is skipped only at the start of the file: an interpolation is not one.
INSTANTIATE_TEST_SUITE_P(
    ByteOrderMark, ProgramShape,
    ::testing::Values(ProgramCase{"\xEF\xBB\xBFsay 1", "say 1"}, ProgramCase{"\xEF\xBB\xBF", ""},
                      ProgramCase{"say `${\xEF\xBB\xBFx}`",
                                  "Semantic 1:1 invalid template interpolation"}));

TEST(ClassDeclarations, CarryEveryPart) {
  const ast::Program program = parse_raw(
      "class A extends B with T1, T2 {\n"
      "  let Number x with get, set := 0 but weak;\n"
      "  static async method m(a, ...rest) -> Number { }\n"
      "  method f;\n"
      "  class Inner {}\n"
      "  trait Tr {}\n"
      "}");
  const auto& c = program.statements.at(0).as<ast::Class>()->declaration;
  EXPECT_EQ(c.name, "A");
  EXPECT_EQ(c.base_class, "B");
  EXPECT_EQ(c.traits, (std::vector<std::string>{"T1", "T2"}));
  EXPECT_EQ(c.source_file, "c.tos");
  ASSERT_EQ(c.members.size(), 5u);
  const auto& field = std::get<ast::Field>(c.members[0].node).declaration;
  EXPECT_EQ(field.type_annotation, "Number");
  EXPECT_EQ(field.accessors, (std::vector<std::string>{"get", "set"}));
  EXPECT_TRUE(field.initializer.has_value());
  EXPECT_TRUE(field.is_weak);
  EXPECT_EQ(field.line, 2u);
  const auto& method = std::get<ast::Method>(c.members[1].node).declaration;
  EXPECT_TRUE(method.is_static);
  EXPECT_TRUE(method.is_async);
  ASSERT_EQ(method.parameters.size(), 2u);
  EXPECT_TRUE(method.parameters[1].is_variadic);
  EXPECT_EQ(method.return_type, "Number");
  EXPECT_EQ(method.line, 3u);
  const auto& forward = std::get<ast::Method>(c.members[2].node).declaration;
  EXPECT_TRUE(forward.is_forward);
  EXPECT_TRUE(forward.body.statements.empty());
  EXPECT_TRUE(std::holds_alternative<ast::NestedClass>(c.members[3].node));
  EXPECT_TRUE(std::holds_alternative<ast::NestedTrait>(c.members[4].node));
}

TEST(StatementLines, ComeFromTheDocumentedTokens) {
  const ast::Program program =
      parse_raw("\n\nsay 1\n  for xs;\nx\n:= 2 if\ny;\nfunction f;\nlet {\na} := v;");
  EXPECT_EQ(program.line, 3u);
  ASSERT_EQ(program.statements.size(), 4u);
  const auto& loop = *program.statements[0].as<ast::For>();
  EXPECT_EQ(loop.line, 3u);
  EXPECT_FALSE(loop.body.needs_lexical_scope);
  EXPECT_EQ(loop.body.line, 3u);
  EXPECT_EQ(program.statements[1].line(), 5u);
  EXPECT_EQ(program.statements[1].source_file(), "c.tos");
  const auto& forward = *program.statements[2].as<ast::FunctionDeclaration>();
  EXPECT_TRUE(forward.is_forward);
  EXPECT_EQ(forward.body.line, 8u);
  EXPECT_TRUE(forward.body.needs_lexical_scope);
  const auto& destructuring = *program.statements[3].as<ast::DestructuringDeclaration>();
  EXPECT_EQ(destructuring.line, 9u);
  EXPECT_EQ(destructuring.pattern.entries.at(0).line, 10u);
}

TEST(StatementErrors, DuplicateBindingIsReportedAtTheRepeatedEntry) {
  EXPECT_EQ(program_shape("let {a,\n  b,\n  a := 1} := v"),
            "Syntax 3:3 Duplicate unpacked binding 'a' in declaration");
}

// Tokens are read as the parser goes, yet a lexical error anywhere wins over an earlier syntax
// error, a lexical error after a complete program still fails it, and a lexical error inside an
// interpolation is the interpolation's.
TEST(StatementErrors, LexicalErrorsComeFirstWherever) {
  const std::pair<const char*, const char*> cases[] = {
      {"let = 1;\nsay 2;\nlet s := \"abc", "Lexical 3:10 unterminated string literal"},
      {"say 1; $", "Lexical 1:8 unexpected character '$'"},
      {"f(;\n\n  $", "Lexical 3:3 unexpected character '$'"},
      {"say `a ${1 $} b`", "Semantic 1:1 invalid template interpolation"},
      {"say `a ${1 +} b`; $", "Lexical 1:19 unexpected character '$'"},
      {"let = 1", "Syntax 1:5 Expected name"},
  };
  for (const auto& [source, error] : cases) EXPECT_EQ(program_shape(source), error) << source;
}

TEST(TreeCopies, AreDeepAndIndependent) {
  const ast::Program original = parse_raw(
      "let f := function (a) { try { x := {k: [1, 2]} } catch (e) { say e } };\n"
      "say f(1) + 2;");
  ast::Program copy = ast::clone(original);
  EXPECT_EQ(copy, original);
  auto& declaration = *copy.statements[0].as<ast::VariableDeclaration>();
  const ast::Builder builder(*copy.storage);
  builder.set_inferred_type(*declaration.initializer, builder.shared("Function"));
  declaration.needs_type_check = ast::TypeCheck::Yes;
  auto& function = *declaration.initializer->as<ast::FunctionExpression>();
  function.body.statements = {};
  EXPECT_NE(copy, original);
  const auto& kept = *original.statements[0].as<ast::VariableDeclaration>();
  EXPECT_FALSE(kept.initializer->inferred_type());
  EXPECT_EQ(kept.needs_type_check, ast::TypeCheck::Unknown);
  EXPECT_EQ(kept.initializer->as<ast::FunctionExpression>()->body.statements.size(), 1u);
}

}  // namespace
}  // namespace tolu
