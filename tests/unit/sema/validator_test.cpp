#include <gtest/gtest.h>

#include "sema/validator.h"
#include "support/shape.h"
#include "tolu/builder.h"
#include "tolu/front_end.h"

namespace tolu {
namespace {

std::string validate(std::string_view source) {
  CompileOptions options;
  options.infer_types = false;
  auto result = parse_program_with_compile_options_and_source_file(source, options, std::nullopt);
  return result ? "ok" : testing::describe_error(result.error());
}

struct RuleCase {
  const char* source;
  const char* result;
};

void PrintTo(const RuleCase& c, std::ostream* os) {
  *os << c.source;
}

class ValidatorRule : public ::testing::TestWithParam<RuleCase> {};

TEST_P(ValidatorRule, Reports) {
  EXPECT_EQ(validate(GetParam().source), GetParam().result);
}

INSTANTIATE_TEST_SUITE_P(
    Names, ValidatorRule,
    ::testing::Values(
        RuleCase{"let x := 1; say x", "ok"},
        RuleCase{"say y", "Semantic 1:1 Use of undeclared identifier 'y' (compile-time)"},
        RuleCase{"let x := x", "Semantic 1:1 Use of undeclared identifier 'x' (compile-time)"},
        RuleCase{"say f(1);\nfunction f(a) {}",
                 "Semantic 1:1 Use of undeclared identifier 'f' (compile-time)"},
        RuleCase{"{ let x := 1 }\nsay x",
                 "Semantic 2:1 Use of undeclared identifier 'x' (compile-time)"},
        RuleCase{"say to_string(1), make_instance, String, __file__", "ok"},
        RuleCase{"from m import *;\nsay anything; { say more }", "ok"},
        RuleCase{"{ from m import *; }\nsay anything",
                 "Semantic 2:1 Use of undeclared identifier 'anything' (compile-time)"},
        // A wildcard import hides the outer scopes' bindings, not those of its own scope or
        // of inner ones; leaving a scope brings back the bindings it shadowed.
        RuleCase{"const x := 1; { from m import *; x := 2 }", "ok"},
        RuleCase{"const x := 1; { from m import *; { x := 2 } }", "ok"},
        RuleCase{"from m import *; const x := 1;\n{ x := 2 }",
                 "Semantic 2:1 cannot modify const binding 'x'"},
        RuleCase{"{ from m import *; const y := 1;\n{ y := 2 } }",
                 "Semantic 2:1 cannot modify const binding 'y'"},
        RuleCase{"{ from m import *; }\nconst z := 1; z := 2",
                 "Semantic 2:1 cannot modify const binding 'z'"},
        RuleCase{"const x := 1; { let x := 2; x := 3 }\nx := 4",
                 "Semantic 2:1 cannot modify const binding 'x'"},
        RuleCase{"from m import a as b;\nsay b; say a",
                 "Semantic 2:1 Use of undeclared identifier 'a' (compile-time)"},
        RuleCase{"from m import a if a", "ok"},
        RuleCase{"from m import a if b",
                 "Semantic 1:1 Use of undeclared identifier 'b' (compile-time)"},
        RuleCase{"let x := 1;\nlet x := 2", "Semantic 2:1 Redeclaration of 'x' in the same scope"},
        RuleCase{"let x := 1; { let x := 2 }", "ok"},
        RuleCase{"let String := 1", "Semantic 1:1 Redeclaration of 'String' in the same scope"},
        RuleCase{"let {a, b: c} := {a: 1, b: 2}; say a, c", "ok"},
        RuleCase{"let {(k): a} := {}",
                 "Semantic 1:1 Use of undeclared identifier 'k' (compile-time)"},
        RuleCase{"let {a := b} := {}",
                 "Semantic 1:1 Use of undeclared identifier 'b' (compile-time)"},
        RuleCase{"say (let y := 1) + 1; say y",
                 "Semantic 1:1 Use of undeclared identifier 'y' (compile-time)"},
        RuleCase{"let a := [1] |> f(^^)",
                 "Semantic 1:1 Use of undeclared identifier 'f' (compile-time)"},
        RuleCase{"function f(x) {}\nlet a := [1] |> f(^^); let b := f(^^) <| [2]", "ok"},
        RuleCase{"say ^^", "Semantic 1:1 Use of undeclared identifier '^^' (compile-time)"},
        RuleCase{"say x for [1]", "Semantic 1:1 Use of undeclared identifier 'x' (compile-time)"},
        RuleCase{"say ^^ for [1]; for ([2]) { say ^^ }", "ok"},
        RuleCase{"let o := 1; say o can speak, o can \"run\"", "ok"},
        RuleCase{"let o := 1; say o can speak()",
                 "Semantic 1:1 Use of undeclared identifier 'speak' (compile-time)"},
        RuleCase{"let s := \"a\"; s ~= /a/ -> m.upper()", "ok"},
        RuleCase{"let s := \"a\"; s := /a/ -> m",
                 "Semantic 1:1 Use of undeclared identifier 'm' (compile-time)"},
        RuleCase{"say `${q}`", "Semantic 1:1 Use of undeclared identifier 'q' (compile-time)"},
        RuleCase{"say {(k): 1}", "Semantic 1:1 Use of undeclared identifier 'k' (compile-time)"},
        RuleCase{"let o := {}; say o{k}, o{(k)}",
                 "Semantic 1:1 Use of undeclared identifier 'k' (compile-time)"},
        RuleCase{"try { let e := 1 } catch (e) { say e }\nsay e",
                 "Semantic 2:1 Use of undeclared identifier 'e' (compile-time)"}));

INSTANTIATE_TEST_SUITE_P(
    Mutability, ValidatorRule,
    ::testing::Values(
        RuleCase{"let x := 1; x := 2", "ok"},
        RuleCase{"const x := 1;\nx := 2", "Semantic 2:1 cannot modify const binding 'x'"},
        RuleCase{"function f(a) { a := 1 }", "Semantic 1:1 cannot modify const binding 'a'"},
        RuleCase{"function f() {} f := 1", "Semantic 1:1 cannot modify const binding 'f'"},
        RuleCase{"String := 1", "Semantic 1:1 cannot modify const binding 'String'"},
        RuleCase{"class C {} C += 1", "Semantic 1:1 cannot modify const binding 'C'"},
        RuleCase{"const n := 1; n++", "Semantic 1:1 cannot modify const binding 'n'"},
        RuleCase{"const n := 1; --n", "Semantic 1:1 cannot modify const binding 'n'"},
        RuleCase{"const n := 1; say \\n", "Semantic 1:1 cannot modify const binding 'n'"},
        RuleCase{"say \\1", "Semantic 1:1 invalid target for unary operator '\\'"},
        RuleCase{"for (const x in [1]) { x := 2 }", "Semantic 1:1 cannot modify const binding 'x'"},
        RuleCase{"for (let x in [1]) { x := 2 }", "ok"},
        RuleCase{"for ([1]) { ^^ := 2 }", "Semantic 1:1 cannot modify const binding '^^'"},
        RuleCase{"const a := [1]; a[0] := 2; const o := {}; o{k} := 1", "ok"},
        RuleCase{"y := 1", "Semantic 1:1 Use of undeclared identifier 'y' (compile-time)"},
        RuleCase{"let x := 1; { const x := 2; { x := 3 } }",
                 "Semantic 1:1 cannot modify const binding 'x'"}));

INSTANTIATE_TEST_SUITE_P(
    Contexts, ValidatorRule,
    ::testing::Values(
        RuleCase{"return 1", "Semantic 1:1 return is not valid outside function scope"},
        RuleCase{"function f() { return 1 }", "ok"},
        RuleCase{"let f := fn x -> do { return x }", "ok"}, RuleCase{"await { 1 }", "ok"},
        RuleCase{"function f() {\n await { 1 } }",
                 "Semantic 2:1 await may only be used inside async code"},
        RuleCase{"async function f() { await { 1 } }", "ok"},
        RuleCase{"function f() { spawn { await { 1 } } }", "ok"},
        RuleCase{"class C { method m() { await { 1 } } }",
                 "Semantic 1:1 await may only be used inside async code"},
        RuleCase{"class C { async method m() { await { 1 } } }", "ok"},
        RuleCase{"next", "Semantic 1:1 next is not valid outside loop scope"},
        RuleCase{"while (true) { last }", "ok"}, RuleCase{"for ([1]) { if (true) { next } }", "ok"},
        RuleCase{"let x := 1; switch (x) { case 1: continue; }", "ok"},
        RuleCase{"let x := 1; switch (x) { case 1: next; }",
                 "Semantic 1:1 next is not valid outside loop scope"},
        RuleCase{"let x := 1; while (true) { switch (x) { case 1: next; } }", "ok"},
        RuleCase{"while (true) { function f() { last } }",
                 "Semantic 1:1 last is not valid outside loop scope"},
        RuleCase{"while (true) { let f := fn x -> do { continue } }",
                 "Semantic 1:1 continue is not valid outside loop scope"},
        RuleCase{"for ([1]) {} else { next }", "Semantic 1:1 next is not valid outside loop scope"},
        RuleCase{"function f() { return } ; next if true",
                 "Semantic 1:1 next is not valid outside loop scope"}));

INSTANTIATE_TEST_SUITE_P(
    Declarations, ValidatorRule,
    ::testing::Values(
        RuleCase{"function f;\nfunction f() {}\nsay f", "ok"},
        RuleCase{"function f() {}\nfunction f() {}",
                 "Semantic 2:1 Redeclaration of 'f' in the same scope"},
        RuleCase{"function f;\nfunction f;", "Semantic 2:1 Redeclaration of 'f' in the same scope"},
        RuleCase{"let f := 1;\nfunction f;", "Semantic 2:1 Redeclaration of 'f' in the same scope"},
        RuleCase{"function f(a, a) {}", "Semantic 1:1 Redeclaration of 'a' in the same scope"},
        RuleCase{"function f(a, b := a) { return b }", "ok"},
        RuleCase{"function f(a := b) {}",
                 "Semantic 1:1 Use of undeclared identifier 'b' (compile-time)"},
        RuleCase{"class C;\nclass C {}", "Semantic 2:1 Redeclaration of 'C' in the same scope"},
        RuleCase{"class C { let x := 1; method m() { return self.x + x + this.x } }", "ok"},
        RuleCase{"class C { method m() { return x } let x := 1 }",
                 "Semantic 1:1 Use of undeclared identifier 'x' (compile-time)"},
        RuleCase{"class C { method m(self) {} }",
                 "Semantic 1:1 Redeclaration of 'self' in the same scope"},
        RuleCase{"class C { method m;\n method m() {} }", "ok"},
        RuleCase{"class C { method m() {}\n method m() {} }",
                 "Semantic 2:1 Redeclaration of 'm' in the same scope"},
        RuleCase{"class C { let m; method m() {} }", "ok"},
        // Each body keeps its own methods and nested types: the same names in a nested body
        // are no redeclarations, and the enclosing body still knows its own after it.
        RuleCase{"class C { method m; class D { method m() {} class E {} }\n method m() {}\n"
                 " class E {} }",
                 "ok"},
        RuleCase{"class C { method m() {} class D { method n() {} }\n method m() {} }",
                 "Semantic 2:1 Redeclaration of 'm' in the same scope"},
        RuleCase{"class C { class D { class E {} }\n class D {} }",
                 "Semantic 2:1 Redeclaration of 'D' in the same scope"},
        RuleCase{"trait T { method m; class D { method m; } method m() {} }", "ok"},
        RuleCase{"class C { let x := self }",
                 "Semantic 1:1 Use of undeclared identifier 'self' (compile-time)"},
        RuleCase{"class C { const k := 1; method m() { k := 2 } }",
                 "Semantic 1:1 cannot modify const binding 'k'"},
        RuleCase{"class C { class D {}\n trait D {} }",
                 "Semantic 2:1 Redeclaration of 'D' in the same scope"},
        RuleCase{"class C { class D {} method m() { return D } }",
                 "Semantic 1:1 Use of undeclared identifier 'D' (compile-time)"},
        RuleCase{"trait T { class D {} method m() { return D } }", "ok"},
        RuleCase{"let d := do { let z := 1; z }; say z",
                 "Semantic 1:1 Use of undeclared identifier 'z' (compile-time)"},
        RuleCase{"let t := try { let z := 1 } catch { 0 }; say z", "ok"}));

// A field in a trait body never reaches the validator: the parser stops at it.
INSTANTIATE_TEST_SUITE_P(TraitFields, ValidatorRule,
                         ::testing::Values(RuleCase{"trait T {\n let x }",
                                                    "Syntax 2:2 Unsupported trait member"},
                                           RuleCase{"trait T { method m() {}\n  const k := 1; }",
                                                    "Syntax 2:3 Unsupported trait member"},
                                           RuleCase{"class C { let x; trait T {\n let y := 1 } }",
                                                    "Syntax 2:2 Unsupported trait member"},
                                           RuleCase{"trait T { trait U { method m; let z } }",
                                                    "Syntax 1:31 Unsupported trait member"}));

// validate_program takes any tree, not only the parser's, so it keeps its own rule against
// trait fields. Only a tree built in code can reach that rule; the rows above show what source
// text gives.
TEST(Validator, TraitFieldsInTreesBuiltInCodeAreRefused) {
  ast::Program program;
  program.storage = std::make_unique<ast::Storage>();
  const ast::Builder build(*program.storage);
  ast::TraitDeclaration trait;
  trait.name = build.name("T");
  ast::FieldDeclaration field;
  field.name = build.name("x");
  field.line = 4;
  trait.members = build.list_of(ast::ClassMember{ast::Field{std::move(field)}});
  program.statements = build.list_of(build.statement(ast::Trait{std::move(trait)}));
  const auto error = validate_program(program);
  ASSERT_TRUE(error);
  EXPECT_EQ(testing::describe_error(*error),
            "Semantic 4:1 field 'x' is not valid inside trait body");
}

TEST(Validator, FailuresAttachTheSourceFile) {
  auto result = parse_program_with_compile_options_and_source_file("say nope", CompileOptions{},
                                                                   std::string("v.tos"));
  ASSERT_FALSE(result);
  EXPECT_EQ(result.error().kind(), ErrorKind::Semantic);
  EXPECT_EQ(result.error().source_file(), "v.tos");
  CompileOptions lenient;
  lenient.validate = false;
  EXPECT_TRUE(
      parse_program_with_compile_options_and_source_file("let x; let x", lenient, std::nullopt));
}

}  // namespace
}  // namespace tolu
